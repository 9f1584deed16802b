#include "history/HistoryFilter.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "history/HistoryText.h"

namespace {

// Writes `v` in decimal at `out`; returns one past its last digit.
char* PutNumber(char* out, uint64_t v, int minDigits = 1) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v || n < minDigits);
    while (n) *out++ = digits[--n];
    return out;
}

bool OnlyOf(const QString& word, const char* chars) {
    for (const QChar c : word)
        if (c.unicode() > 0x7F || !std::strchr(chars, char(c.unicode()))) return false;
    return true;
}

// One word of the filter, with what it found so far.
class Word {
public:
    explicit Word(const QString& word)
        : m_word(word),
          m_bytes(word.toLatin1().toStdString()),
          m_timeLike(OnlyOf(word, "0123456789/:")),
          m_durationLike(OnlyOf(word, "0123456789:")),
          m_hasSlash(word.contains(QLatin1Char('/'))),
          m_hasColon(word.contains(QLatin1Char(':'))),
          m_inStillOn(In(QString::fromLatin1(HistoryText::kStillOn))),
          m_inOngoing(In(QString::fromLatin1(HistoryText::kOngoing))),
          m_inOutage(In(QString::fromLatin1(HistoryText::kOutage))),
          m_inAtLeast(In(QString::fromLatin1(HistoryText::kAtLeast).trimmed())) {
        std::fill(std::begin(m_notes), std::end(m_notes), int8_t(-1));
        for (HistoryTag t : {HistoryTag::Add, HistoryTag::Del, HistoryTag::Rec, HistoryTag::Other})
            m_inTag[std::size_t(t)] = In(HistoryText::TagText(t));
    }

    bool In(const QString& text) const { return text.contains(m_word, Qt::CaseInsensitive); }

    bool InPool(const StringPool& pool, int which, uint32_t id) {
        std::vector<int8_t>& cache = m_pools[which];
        if (id >= cache.size()) cache.resize(std::max<std::size_t>(id + 1, cache.size() * 2), -1);
        int8_t& known = cache[id];
        if (known < 0) known = In(pool.Text(id)) ? 1 : 0;
        return known;
    }

    bool InTime(int64_t t) {
        if (!m_timeLike || t == HistoryTime::kUnknown) return false;
        return InSecondOfDay(HistoryTime::SecondOfDay(t)) || InDay(HistoryTime::Day(t));
    }

    // As HistoryText::DurationText writes it; worked out an hour of durations at a time.
    bool InDuration(int64_t seconds) {
        if (!m_durationLike || seconds < 0) return false;
        if (seconds >= kCachedHours * 3600) return DurationHas(seconds);
        const auto hour = std::size_t(seconds / 3600);
        if (hour >= m_hoursDone.size()) m_hoursDone.resize(hour + 1, 0);
        if (!m_hoursDone[hour]) {
            m_hoursDone[hour] = 1;
            if (m_durations.size() < (hour + 1) * 3600) m_durations.resize((hour + 1) * 3600, 0);
            for (std::size_t s = hour * 3600; s < (hour + 1) * 3600; ++s)
                m_durations[s] = DurationHas(int64_t(s));
        }
        return m_durations[std::size_t(seconds)];
    }

    bool InTag(HistoryTag t) const { return m_inTag[std::size_t(t)]; }
    bool inStillOn() const { return m_inStillOn; }
    bool inOngoing() const { return m_inOngoing; }
    bool inOutage() const { return m_inOutage; }
    bool inAtLeast() const { return m_inAtLeast; }

    bool InNote(const HistorySession& s) {
        if (s.outage) return In(HistoryText::NoteText(s));
        int8_t& known = m_notes[(int(s.ended) * 2 + (s.StartKnown() ? 1 : 0)) & 31];
        if (known < 0) known = In(HistoryText::NoteText(s)) ? 1 : 0;
        return known;
    }

    bool InFileLine(const HistoryStore& store, uint16_t file, uint32_t line) {
        if (file >= m_files.size()) m_files.resize(std::size_t(file) + 1, -1);
        if (m_files[file] < 0) m_files[file] = In(store.files[file]) ? 1 : 0;
        if (m_files[file]) return true;
        if (m_durationLike) {
            char text[16];
            const char* end = PutNumber(text, line);
            if (std::string_view(text, std::size_t(end - text)).find(m_bytes) !=
                std::string_view::npos)
                return true;
        }
        // Across the colon between them.
        return m_hasColon && In(store.files[file] + QLatin1Char(':') + QString::number(line));
    }

private:
    static constexpr int64_t kCachedHours = 1000;

    bool DurationHas(int64_t seconds) const {
        char text[40];
        char* end = PutNumber(text, uint64_t(seconds / 3600));
        *end++ = ':';
        end = PutNumber(end, uint64_t(seconds / 60 % 60), 2);
        *end++ = ':';
        end = PutNumber(end, uint64_t(seconds % 60), 2);
        return std::string_view(text, std::size_t(end - text)).find(m_bytes) !=
               std::string_view::npos;
    }

    bool InSecondOfDay(int second) {
        if (m_hasSlash) return false;
        if (m_seconds.empty()) {
            m_seconds.resize(HistoryTime::kSecondsPerDay);
            char text[HistoryTime::kTextLength];
            for (int s = 0; s < HistoryTime::kSecondsPerDay; ++s) {
                HistoryTime::Format(s, text);
                const std::string_view clock(text + 11, 8);
                m_seconds[std::size_t(s)] = clock.find(m_bytes) != std::string_view::npos;
            }
        }
        return m_seconds[std::size_t(second)];
    }

    bool InDay(int64_t day) {
        if (m_hasColon) return false;
        if (m_days.empty()) m_firstDay = day;
        if (day < m_firstDay) {
            m_days.insert(m_days.begin(), std::size_t(m_firstDay - day), -1);
            m_firstDay = day;
        }
        const auto at = std::size_t(day - m_firstDay);
        if (at >= m_days.size()) m_days.resize(at + 1, -1);
        if (m_days[at] < 0) {
            char text[HistoryTime::kTextLength];
            HistoryTime::Format(day * HistoryTime::kSecondsPerDay, text);
            m_days[at] = std::string_view(text, 10).find(m_bytes) != std::string_view::npos;
        }
        return m_days[at];
    }

    QString m_word;
    std::string m_bytes;
    bool m_timeLike;
    bool m_durationLike;
    bool m_hasSlash;
    bool m_hasColon;
    bool m_inStillOn;
    bool m_inOngoing;
    bool m_inOutage;
    bool m_inAtLeast;
    bool m_inTag[4] = {};
    std::vector<int8_t> m_pools[4];
    std::vector<uint8_t> m_seconds;
    std::vector<int8_t> m_days;  // from m_firstDay on; -1: not worked out yet
    int64_t m_firstDay = 0;
    std::vector<uint8_t> m_hoursDone;
    std::vector<uint8_t> m_durations;
    int8_t m_notes[32];
    std::vector<int8_t> m_files;
};

enum Pool { kPids, kUsers, kMachines, kTexts };

bool SessionHas(Word& w, const HistoryStore& store, const HistorySession& s, int64_t now) {
    if (s.outage ? w.inOutage() : w.InPool(store.users, kUsers, s.user)) return true;
    if (w.InPool(store.machines, kMachines, s.machine)) return true;
    if (!s.outage && w.InPool(store.pids, kPids, s.pid)) return true;
    if (w.InTime(s.start)) return true;
    if (s.ended == SessionEnd::StillOn ? (s.outage ? w.inOngoing() : w.inStillOn())
                                       : w.InTime(s.end))
        return true;
    if (HistoryText::EndUncertain(s) && s.StartKnown() && w.inAtLeast()) return true;
    if (w.InDuration(HistoryText::Seconds(s, now))) return true;
    return w.InNote(s);
}

bool EventHas(Word& w, const HistoryStore& store, const HistoryEvent& e) {
    if ((e.flags & HistoryEvent::kOwnTime) && w.InTime(e.time)) return true;
    if (w.InTag(e.tag)) return true;
    if (w.InPool(store.pids, kPids, e.pid) || w.InPool(store.users, kUsers, e.user) ||
        w.InPool(store.machines, kMachines, e.machine) || w.InPool(store.texts, kTexts, e.text))
        return true;
    return w.InFileLine(store, e.file, e.line);
}

std::vector<Word> MakeWords(const QString& text) {
    std::vector<Word> words;
    for (const QString& w : HistoryFilter::Words(text)) words.emplace_back(w);
    return words;
}

}  // namespace

QStringList HistoryFilter::Words(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

std::vector<uint32_t> HistoryFilter::Sessions(const HistorySnapshot& snap, const HistoryCriteria& c,
                                              int64_t now) {
    std::vector<uint32_t> rows;
    if (!snap.store) return rows;
    const HistoryStore& store = *snap.store;
    std::vector<Word> words = MakeWords(c.text);
    std::vector<int8_t> userMatch;
    const bool sessions = c.Tag(HistoryTag::Add) || c.Tag(HistoryTag::Del);
    const bool outages = c.Tag(HistoryTag::Rec);
    const uint32_t count = snap.SessionCount();
    for (uint32_t row = 0; row < count; ++row) {
        const HistorySession& s = snap.Session(row);
        if (!(s.outage ? outages : sessions)) continue;
        const int64_t end = s.EndOr(now);
        if (c.at != HistoryTime::kUnknown) {
            if (!s.StartKnown() || s.start > c.at || end <= c.at) continue;
        } else {
            const int64_t begin = s.StartKnown() ? s.start : end;
            if (c.from != HistoryTime::kUnknown && end < c.from) continue;
            if (c.to != HistoryTime::kUnknown && begin >= c.to) continue;
        }
        if (!c.user.isEmpty()) {
            if (s.outage) continue;
            if (s.user >= userMatch.size()) userMatch.resize(std::size_t(s.user) + 1, -1);
            if (userMatch[s.user] < 0)
                userMatch[s.user] = store.users.Text(s.user).contains(c.user, Qt::CaseInsensitive);
            if (!userMatch[s.user]) continue;
        }
        bool pass = true;
        for (Word& w : words)
            if (!SessionHas(w, store, s, now)) {
                pass = false;
                break;
            }
        if (pass) rows.push_back(row);
    }
    return rows;
}

std::vector<uint32_t> HistoryFilter::Events(const HistorySnapshot& snap, const HistoryCriteria& c) {
    std::vector<uint32_t> rows;
    if (!snap.store) return rows;
    const HistoryStore& store = *snap.store;
    std::vector<Word> words = MakeWords(c.text);
    for (uint32_t row = 0; row < snap.eventCount; ++row) {
        const HistoryEvent& e = store.events[row];
        if (!c.Tag(e.tag)) continue;
        if (e.time != HistoryTime::kUnknown) {
            if (c.from != HistoryTime::kUnknown && e.time < c.from) continue;
            if (c.to != HistoryTime::kUnknown && e.time >= c.to) continue;
        }
        bool pass = true;
        for (Word& w : words)
            if (!EventHas(w, store, e)) {
                pass = false;
                break;
            }
        if (pass) rows.push_back(row);
    }
    return rows;
}
