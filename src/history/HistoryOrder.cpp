#include "history/HistoryOrder.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "history/HistoryText.h"

namespace {

using Keyed = std::pair<uint64_t, uint32_t>;

// Stable, 16 bits at a time; a digit all keys share is skipped.
void RadixSort(std::vector<Keyed>& v) {
    std::vector<Keyed> tmp(v.size());
    std::vector<uint32_t> count(65537);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(count.begin(), count.end(), 0);
        for (const Keyed& k : v) ++count[((k.first >> shift) & 0xFFFF) + 1];
        if (std::find(count.begin(), count.end(), uint32_t(v.size())) != count.end()) continue;
        for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
        for (const Keyed& k : v) tmp[count[(k.first >> shift) & 0xFFFF]++] = k;
        v.swap(tmp);
    }
}

void SortBy(std::vector<uint32_t>& rows, bool descending,
            const std::function<uint64_t(uint32_t)>& key) {
    std::vector<Keyed> keyed(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const uint64_t k = key(rows[i]);
        keyed[i] = {descending ? ~k : k, rows[i]};
    }
    RadixSort(keyed);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = keyed[i].second;
}

uint64_t TimeKey(int64_t t) {
    return uint64_t(t) ^ (uint64_t(1) << 63);  // unknown first
}

constexpr uint32_t kOutageId = UINT32_MAX;

// The alphabetical place, without regard to case, of each text the rows use.
std::vector<uint32_t> Ranks(const StringPool& pool, const std::vector<uint32_t>& rows,
                            const std::function<uint32_t(uint32_t)>& idOf,
                            uint32_t* outageRank = nullptr) {
    uint32_t maxId = 0;
    for (const uint32_t r : rows)
        if (const uint32_t id = idOf(r); id != kOutageId) maxId = std::max(maxId, id);
    std::vector<uint8_t> seen(std::size_t(maxId) + 1, 0);
    std::vector<uint32_t> ids;
    bool outage = false;
    for (const uint32_t r : rows) {
        const uint32_t id = idOf(r);
        if (id == kOutageId) {
            outage = true;
        } else if (!seen[id]) {
            seen[id] = 1;
            ids.push_back(id);
        }
    }
    const QString outageText = QString::fromLatin1(HistoryText::kOutage);
    if (outage) ids.push_back(kOutageId);
    const auto text = [&](uint32_t id) -> const QString& {
        return id == kOutageId ? outageText : pool.Text(id);
    };
    std::stable_sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) {
        return text(a).compare(text(b), Qt::CaseInsensitive) < 0;
    });
    std::vector<uint32_t> rank(std::size_t(maxId) + 1, 0);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == kOutageId) {
            if (outageRank) *outageRank = uint32_t(i);
        } else {
            rank[ids[i]] = uint32_t(i);
        }
    }
    return rank;
}

// PIDs by their number; the few that are not numbers after all of them, alphabetically.
std::function<uint64_t(uint32_t)> PidKeys(const StringPool& pool, const std::vector<uint32_t>& rows,
                                          const std::function<uint32_t(uint32_t)>& idOf) {
    uint32_t maxId = 0;
    for (const uint32_t r : rows) maxId = std::max(maxId, idOf(r));
    auto keys = std::make_shared<std::vector<uint64_t>>(std::size_t(maxId) + 1, UINT64_MAX);
    std::vector<uint32_t> others;
    for (const uint32_t r : rows) {
        const uint32_t id = idOf(r);
        if ((*keys)[id] != UINT64_MAX) continue;
        const QString& text = pool.Text(id);
        bool number = !text.isEmpty() && text.size() <= 18;
        uint64_t value = 0;
        for (const QChar c : text) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                number = false;
                break;
            }
            value = value * 10 + uint64_t(c.unicode() - '0');
        }
        if (number) {
            (*keys)[id] = value;
        } else {
            (*keys)[id] = UINT64_MAX - 1;
            others.push_back(r);
        }
    }
    if (!others.empty()) {
        const std::vector<uint32_t> rank = Ranks(pool, others, idOf);
        for (const uint32_t r : others) (*keys)[idOf(r)] = (uint64_t(1) << 63) | rank[idOf(r)];
    }
    return [keys, idOf](uint32_t r) { return (*keys)[idOf(r)]; };
}

}  // namespace

void HistoryOrder::Sessions(const HistorySnapshot& snap, std::vector<uint32_t>& rows, int column,
                            bool descending, int64_t now) {
    if (!snap.store) return;
    const HistoryStore& store = *snap.store;
    const auto& s = [&snap](uint32_t r) -> const HistorySession& { return snap.Session(r); };
    switch (column) {
        case HistoryText::User: {
            const auto idOf = [&s](uint32_t r) { return s(r).outage ? kOutageId : s(r).user; };
            uint32_t outageRank = 0;
            const std::vector<uint32_t> rank = Ranks(store.users, rows, idOf, &outageRank);
            SortBy(rows, descending, [&](uint32_t r) {
                return uint64_t(s(r).outage ? outageRank : rank[s(r).user]);
            });
            break;
        }
        case HistoryText::Machine: {
            const auto idOf = [&s](uint32_t r) { return s(r).machine; };
            const std::vector<uint32_t> rank = Ranks(store.machines, rows, idOf);
            SortBy(rows, descending, [&](uint32_t r) { return uint64_t(rank[s(r).machine]); });
            break;
        }
        case HistoryText::Pid:
            SortBy(rows, descending,
                   PidKeys(store.pids, rows, [&s](uint32_t r) { return s(r).pid; }));
            break;
        case HistoryText::LoggedOn:
            SortBy(rows, descending, [&](uint32_t r) { return TimeKey(s(r).start); });
            break;
        case HistoryText::LoggedOff:
            SortBy(rows, descending, [&](uint32_t r) {
                return s(r).ended == SessionEnd::StillOn ? UINT64_MAX : TimeKey(s(r).end);
            });
            break;
        case HistoryText::Duration:
            SortBy(rows, descending,
                   [&](uint32_t r) { return uint64_t(HistoryText::Seconds(s(r), now) + 1); });
            break;
        case HistoryText::Note:
            SortBy(rows, descending, [&](uint32_t r) {
                const HistorySession& x = s(r);
                if (!x.outage && !HistoryText::EndUncertain(x) && x.StartKnown())
                    return uint64_t(0);
                return (uint64_t(x.outage) << 48) | (uint64_t(x.ended) << 40) |
                       (uint64_t(x.StartKnown()) << 32) | x.failures;
            });
            break;
        default:
            break;
    }
}

void HistoryOrder::Events(const HistorySnapshot& snap, std::vector<uint32_t>& rows, int column,
                          bool descending) {
    if (!snap.store) return;
    const HistoryStore& store = *snap.store;
    const auto& e = [&store](uint32_t r) -> const HistoryEvent& { return store.events[r]; };
    const auto byText = [&](const StringPool& pool, uint32_t HistoryEvent::*field) {
        const auto idOf = [&e, field](uint32_t r) { return e(r).*field; };
        const std::vector<uint32_t> rank = Ranks(pool, rows, idOf);
        SortBy(rows, descending, [&](uint32_t r) { return uint64_t(rank[e(r).*field]); });
    };
    switch (column) {
        case HistoryText::Time:
            SortBy(rows, descending, [&](uint32_t r) { return TimeKey(e(r).time); });
            break;
        case HistoryText::Tag:
            SortBy(rows, descending, [&](uint32_t r) { return uint64_t(e(r).tag); });
            break;
        case HistoryText::EventPid:
            SortBy(rows, descending,
                   PidKeys(store.pids, rows, [&e](uint32_t r) { return e(r).pid; }));
            break;
        case HistoryText::EventUser:
            byText(store.users, &HistoryEvent::user);
            break;
        case HistoryText::EventMachine:
            byText(store.machines, &HistoryEvent::machine);
            break;
        case HistoryText::Text:
            byText(store.texts, &HistoryEvent::text);
            break;
        case HistoryText::Source:
            SortBy(rows, descending, [](uint32_t r) { return uint64_t(r); });
            break;
        default:
            break;
    }
}
