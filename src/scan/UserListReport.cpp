#include "scan/UserListReport.h"

#include <QFile>

#include "app/RecipientListStore.h"
#include "app/Timestamp.h"

namespace UserListReport {

void ForEachPiece(const QByteArray& data, const std::function<bool(const QString&)>& piece) {
    qsizetype pos = 0;
    const qsizetype n = data.size();
    while (pos < n) {
        const qsizetype newline = data.indexOf('\n', pos);
        const qsizetype lineEnd = newline < 0 ? n : newline + 1;  // includes the line feed
        const qsizetype end = qMin(lineEnd, pos + kLinePiece);
        qsizetype len = end - pos;
        const char* start = data.constData() + pos;
        pos = end;
        if (len > 0 && start[len - 1] == '\n') --len;
        if (len > 0 && start[len - 1] == '\r') --len;
        if (!piece(QString::fromUtf8(start, len))) return;
    }
}

QStringList SplitPieces(const QByteArray& data) {
    QStringList pieces;
    ForEachPiece(data, [&](const QString& p) {
        pieces.append(p);
        return true;
    });
    return pieces;
}

bool ContainsUpper(const QString& text, QLatin1String marker) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return text.toUpper().contains(marker);
    // For ASCII text a case-insensitive match is a match of the upper-cased text.
    return text.contains(marker, Qt::CaseInsensitive);
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
    // The first eight characters that are not separators, read as digits; the same value as
    // splitting, joining and converting, without building the pieces.
    int value = 0;
    int taken = 0;
    for (const QChar c : when) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char(':')) continue;
        if (taken++ == 8 || c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

QString UpperCase(const QString& text) {
    bool hasLower = false;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) return text.toUpper();
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) hasLower = true;
    }
    if (!hasLower) return text;
    QString upper(text.size(), Qt::Uninitialized);
    QChar* out = upper.data();
    for (const QChar c : text)
        *out++ = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
    return upper;
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
    // At most five blank- or tab-separated words are needed to tell a good line from a bad one.
    QStringView words[5];
    int count = 0;
    const QStringView text(line);
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool separator =
            i == text.size() || text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t');
        if (!separator) {
            if (start < 0) start = i;
            continue;
        }
        if (start < 0) continue;
        if (count == 5) return {};
        words[count++] = text.mid(start, i - start);
        start = -1;
    }
    if (count == 3) return {words[0].toString(), words[1].toString(), words[2].toString()};
    if (count == 4) {
        QString when;
        when.reserve(words[2].size() + 1 + words[3].size());
        when.append(words[2]).append(QLatin1Char(' ')).append(words[3]);
        return {words[0].toString(), words[1].toString(), when};
    }
    return {};
}

// "TCP:01PC042/3312": after the first colon two characters are skipped; the machine runs
// to the first "/", the process id follows it.
void SplitClient(const QString& client, QString& machine, QString& pid) {
    machine.clear();
    pid.clear();
    const qsizetype colon = client.indexOf(QLatin1Char(':'));
    if (colon < 0) return;
    const QStringView rest = QStringView(client).mid(qMin(colon + 3, client.size()));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) return;
    machine = rest.left(slash).trimmed().toString();
    pid = rest.mid(slash + 1).toString();
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
    bool stop = false;
    ForEachPiece(data, [&](const QString& line) {
        if (line.isEmpty()) return true;
        if (!separatorSeen) {
            const QString upper = UpperCase(line);
            if (upper.contains(QLatin1String(kCouldNotConnect))) {
                r.outcome = Outcome::CouldNotConnect;
                r.failingSource = SplitTokens(upper, QStringLiteral(":")).value(0);
                r.linesCounted = 0;
                stop = true;
                return false;
            }
            if (upper.contains(QLatin1String(kActiveUsersMarker))) {
                const QString count = line.section(QLatin1Char(':'), 1).trimmed();
                if (!count.isEmpty()) r.activeUsers = count;
            } else if (upper.contains(QLatin1String(kSeparator))) {
                separatorSeen = true;
            }
            return true;
        }
        if (ContainsUpper(line, QLatin1String(kSuccess))) return false;
        ++r.linesCounted;

        SessionFields f = SplitSessionLine(line);
        const int day = DayNumber(f.when);
        QString machine;
        QString pid;
        SplitClient(f.client, machine, pid);
        if (filters.ownSession && pid == ownSessionPid) return true;
        const qsizetype blank = f.when.indexOf(QLatin1Char(' '));
        if (blank >= 0) f.when[blank] = QLatin1Char('_');
        if (f.user.isEmpty() || pid.isEmpty() || machine.isEmpty() || f.when.isEmpty()) return true;
        if (filters.blankUserids && f.user.isEmpty()) return true;
        if (filters.staleUserids && day < todayNumber) return true;

        LoginRecord rec;
        rec.Pid = pid;
        rec.UserId = UpperCase(f.user);
        rec.Machine = UpperCase(machine);
        rec.DateTime = f.when;
        rec.ReportedUserId = f.user;
        rec.Status = day < todayNumber ? QString::fromLatin1(kStaleStatus) : QString();
        const QString key = rec.Key();
        scanMap.SetAt(key, std::move(rec));
        return true;
    });
    if (stop) return r;
    if (!separatorSeen) r.outcome = Outcome::NoSeparator;
    return r;
}

}  // namespace UserListReport
