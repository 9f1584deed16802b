#include "scan/UserListReport.h"

#include <QFile>
#include <cstring>
#include <type_traits>

#include "app/Timestamp.h"
#include "platform/RegularFile.h"
#include "platform/TextHelpers.h"

namespace UserListReport {

namespace {

// Walks the pieces a 1024-byte line reader would return from `data`, without their line
// ends; `piece` returns false to stop. Unless `atEnd`, a last piece that may still go on in
// data not read yet is left alone. Returns the bytes walked, or -1 when `piece` stopped.
template <typename PieceFn>
qsizetype ForEachPieceIn(const char* data, qsizetype n, bool atEnd, PieceFn piece) {
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype window = qMin<qsizetype>(n - pos, kLinePiece);
        const char* start = data + pos;
        const void* newline = std::memchr(start, '\n', static_cast<size_t>(window));
        qsizetype len = newline ? static_cast<const char*>(newline) - start + 1 : window;
        if (!newline && window < kLinePiece && !atEnd) break;
        pos += len;
        if (len > 0 && start[len - 1] == '\n') --len;
        if (len > 0 && start[len - 1] == '\r') --len;
        if (!piece(start, len)) return -1;
    }
    return pos;
}

template <typename PieceFn>
void ForEachPiece(const QByteArray& data, PieceFn piece) {
    ForEachPieceIn(data.constData(), data.size(), true, piece);
}

// Takes the day number's digits from `part`, going on from earlier parts: the first eight
// characters that are not blanks, "/" or ":", read as a decimal number that stops at the
// first non-digit. False once the number is complete.
template <typename View>
bool TakeDayDigits(View part, int& value, int& taken) {
    for (qsizetype i = 0; i < part.size(); ++i) {
        char16_t c;
        if constexpr (std::is_same_v<View, QLatin1StringView>)
            c = static_cast<unsigned char>(part.data()[i]);
        else
            c = part[i].unicode();
        if (c == u' ' || c == u'/' || c == u':') continue;
        if (taken++ == 8 || c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

// Where `c` first stands in `text`, or -1.
qsizetype Find(QLatin1StringView text, char c) {
    const void* at = std::memchr(text.data(), c, static_cast<size_t>(text.size()));
    return at ? static_cast<const char*>(at) - text.data() : -1;
}
qsizetype Find(QStringView text, char c) {
    return text.indexOf(QLatin1Char(c));
}

// Whether `text` holds `part` at `at`.
bool HoldsAt(const QString& text, qsizetype at, QLatin1StringView part) {
    if (at < 0 || at + part.size() > text.size()) return false;
    const QChar* t = text.constData() + at;
    for (qsizetype i = 0; i < part.size(); ++i)
        if (t[i].unicode() != static_cast<unsigned char>(part.data()[i])) return false;
    return true;
}
bool HoldsAt(const QString& text, qsizetype at, QStringView part) {
    return at >= 0 && at + part.size() <= text.size() &&
           QStringView(text).mid(at, part.size()) == part;
}
template <typename View>
bool Same(const QString& text, View view) {
    return text.size() == view.size() && HoldsAt(text, 0, view);
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

// A session line cut into the fields a record is made of, as views into the line. The same
// code reads a line as UTF-16 text or, for the plain ASCII lines a report almost always has,
// straight from the file's bytes.
template <typename View>
struct SessionParts {
    View user;
    View machine;
    View pid;
    View date;
    View time;  // empty for a line of three words
    bool hasTime = false;
    int day = 0;

    bool WhenIsEmpty() const { return date.isEmpty() && !hasTime; }
    // The when field with "_" for its first blank.
    QString When() const {
        QString when = date.toString();
        if (hasTime) when.append(QLatin1Char('_')).append(time);
        return when;
    }
    bool WhenEquals(const QString& when) const {
        if (!hasTime) return Same(when, date);
        return when.size() == date.size() + 1 + time.size() && HoldsAt(when, 0, date) &&
               when[date.size()] == QLatin1Char('_') && HoldsAt(when, date.size() + 1, time);
    }
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
bool ParseSession(View line, SessionParts<View>& out) {
    View words[4];
    int count = 0;
    if (!SplitWords(line, words, count)) return false;
    const View client = words[1];
    out.date = words[2];
    out.hasTime = count == 4;
    out.time = out.hasTime ? words[3] : View();
    out.day = 0;
    int taken = 0;
    if (TakeDayDigits(out.date, out.day, taken)) TakeDayDigits(out.time, out.day, taken);
    const qsizetype colon = Find(client, ':');
    if (colon < 0) return false;
    const View rest = client.mid(qMin(colon + 3, client.size()));
    const qsizetype slash = Find(rest, '/');
    if (slash < 0) return false;
    out.user = words[0];
    out.machine = rest.left(slash).trimmed();
    out.pid = rest.mid(slash + 1);
    return true;
}

// Whether ASCII text, upper-cased, contains `marker` (upper case); no copy is made.
bool ContainsUpperAscii(const char* text, qsizetype len, QLatin1StringView marker) {
    const qsizetype m = marker.size();
    const char* upper = marker.data();
    for (qsizetype i = 0; i + m <= len; ++i) {
        qsizetype j = 0;
        while (j < m) {
            char c = text[i + j];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (c != upper[j]) break;
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

namespace {

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}

QChar UpperAscii(char c) {
    return QLatin1Char(IsLower(c) ? static_cast<char>(c - 32) : c);
}

// Upper-cased ASCII `text` equals `upper`.
bool EqualsUpperAscii(const QString& upper, QLatin1StringView text) {
    if (upper.size() != text.size()) return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (upper[i] != UpperAscii(text[i].toLatin1())) return false;
    return true;
}

QString UpperAscii(QLatin1StringView text) {
    QString upper(text.size(), Qt::Uninitialized);
    QChar* out = upper.data();
    for (const char c : text) *out++ = UpperAscii(c);
    return upper;
}

// Opens the report only when it is a regular file within the size limit: a FIFO would block
// the monitor, a link to a device would never end.
bool OpenReport(const QString& path, QFile& file) {
    return RegularFile::Open(path, file, kMaxReportBytes) == RegularFile::Status::Ok;
}

// Reads the report in chunks and hands each piece of a line to `piece` (false: stop).
// False when reading fails or the file grows past the size limit (`tooLarge`).
template <typename PieceFn>
bool StreamPieces(QFile& file, bool& tooLarge, PieceFn piece) {
    constexpr qsizetype kChunk = 256 * 1024;
    QByteArray buffer(kChunk + kLinePiece, Qt::Uninitialized);
    qsizetype carried = 0;
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(buffer.data() + carried, buffer.size() - carried);
        if (got < 0) return false;
        total += got;
        if (total > kMaxReportBytes) {
            tooLarge = true;
            return false;
        }
        const qsizetype have = carried + static_cast<qsizetype>(got);
        const bool atEnd = got == 0;
        const qsizetype used = ForEachPieceIn(buffer.constData(), have, atEnd, piece);
        if (used < 0 || atEnd) return true;
        carried = have - used;
        std::memmove(buffer.data(), buffer.constData() + used, static_cast<size_t>(carried));
    }
}

}  // namespace

namespace {

// Whether the `size` bytes at `text` spell `pid`.
bool SpellsPid(const char* text, qsizetype size, const QString& pid) {
    if (size != pid.size()) return false;
    for (qsizetype i = 0; i < size; ++i)
        if (pid[i].unicode() != static_cast<unsigned char>(text[i])) return false;
    return true;
}

}  // namespace

Reading Read(const QString& path, const Filters& filters, const QString& ownSessionPid,
             int todayNumber, CMapStrToLoginObj& scanMap, Recall* recall) {
    Reading r;
    QFile file;
    if (!OpenReport(path, file)) {
        r.outcome = Outcome::OpenFailed;
        return r;
    }
    using Entry = CMapStrToLoginObj::Entry;
    using Kind = Recall::Kind;
    // The records of the last report are kept and brought up to date where a line repeats
    // one of them: the usual report hardly differs from the one before.
    scanMap.BeginRefill();
    QString key;  // reused for every line
    const QString stale = QString::fromLatin1(kStaleStatus);

    // The last reading's lines count only when they were read into this map, which has been
    // refilled by no one else and has lost no record since, with the same filters and day.
    const bool recalling = recall && recall->m_valid && recall->m_map == &scanMap &&
                           recall->m_keys == scanMap.KeysVersion() &&
                           recall->m_pass + 1 == scanMap.Pass() && recall->m_filters == filters &&
                           recall->m_today == todayNumber;
    static const Recall::Lines kNone;
    const Recall::Lines& last = recalling ? recall->m_lines : kNone;
    Recall::Lines next;
    // As long as every line repeats the last reading's line of the same number, nothing is
    // noted and no record is touched: a report equal to the last one costs a comparison.
    bool same = recalling;
    size_t lineNo = 0;             // session lines so far
    size_t cursor = 0;             // the last reading's line expected next
    Recall::Line* note = nullptr;  // this line's note, when notes are kept

    // Whether a line equal to `was` gives what it gave then, read with this own-session pid.
    const auto stillHolds = [&](const Recall::Line& was, const char* bytes) {
        if (was.kind == Kind::Other) return true;
        if (was.kind != Kind::Session) return false;
        if (!filters.ownSession) return true;
        if (was.pidSize == Recall::kPidUnknown) return was.entry->Pid != ownSessionPid;
        return !SpellsPid(bytes + was.pidStart, was.pidSize, ownSessionPid);
    };
    const auto repeats = [&](const Recall::Line& was, const char* bytes, qsizetype len) {
        return was.size == len &&
               std::memcmp(last.bytes.constData() + was.offset, bytes, static_cast<size_t>(len)) ==
                   0 &&
               stillHolds(was, bytes);
    };
    // The lines taken as the last reading's so far are noted and their records refilled.
    const auto diverge = [&]() {
        same = false;
        const qsizetype taken =
            lineNo ? last.index[lineNo - 1].offset + last.index[lineNo - 1].size : 0;
        next.bytes.reserve(last.bytes.size() + kLinePiece);
        next.bytes.append(last.bytes.constData(), taken);
        next.index.reserve(last.index.size() + 1);
        next.index.assign(last.index.begin(), last.index.begin() + static_cast<qsizetype>(lineNo));
        for (const Recall::Line& l : next.index)
            if (l.kind == Kind::Session) scanMap.Refill(*l.entry);
        cursor = lineNo;
    };

    // Why a line is kept or passed over.
    const auto judge = [&](const auto& f) {
        if (filters.ownSession && Same(ownSessionPid, f.pid)) return Kind::Own;
        if (f.user.isEmpty() || f.pid.isEmpty() || f.machine.isEmpty() || f.WhenIsEmpty())
            return Kind::Other;
        if (filters.blankUserids && f.user.isEmpty()) return Kind::Other;
        if (filters.staleUserids && f.day < todayNumber) return Kind::Other;
        return Kind::Session;
    };
    const auto newRecord = [&](const auto& f, QString upperUser, QString upperMachine) {
        LoginRecord rec;
        rec.Pid = f.pid.toString();
        rec.UserId = std::move(upperUser);
        rec.Machine = std::move(upperMachine);
        rec.DateTime = f.When();
        rec.ReportedUserId = f.user.toString();
        if (f.day < todayNumber) rec.Status = stale;
        return rec;
    };
    // Notes that this line set `entry`, its pid at `pidStart` (kPidUnknown: not located). A
    // line of this reading that set the record before no longer tells what it holds. Where
    // the record's line stood last time, the last reading's lines are followed from there.
    const auto noteEntry = [&](Entry& entry, bool again, quint16 pidStart, quint16 pidSize) {
        if (!note) return;
        const int self = static_cast<int>(lineNo) - 1;
        if (again) {
            if (entry.line >= 0 && entry.line < self)
                next.index[static_cast<size_t>(entry.line)].kind = Kind::Reread;
        } else if (recalling && entry.line >= 0) {
            cursor = static_cast<size_t>(entry.line) + 1;
        }
        entry.line = self;
        note->kind = Kind::Session;
        note->entry = &entry;
        note->pidStart = pidStart;
        note->pidSize = pidSize;
    };
    // The line the last reading had where this one is expected gives the same again.
    const auto recalled = [&](const char* bytes, qsizetype len) {
        if (cursor >= last.index.size() || !repeats(last.index[cursor], bytes, len)) return false;
        const Recall::Line& was = last.index[cursor++];
        // The records of the lines a little ahead are fetched meanwhile.
        if (cursor + 8 < last.index.size() && last.index[cursor + 8].entry)
            __builtin_prefetch(last.index[cursor + 8].entry);
        if (was.kind == Kind::Other) return true;
        if (!scanMap.Refill(*was.entry)) return false;  // set by another line of this reading
        noteEntry(*was.entry, false, was.pidStart, was.pidSize);
        return true;
    };
    // An ASCII session line, stored without allocating when it repeats a session.
    const auto storeAscii = [&](const SessionParts<QLatin1StringView>& f, const char* bytes) {
        key.resize(f.machine.size() + 1 + f.pid.size());
        QChar* out = key.data();
        for (const char c : f.machine) *out++ = UpperAscii(c);
        *out++ = QLatin1Char('/');
        for (const char c : f.pid) *out++ = QLatin1Char(c);
        const auto pidStart = static_cast<quint16>(f.pid.data() - bytes);
        const auto pidSize = static_cast<quint16>(f.pid.size());
        bool again = false;
        bool added = false;
        Entry& found = scanMap.Refill(key, again, added);
        if (added) {
            static_cast<LoginRecord&>(found) =
                newRecord(f, UpperAscii(f.user), UpperAscii(f.machine));
            noteEntry(found, false, pidStart, pidSize);
            return;
        }
        // The key holds machine and process id; the other fields are brought up to date, so
        // the record ends as a new one made from this line would be.
        LoginRecord& rec = found;
        if (!EqualsUpperAscii(rec.UserId, f.user)) rec.UserId = UpperAscii(f.user);
        if (!Same(rec.ReportedUserId, f.user)) rec.ReportedUserId = f.user.toString();
        if (!f.WhenEquals(rec.DateTime)) rec.DateTime = f.When();
        if (f.day < todayNumber) {
            if (rec.Status != stale) rec.Status = stale;
        } else if (!rec.Status.isEmpty()) {
            rec.Status.clear();
        }
        noteEntry(found, again, pidStart, pidSize);
    };
    // Whether a line gives a record of the map.
    const auto givesRecord = [&](const char* bytes, qsizetype len) {
        if (IsAscii(bytes, len)) {
            SessionParts<QLatin1StringView> f;
            return ParseSession(QLatin1StringView(bytes, len), f) && judge(f) == Kind::Session;
        }
        const QString text = QString::fromUtf8(bytes, len);
        SessionParts<QStringView> f;
        return ParseSession(QStringView(text), f) && judge(f) == Kind::Session;
    };
    const auto isSuccessLine = [](const char* bytes, qsizetype len, bool ascii) {
        return ascii ? ContainsUpperAscii(bytes, len, QLatin1StringView(kSuccess))
                     : UpperCase(QString::fromUtf8(bytes, len)).contains(QLatin1String(kSuccess));
    };

    bool separatorSeen = false;
    bool stop = false;
    bool tooLarge = false;
    const bool readToEnd = StreamPieces(file, tooLarge, [&](const char* bytes, qsizetype len) {
        if (len == 0) return true;
        if (separatorSeen && recall) {
            if (same) {
                if (lineNo < last.index.size() && repeats(last.index[lineNo], bytes, len)) {
                    ++lineNo;
                    ++r.linesCounted;
                    return true;
                }
                if (isSuccessLine(bytes, len, IsAscii(bytes, len))) return false;
                // A line that gives nothing where the last reading's gave nothing either (the
                // own session under a new pid, above all) changes no record.
                const Kind was =
                    lineNo < last.index.size() ? last.index[lineNo].kind : Kind::Session;
                if ((was == Kind::Other || was == Kind::Own) && !givesRecord(bytes, len)) {
                    ++lineNo;
                    ++r.linesCounted;
                    return true;
                }
                diverge();
            }
            next.index.push_back({static_cast<quint32>(next.bytes.size()),
                                  static_cast<quint16>(len), 0, 0, Kind::Other, nullptr});
            next.bytes.append(bytes, len);
            note = &next.index.back();
            ++lineNo;
            if (recalled(bytes, len)) {
                ++r.linesCounted;
                return true;
            }
        }
        const bool ascii = IsAscii(bytes, len);
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
        if (isSuccessLine(bytes, len, ascii)) {
            if (note) {  // the end of the list, not a line of it
                next.index.pop_back();
                next.bytes.chop(len);
            }
            return false;
        }
        ++r.linesCounted;

        if (ascii) {
            SessionParts<QLatin1StringView> f;
            if (!ParseSession(QLatin1StringView(bytes, len), f)) return true;
            const Kind kind = judge(f);
            if (kind == Kind::Session)
                storeAscii(f, bytes);
            else if (note)
                note->kind = kind;
            return true;
        }
        SessionParts<QStringView> f;
        if (!ParseSession(QStringView(text), f)) return true;
        const Kind kind = judge(f);
        if (kind != Kind::Session) {
            if (note) note->kind = kind;
            return true;
        }
        LoginRecord rec =
            newRecord(f, UpperCase(f.user.toString()), UpperCase(f.machine.toString()));
        const QString recKey = rec.Key();
        bool again = false;
        bool added = false;
        Entry& found = scanMap.Refill(recKey, again, added);
        static_cast<LoginRecord&>(found) = std::move(rec);
        noteEntry(found, again, 0, Recall::kPidUnknown);
        return true;
    });
    // A list that repeats the last one line for line has all its records, and no other.
    const bool repeated = same && separatorSeen && lineNo == last.index.size();
    if (repeated)
        scanMap.RefilledAll();
    else if (same && separatorSeen)
        diverge();  // a shorter list
    if (recalling) {
        // The map holds only the records the last reading's lines gave: a record gone is
        // one of those.
        scanMap.EndRefillAmong([&](const auto& drop) {
            for (const Recall::Line& l : last.index)
                if (l.entry) drop(*l.entry);
        });
    } else {
        scanMap.EndRefill();
    }
    if (!readToEnd) {
        // Grown past the limit while being read, or unreadable: nothing of it counts.
        scanMap.RemoveAll();
        r = Reading{};
        r.outcome = tooLarge ? Outcome::OpenFailed : Outcome::ReadError;
    } else if (!stop && !separatorSeen) {
        r.outcome = Outcome::NoSeparator;
    }
    if (recall) {
        // Only a list read to its end is a reading to go on from.
        recall->m_valid = readToEnd && separatorSeen && !stop;
        if (!recall->m_valid)
            recall->m_lines = Recall::Lines{};
        else if (!repeated)
            recall->m_lines = std::move(next);
        recall->m_map = &scanMap;
        recall->m_keys = scanMap.KeysVersion();
        recall->m_pass = scanMap.Pass();
        recall->m_filters = filters;
        recall->m_today = todayNumber;
    }
    return r;
}

}  // namespace UserListReport
