#include "scan/UserListReport.h"

#include <QFile>

#include "app/RecipientListStore.h"
#include "app/Timestamp.h"

namespace UserListReport {

QStringList SplitPieces(const QByteArray& data) {
    QStringList pieces;
    qsizetype pos = 0;
    const qsizetype n = data.size();
    while (pos < n) {
        const qsizetype newline = data.indexOf('\n', pos);
        const qsizetype lineEnd = newline < 0 ? n : newline + 1;  // includes the line feed
        const qsizetype end = qMin(lineEnd, pos + kLinePiece);
        QByteArray piece = data.mid(pos, end - pos);
        pos = end;
        if (piece.endsWith('\n')) piece.chop(1);
        if (piece.endsWith('\r')) piece.chop(1);
        pieces.append(QString::fromUtf8(piece));
    }
    return pieces;
}

QStringList SplitTokens(const QString& text, const QString& delimiters) {
    QStringList tokens;
    QString current;
    for (const QChar c : text) {
        if (delimiters.contains(c)) {
            if (!current.isEmpty()) tokens.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty()) tokens.append(current);
    return tokens;
}

int DayNumber(const QString& when) {
    const QString joined = SplitTokens(when, QStringLiteral(" /:")).join(QString());
    const QString first8 = joined.left(8);
    int value = 0;
    for (const QChar c : first8) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

int TodayNumberFrom(const QString& timestamp) {
    const QString text = DateNumberText(timestamp);
    return text.isEmpty() ? 0 : LeadingInt(text);
}

namespace {

struct SessionFields {
    QString user;
    QString client;
    QString when;
};

SessionFields SplitSessionLine(const QString& line) {
    const QStringList t = SplitTokens(line, QStringLiteral(" \t"));
    if (t.size() == 3) return {t[0], t[1], t[2]};
    if (t.size() == 4) return {t[0], t[1], t[2] + QLatin1Char(' ') + t[3]};
    return {};
}

// "TCP:01PC042/3312": after the first colon two characters are skipped; the machine runs
// to the first "/", the process id follows it.
void SplitClient(const QString& client, QString& machine, QString& pid) {
    machine.clear();
    pid.clear();
    const qsizetype colon = client.indexOf(QLatin1Char(':'));
    if (colon < 0) return;
    const QString rest = client.mid(colon + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) return;
    machine = rest.left(slash).trimmed();
    pid = rest.mid(slash + 1);
}

}  // namespace

Reading Read(const QString& path, const Filters& filters, const QString& ownSessionPid,
             int todayNumber, CMapStrToLoginObj& scanMap) {
    Reading r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        r.outcome = Outcome::OpenFailed;
        return r;
    }
    scanMap.RemoveAll();
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        r.outcome = Outcome::ReadError;
        return r;
    }

    bool separatorSeen = false;
    for (const QString& line : SplitPieces(data)) {
        if (line.isEmpty()) continue;
        const QString upper = line.toUpper();
        if (!separatorSeen) {
            if (upper.contains(QLatin1String(kCouldNotConnect))) {
                r.outcome = Outcome::CouldNotConnect;
                r.failingSource = SplitTokens(upper, QStringLiteral(":")).value(0);
                r.linesCounted = 0;
                return r;
            }
            if (upper.contains(QLatin1String(kActiveUsersMarker))) {
                const QString count = line.section(QLatin1Char(':'), 1).trimmed();
                if (!count.isEmpty()) r.activeUsers = count;
            } else if (upper.contains(QLatin1String(kSeparator))) {
                separatorSeen = true;
            }
            continue;
        }
        if (upper.contains(QLatin1String(kSuccess))) break;
        ++r.linesCounted;

        SessionFields f = SplitSessionLine(line);
        const int day = DayNumber(f.when);
        QString machine;
        QString pid;
        SplitClient(f.client, machine, pid);
        if (filters.ownSession && pid == ownSessionPid) continue;
        const qsizetype blank = f.when.indexOf(QLatin1Char(' '));
        if (blank >= 0) f.when[blank] = QLatin1Char('_');
        if (f.user.isEmpty() || pid.isEmpty() || machine.isEmpty() || f.when.isEmpty()) continue;
        if (filters.blankUserids && f.user.isEmpty()) continue;
        if (filters.staleUserids && day < todayNumber) continue;

        LoginRecord rec;
        rec.Pid = pid;
        rec.UserId = f.user.toUpper();
        rec.Machine = machine.toUpper();
        rec.DateTime = f.when;
        rec.ReportedUserId = f.user;
        rec.Status = day < todayNumber ? QString::fromLatin1(kStaleStatus) : QString();
        scanMap.SetAt(rec.Key(), rec);
    }
    if (!separatorSeen) r.outcome = Outcome::NoSeparator;
    return r;
}

}  // namespace UserListReport
