#include "scan/ScanEngine.h"

#include <algorithm>
#include <utility>

#include "app/Timestamp.h"
#include "scan/HistoryLog.h"
#include "scan/LoginOrder.h"
#include "scan/MatrixLayout.h"
#include "scan/ScanEngineTexts.h"

// ScanEngine: the matrix rebuilt in login order, going on from the last layout where it can,
// with the addresses of new sessions and the stale marks.

namespace {

const QString kCaptionOn = QStringLiteral("Vantrace Logging ON");
const QString kAllLogging = QStringLiteral("_ALL_LOGGING_");

}  // namespace

using namespace ScanEngineTexts;

void ScanEngine::NoteStaleDue(const LoginRecord& fresh) {
    // The report's day may be read otherwise than the stored date-time's.
    if (fresh.Status != kStale && UserListReport::DayNumber(fresh.DateTime) < m_todayNumber)
        m_staleDue = true;
}

void ScanEngine::MarkStaleIfOld(const QString& datetime, QString& status) const {
    if (UserListReport::DayNumber(datetime) < m_todayNumber) status = kStale;
}

void ScanEngine::LookUpAddress(const QString& key, const QString& reportedUserId, QString& email,
                               QHash<QString, QString>& known) {
    const auto it = known.constFind(reportedUserId);
    if (it != known.constEnd()) {
        email = it.value();
        return;
    }
    // One lookup that got no answer in time is enough for a cycle: the others wait for a
    // later one rather than holding the window up to the limit each.
    std::optional<QString> answer;
    if (!m_lookupsHeld) {
        m_toolRunning = true;
        answer = m_lookup ? m_lookup(reportedUserId) : QString();
        m_toolRunning = false;
    }
    if (!answer) {
        m_lookupsHeld = true;
        m_addressPending.insert(key);
        return;
    }
    email = *answer;
    known.insert(reportedUserId, email);
}

void ScanEngine::GatherAddresses(QHash<QString, QString>& addresses) {
    const auto gather = [&](const LoginRecord& shown) {
        if (!shown.Email.isEmpty() && !shown.ReportedUserId.isEmpty())
            addresses.insert(shown.ReportedUserId, shown.Email);
    };
    // The last layout holds the shown records in a flat list, quicker to walk than the map's
    // nodes.
    if (!LayoutHoldsMatrix()) {
        for (const auto& [key, shown] : m_matrixMap) gather(shown);
        return;
    }
    for (const int k : LiveLayout()) gather(*m_layout[static_cast<size_t>(k)].rec);
}

bool ScanEngine::LayoutHoldsMatrix() const {
    return m_layoutValid && m_matrixMap.KeysVersion() == m_layoutKeys + m_forgotten.size();
}

const std::vector<int>& ScanEngine::LiveLayout() {
    if (m_liveValid && m_liveForgotten == m_forgotten.size()) return m_live;
    // The forgotten records' addresses, compared and never followed, in a flat table: mixed
    // by an odd multiplier, which keeps them apart, so that their low bits spread.
    const auto mixed = [](const LoginRecord* rec) {
        return quint64(quintptr(rec)) * 0x9E3779B97F4A7C15ull;
    };
    EntryIndex forgotten;
    for (const LoginRecord* rec : m_forgotten) forgotten.Insert(mixed(rec), {});
    m_live.clear();
    m_live.reserve(m_layout.size());
    for (size_t k = 0; k < m_layout.size(); ++k)
        if (!forgotten.Find(mixed(m_layout[k].rec))) m_live.push_back(static_cast<int>(k));
    m_liveValid = true;
    m_liveForgotten = m_forgotten.size();
    return m_live;
}

QString ScanEngine::WatchedPidLabel() const {
    return Status(ScanStatus::WatchedPid).section(QLatin1Char(' '), 0, 0);
}

void ScanEngine::NoteStep(bool inStep) {
    m_inStep = inStep;
    m_stepScanKeys = m_scanMap.KeysVersion();
    m_stepMatrixKeys = m_matrixMap.KeysVersion();
}

bool ScanEngine::InStep(quint64 scanKeys) const {
    return m_inStep && m_placeholders.isEmpty() && scanKeys == m_stepScanKeys &&
           m_matrixMap.KeysVersion() == m_stepMatrixKeys;
}

CMapStrToLoginObj::Storage::node_type ScanEngine::ForgetShown(const QString& key) {
    auto node = m_matrixMap.Extract(key);
    if (!node.empty()) m_forgotten.push_back(&node.mapped());
    return node;
}

void ScanEngine::MoveCarriedIndex(const std::vector<Placed>& layout,
                                  const std::vector<char>& inPlace) {
    // The last layout's entries that left their place give up the hashes they hold. Another
    // entry of such a hash, left in place, takes it over: the first one, found in one pass
    // over the new layout with a sieve of the hashes given up.
    EntryIndex givenUp;  // by hash; a row of 1 once taken over
    std::vector<quint64> sieve;
    const auto sieveBit = [](quint64 hash) { return (hash * 0x9E3779B97F4A7C15ull) >> 46; };
    const auto giveUp = [&](EntryIndex& index, quint64 hash, Position was) {
        const Position* at = index.Find(hash);
        if (!at || at->row != was.row || at->col != was.col) return;
        index.Erase(hash);
        givenUp.Insert(hash, {});
        if (sieve.empty()) sieve.assign(size_t(1) << 12, 0);
        sieve[sieveBit(hash) >> 6] |= quint64(1) << (sieveBit(hash) & 63);
    };
    for (const Placed& p : m_layout) {
        if (p.position < 0 || p.facts.pidless || inPlace[static_cast<size_t>(p.position)]) continue;
        giveUp(m_entryIndex, p.facts.hashes.entry, PositionOf(p.position));
        giveUp(m_pidIndex, p.facts.hashes.pid, PositionOf(p.position));
    }
    if (!sieve.empty()) {
        const auto takeOver = [&](EntryIndex& index, quint64 hash, int position) {
            if (!(sieve[sieveBit(hash) >> 6] >> (sieveBit(hash) & 63) & 1)) return;
            Position* given = givenUp.Find(hash);
            if (!given || given->row != 0) return;
            given->row = 1;
            index.Set(hash, PositionOf(position));
        };
        for (const Placed& p : layout) {
            if (p.position < 0 || p.facts.pidless) continue;
            takeOver(m_entryIndex, p.facts.hashes.entry, p.position);
            takeOver(m_pidIndex, p.facts.hashes.pid, p.position);
        }
    }
    // The entries written anew, in their order, hold their hashes unless an earlier entry does.
    for (const PlacedAnew& a : m_placedAnewList) {
        const int position = EntryPosition(a.at.row, a.at.col);
        for (auto [index, hash] :
             {std::pair{&m_entryIndex, a.hashes.entry}, std::pair{&m_pidIndex, a.hashes.pid}}) {
            const Position* at = index->Find(hash);
            if (!at || EntryPosition(at->row, at->col) > position) index->Set(hash, a.at);
        }
    }
}

namespace {

// Login order between two sessions, `when` being their time stamps as numbers (-1: another
// shape, compared as text).
bool Before(qint64 whenA, const LoginRecord& a, const QString& keyA, qint64 whenB,
            const LoginRecord& b, const QString& keyB) {
    if (whenA >= 0 && whenB >= 0) return whenA != whenB ? whenA < whenB : keyA < keyB;
    return LoginOrderLess(LoginOrderKey(a.DateTime), keyA, LoginOrderKey(b.DateTime), keyB);
}

}  // namespace

void ScanEngine::RebuildMatrix() {
    const QString userLabel = Status(ScanStatus::WatchedUser);
    const QString machineLabel = Status(ScanStatus::WatchedMachine);
    int count = m_matrixMap.GetCount();

    // The last layout holds, in login order, every session shown then; when the grid still
    // shows it and the matrix map has lost only what this cycle removed, the sessions shown
    // go on in that order, and an entry whose place does not change is not written again.
    const bool goOn = m_reuse && LayoutHoldsMatrix() && !m_traceActive &&
                      m_placeholders.isEmpty() && m_todayNumber == m_layoutToday;
    if (!goOn) ClearIndex();

    // The sessions to show, in login order: new ones (from the scan map) and those already
    // shown. Records are not copied; both maps keep their elements in place meanwhile.
    struct Item {
        LoginRecord* rec;
        const QString* key;
        qint64 when;
        int lastPosition;        // where the last layout wrote it, when going on from it
        const QString* address;  // a new session's, looked up
        EntryFacts facts;        // from the last layout; hashes zero when not known
    };
    const auto less = [](const Item& a, const Item& b) {
        return Before(a.when, *a.rec, *a.key, b.when, *b.rec, *b.key);
    };

    // Addresses already known: one lookup per distinct new user and cycle at most. Gathered
    // only once a new session needs one, which most cycles never do.
    QHash<QString, QString> addresses;
    bool addressesGathered = false;

    // The report's sessions not shown yet: among those the reading added, or all of them.
    std::vector<CMapStrToLoginObj::Added> newcomers;
    if (m_followReading) {
        newcomers = m_scanMap.RefillAdded();
    } else {
        newcomers.reserve(static_cast<size_t>(m_scanMap.GetCount()));
        for (auto& [key, rec] : m_scanMap) newcomers.push_back({&key, &rec});
    }
    std::vector<Item> fresh;
    fresh.reserve(newcomers.size());
    // The scan map's records stay as read: addresses found go to the shown records. Reserved
    // for every newcomer, so that the items can point at them.
    std::vector<QString> freshAddresses;
    freshAddresses.reserve(newcomers.size());
    for (const CMapStrToLoginObj::Added& newcomer : newcomers) {
        const QString& key = *newcomer.key;
        LoginRecord& rec = *newcomer.record;
        // Following the reading, the matrix map held the last reading's keys, so a key the
        // reading added is not shown yet.
        Q_ASSERT(!m_followReading || !m_matrixMap.Contains(key));
        if (!m_followReading && m_matrixMap.Contains(key)) continue;
        PumpPaintThrottled();
        QString address = rec.Email;
        if (address.isEmpty()) {
            if (!addressesGathered) {
                GatherAddresses(addresses);
                addressesGathered = true;
            }
            LookUpAddress(key, rec.ReportedUserId, address, addresses);
        }
        freshAddresses.push_back(std::move(address));
        fresh.push_back(
            {&rec, &key, LoginOrderKey(rec.DateTime).Number(), -1, &freshAddresses.back(), {}});

        if (m_traceActive && !machineLabel.contains(kAllLogging) && rec.UserId == userLabel &&
            rec.Machine == machineLabel) {
            // The watched user has a new session: it takes the place of the old one.
            const QString oldPid = WatchedPidLabel();
            SetStatus(ScanStatus::WatchedPid,
                      rec.Pid + QStringLiteral(" \tLog Level ") + m_logLevel);
            const QString oldKey = LoginRecord::MakeKey(rec.Machine, oldPid);
            m_placeholders.remove(oldKey);
            if (ForgetShown(oldKey)) {
                EventRecord e;
                e.verb = QStringLiteral("DEL");
                e.pid = oldPid;
                e.name = rec.UserId;
                e.machine = rec.Machine;
                Apply(e);
                ResetMatrixGrid();
            }
        }
    }

    // Sessions shown without an address because an earlier cycle skipped their lookup.
    for (const QString& key : std::exchange(m_addressPending, {})) {
        if (LoginRecord* shown = m_matrixMap.Find(key))
            LookUpAddress(key, shown->ReportedUserId, shown->Email, addresses);
        else if (m_scanMap.Contains(key))  // new in this cycle, its lookup skipped above
            m_addressPending.insert(key);
    }

    // Login order; equal times by key, so the layout never depends on the maps' order.
    std::sort(fresh.begin(), fresh.end(), less);
    // The sessions are taken one at a time, in login order, by `take`. Going on from the last
    // layout, they are its sessions not removed since, merged with the new ones (of equal
    // ones, the shown session first); otherwise all of them, sorted.
    std::vector<Item> sorted;
    size_t taken = 0;
    const std::vector<int>& live = goOn ? LiveLayout() : m_live;
    const auto placed = [&](size_t i) -> const Placed& {
        return m_layout[static_cast<size_t>(live[i])];
    };
    const auto before = [](const Item& a, const Placed& b) {
        return Before(a.when, *a.rec, *a.key, b.when, *b.rec, *b.key);
    };
    const auto kept = [&](const Placed& p) -> Item {
        // Sessions new in the last rebuild are marked by the day only now, as always. The
        // others are as that rebuild left them, and are not looked at.
        EntryFacts facts = p.facts;
        if (p.fresh) {
            MarkStaleIfOld(p.rec->DateTime, p.rec->Status);
            facts.stale = p.rec->Status == kStale;
        }
        return {p.rec, p.key, p.when, p.position, nullptr, facts};
    };
    auto next = fresh.cbegin();
    size_t i = 0;               // the next shown session
    size_t runEnd = 0;          // the end of the run of shown sessions logged on at one time
    size_t splitAt = SIZE_MAX;  // where `next` goes within such a run, once found
    const auto take = [&](Item& out) -> bool {
        if (!goOn) {
            if (taken == sorted.size()) return false;
            out = sorted[taken++];
            return true;
        }
        if (next == fresh.cend() || i == live.size()) {
            if (i < live.size())
                out = kept(placed(i++));
            else if (next != fresh.cend())
                out = *next++;
            else
                return false;
            return true;
        }
        if (splitAt == SIZE_MAX) {
            const qint64 when = placed(i).when;
            if (when < 0 || when != next->when) {
                out = before(*next, placed(i)) ? *next++ : kept(placed(i++));
                return true;
            }
            // Within a run of equal times the order is the key's: the new session's place
            // among the shown ones is found by halving rather than by comparing each.
            if (runEnd <= i || placed(runEnd - 1).when != when) {
                runEnd = i;
                while (runEnd < live.size() && placed(runEnd).when == when) ++runEnd;
            }
            size_t low = i;
            size_t high = runEnd;
            while (low < high) {
                const size_t mid = low + (high - low) / 2;
                if (before(*next, placed(mid)))
                    high = mid;
                else
                    low = mid + 1;
            }
            splitAt = low;
        }
        if (i < splitAt) {
            out = kept(placed(i++));
        } else {
            out = *next++;
            splitAt = SIZE_MAX;
        }
        return true;
    };
    if (!goOn) {
        sorted.reserve(fresh.size() + static_cast<size_t>(m_matrixMap.GetCount()));
        for (auto& [key, rec] : m_matrixMap) {
            MarkStaleIfOld(rec.DateTime, rec.Status);
            sorted.push_back({&rec, &key, LoginOrderKey(rec.DateTime).Number(), -1, nullptr, {}});
        }
        sorted.insert(sorted.end(), fresh.begin(), fresh.end());
        std::sort(sorted.begin(), sorted.end(), less);
    }

    std::vector<Placed> layout;
    layout.reserve(goOn ? live.size() + fresh.size() : sorted.size());
    // Going on, the indices keep the last layout's entries, and those left in place (marked
    // here by their number) stay indexed as they are.
    std::vector<char> inPlace;
    if (goOn) {
        m_indexCarried = true;
        m_placedAnew.Clear();
        m_placedAnewList.clear();
        inPlace.assign(m_layout.size(), 0);
    }
    m_staleDue = false;
    m_batch = true;
    // A line for each session come: the history file stays open from one to the next.
    const HistoryLog::Hold lines(m_history);
    int written = 0;
    bool anyFailure = false;
    for (Item item; take(item);) {
        LoginRecord& rec = *item.rec;
        const QString& key = *item.key;
        const EntryFacts facts = item.facts.hashes.entry ? item.facts : FactsOf(rec);
        if (facts.failure) anyFailure = true;
        const int position = written;
        // Going on, only an entry written anew may have the hash of one shown where it was:
        // those of the last layout were all different.
        if (!item.address && item.lastPosition == written &&
            !(m_indexCarried ? m_placedAnew : m_entryIndex).Find(facts.hashes.entry)) {
            // Shown where it was: its cells are as the last rebuild wrote them.
            int row = 0;
            int col = 0;
            NextWritePosition(row, col);
            if (m_indexCarried)
                inPlace[static_cast<size_t>(position)] = 1;
            else if (!facts.pidless)
                IndexEntry(row, col, facts.hashes);
            const bool staleStored = KeepStaleColours(row, col, facts.stale);
            if (facts.stale) PaintStale(row, col, staleStored);
            ScrollIntoView(row, col);
            m_entryCursor += MatrixLayout::kGroupWidth;
            layout.push_back({&rec, &key, item.when, position, false, facts});
            ++written;
            continue;
        }
        // Applied as parsed records: the event text would split a user id holding "MN=".
        EventRecord e;
        e.pid = rec.Pid;
        e.name = rec.UserId;
        e.machine = rec.Machine;
        e.datetime = DateTimeFromField(rec.DateTime);
        e.status = IsPlaceholder(key) ? QString() : rec.Status;
        // A written entry moves the cursor on; one the grid shows already leaves it.
        const int cursorBefore = m_entryCursor;
        const auto wrote = [&] { return m_entryCursor != cursorBefore; };
        if (!item.address) {  // shown before
            e.verb = QStringLiteral("UPO");
            Apply(e);
            layout.push_back({&rec, &key, item.when, wrote() ? written++ : -1, false, facts});
            continue;
        }
        // New sessions come from the scan map, so storing them never moves a record above.
        LoginRecord shown = rec;
        shown.Email = *item.address;
        const CMapStrToLoginObj::Located stored = m_matrixMap.SetAt(key, std::move(shown));
        int row = 0;
        int col = 0;
        if (FindSessionEntry(rec.Pid, rec.Machine, row, col)) {
            layout.push_back({stored.record, stored.key, item.when, -1, true, facts});
            NoteStaleDue(*stored.record);
            continue;
        }
        e.verb = QStringLiteral("ADD");
        Apply(e);
        layout.push_back({stored.record, stored.key, item.when, written++, true, facts});
        NoteStaleDue(*stored.record);
        ++count;
        if (m_traceActive && userLabel == rec.UserId && machineLabel == rec.Machine) {
            // The watched user logged on.
            QString datetime = rec.DateTime.isEmpty() ? CurrentTimestamp(m_clock) : rec.DateTime;
            m_history.WriteHistoryLine(HistoryLog::SessionLine(
                kRecTag, rec.Pid, userLabel, machineLabel, Unstore(datetime),
                QStringLiteral("   - vantrace ON ") + m_logLevel + QLatin1Char('\n')));
            SetStatus(ScanStatus::WatchCaption, kCaptionOn);
            SetStatus(ScanStatus::WatchedDateTime, CurrentTimestamp(m_clock));
            BlinkTracedEntry();
            StartWatchBlink();
        }
    }
    m_batch = false;
    if (m_indexCarried) {
        m_indexCarried = false;
        MoveCarriedIndex(layout, inPlace);
    }
    // The matrix now shows the report's sessions, and only them, unless a failure entry or a
    // placeholder is kept or the watched user's old session was taken out.
    NoteStep(!m_traceActive && !anyFailure && m_placeholders.isEmpty() &&
             m_matrixMap.GetCount() == m_scanMap.GetCount());
    m_layout = std::move(layout);
    m_layoutValid = true;
    m_layoutKeys = m_matrixMap.KeysVersion();
    m_layoutToday = m_todayNumber;
    m_forgotten.clear();
    m_liveValid = false;
    SetStatus(ScanStatus::SessionCount, QString::number(count));
}
