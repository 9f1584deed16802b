#include "scan/UserListReport.h"

#include <QFile>

#include "app/RecipientListStore.h"
#include "app/Timestamp.h"

namespace UserListReport {

namespace {

// Walks the pieces of `data` a 1024-byte line reader would return, without their line ends;
// `piece` returns false to stop.
template <typename PieceFn>
void ForEachPiece(const QByteArray& data, PieceFn piece) {
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
        if (!piece(start, len)) return;
    }
}

// Takes the day number's digits from `part`, going on from earlier parts: the first eight
// characters that are not blanks, "/" or ":", read as a decimal number that stops at the
// first non-digit. False once the number is complete.
template <typename View>
bool TakeDayDigits(View part, int& value, int& taken) {
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = QChar(part[i]);
        if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char(':')) continue;
        if (taken++ == 8 || c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return true;
}

}  // namespace

QStringList SplitPieces(const QByteArray& data) {
    QStringList pieces;
    ForEachPiece(data, [&](const char* start, qsizetype len) {
        pieces.append(QString::fromUtf8(start, len));
        return true;
    });
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
    // The same value as splitting, joining and converting, without building the pieces.
    int value = 0;
    int taken = 0;
    TakeDayDigits(QStringView(when), value, taken);
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

// A session line cut into the fields a record is made of. The same code reads a line as
// UTF-16 text or, for the plain ASCII lines a report almost always has, straight from the
// file's bytes.
struct SessionParts {
    QString user;
    QString machine;
    QString pid;
    QString when;  // with "_" for its first blank
    int day = 0;
};

template <typename View>
bool IsSeparator(View line, qsizetype i) {
    return line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t');
}

// Three or four words: user, client, date [time]. False for any other count.
template <typename View>
bool SplitWords(View line, View (&words)[4], int& count) {
    count = 0;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && !IsSeparator(line, i)) {
            if (start < 0) start = i;
            continue;
        }
        if (start < 0) continue;
        if (count == 4) return false;
        words[count++] = line.mid(start, i - start);
        start = -1;
    }
    return count == 3 || count == 4;
}

// "TCP:01PC042/3312": after the first colon two characters are skipped; the machine runs
// to the first "/", the process id follows it. False without a colon or a "/".
template <typename View>
bool ParseSession(View line, SessionParts& out) {
    View words[4];
    int count = 0;
    if (!SplitWords(line, words, count)) return false;
    const View client = words[1];
    const View date = words[2];
    const View time = count == 4 ? words[3] : View();
    out.day = 0;
    int taken = 0;
    if (TakeDayDigits(date, out.day, taken)) TakeDayDigits(time, out.day, taken);
    const qsizetype colon = client.indexOf(QLatin1Char(':'));
    if (colon < 0) return false;
    const View rest = client.mid(qMin(colon + 3, client.size()));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) return false;
    out.user = words[0].toString();
    out.machine = rest.left(slash).trimmed().toString();
    out.pid = rest.mid(slash + 1).toString();
    out.when = date.toString();
    if (count == 4) out.when.append(QLatin1Char('_')).append(time);
    return true;
}

// Whether ASCII text, upper-cased, contains `marker` (upper case); no copy is made.
bool ContainsUpperAscii(const char* text, qsizetype len, QLatin1StringView marker) {
    const qsizetype m = marker.size();
    for (qsizetype i = 0; i + m <= len; ++i) {
        qsizetype j = 0;
        while (j < m) {
            char c = text[i + j];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (c != marker[j].toLatin1()) break;
            ++j;
        }
        if (j == m) return true;
    }
    return false;
}

bool IsAscii(const char* data, qsizetype len) {
    for (qsizetype i = 0; i < len; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80) return false;
    return true;
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
    ForEachPiece(data, [&](const char* bytes, qsizetype len) {
        if (len == 0) return true;
        const bool ascii = IsAscii(bytes, len);
        const QLatin1StringView latin(bytes, len);
        QString text;  // the line as UTF-16, made only where it is needed
        if (!separatorSeen || !ascii) text = QString::fromUtf8(bytes, len);
        if (!separatorSeen) {
            const QString upper = UpperCase(text);
            if (upper.contains(QLatin1String(kCouldNotConnect))) {
                r.outcome = Outcome::CouldNotConnect;
                r.failingSource = SplitTokens(upper, QStringLiteral(":")).value(0);
                r.linesCounted = 0;
                stop = true;
                return false;
            }
            if (upper.contains(QLatin1String(kActiveUsersMarker))) {
                const QString count = text.section(QLatin1Char(':'), 1).trimmed();
                if (!count.isEmpty()) r.activeUsers = count;
            } else if (upper.contains(QLatin1String(kSeparator))) {
                separatorSeen = true;
            }
            return true;
        }
        if (ascii ? ContainsUpperAscii(bytes, len, QLatin1StringView(kSuccess))
                  : UpperCase(text).contains(QLatin1String(kSuccess)))
            return false;
        ++r.linesCounted;

        SessionParts f;
        const bool parsed = ascii ? ParseSession(latin, f) : ParseSession(QStringView(text), f);
        if (!parsed) return true;
        if (filters.ownSession && f.pid == ownSessionPid) return true;
        if (f.user.isEmpty() || f.pid.isEmpty() || f.machine.isEmpty() || f.when.isEmpty())
            return true;
        if (filters.blankUserids && f.user.isEmpty()) return true;
        if (filters.staleUserids && f.day < todayNumber) return true;

        LoginRecord rec;
        rec.Pid = f.pid;
        rec.UserId = UpperCase(f.user);
        rec.Machine = UpperCase(f.machine);
        rec.DateTime = f.when;
        rec.ReportedUserId = f.user;
        rec.Status = f.day < todayNumber ? QString::fromLatin1(kStaleStatus) : QString();
        const QString key = rec.Key();
        scanMap.SetAt(key, std::move(rec));
        return true;
    });
    if (stop) return r;
    if (!separatorSeen) r.outcome = Outcome::NoSeparator;
    return r;
}

}  // namespace UserListReport
