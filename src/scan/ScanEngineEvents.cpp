#include "scan/ScanEngine.h"

#include <algorithm>

#include "app/Timestamp.h"
#include "controls/GridModel.h"
#include "controls/GridView.h"
#include "scan/HistoryLog.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"
#include "scan/ScanEngineTexts.h"

// ScanEngine: events applied to the matrix, entries written, and entries found again through
// the look-up indices.

namespace {

const QString kAddTag = QString::fromLatin1(HistoryLog::kAddTag);
const QString kDelTag = QString::fromLatin1(HistoryLog::kDelTag);
const QString kFailedToRespond = QString::fromLatin1(kFailedToRespondText);

quint64 IndexHash(const QString& pid, const QString& machine) {
    return EntryIndex::HashOf(pid, &machine);
}

}  // namespace

using namespace ScanEngineTexts;

// ---------------------------------------------------------------- applying events

void ScanEngine::NextWritePosition(int& row, int& col) {
    if (m_entryCursor < 0 || m_entryCursor > MatrixLayout::kColumnCount) m_entryCursor = 0;
    row = std::max(MatrixRowCount() - 1, 1);
    col = m_entryCursor;
    if (col >= MatrixLayout::kColumnCount) {
        col = 0;
        ++row;
    }
    m_entryCursor = col;  // advanced past the entry once it is written
    if (MatrixRowCount() != row + 1) SetMatrixRowCount(row + 1);
}

int ScanEngine::MatrixRowCount() const {
    return m_reuse ? m_reuseRows : m_grid.GetRowCount();
}

void ScanEngine::SetMatrixRowCount(int rows) {
    if (!m_reuse) {
        m_grid.SetRowCount(rows);
        return;
    }
    // Rows the grid holds already are written over; new ones come as in an emptied grid.
    m_reuseRows = rows;
    if (rows > m_grid.GetRowCount()) m_grid.SetRowCount(rows);
}

bool ScanEngine::WriteEntry(int row, int col, const EventRecord& e, quint64 indexHash) {
    using namespace MatrixLayout;
    // Entries written outside a rebuild (failures, the placeholder) may have no record in the
    // matrix map; the removal pass must find them.
    if (!m_batch) m_looseEntries.push_back({row, col, e.pid, e.machine});
    WriteCell(row, col + kPidOffset, e.pid);
    WriteCell(row, col + kUserOffset, e.name);
    WriteCell(row, col + kMachineOffset, e.machine);
    WriteCell(row, col + kDateTimeOffset, e.datetime);
    IndexEntry(row, col, e.pid, indexHash);
    const bool staleStored = KeepStaleColours(row, col, e.status == kStale);
    // A rebuild is repainted as a whole once it is complete; an entry of its own is at once.
    if (!m_batch && m_view) m_view->RedrawRow(row);
    return staleStored;
}

bool ScanEngine::KeepStaleColours(int row, int col, bool stale) {
    using namespace MatrixLayout;
    const size_t position = static_cast<size_t>(EntryPosition(row, col));
    if (m_stalePainted.size() <= position) m_stalePainted.resize(position + 1, false);
    if (!m_stalePainted[position]) return false;
    // Written over an entry of the last rebuild that was stale: its colours stay only
    // for an entry that is stale too.
    if (stale) return true;
    for (int k = 0; k < kGroupWidth; ++k) {
        m_grid.SetItemBkColour(row, col + k, kGridDefaultColour);
        m_grid.SetItemFgColour(row, col + k, kGridDefaultColour);
    }
    m_stalePainted[position] = false;
    return false;
}

void ScanEngine::WriteCell(int row, int col, const QString& text) {
    // Over the last rebuild's matrix a cell is written only where it changes.
    if (m_reuse && m_grid.GetItemFormat(row, col) == MatrixLayout::kEntryFormat &&
        m_grid.GetItemText(row, col) == text)
        return;
    m_grid.SetItemTextAndFormat(row, col, text, MatrixLayout::kEntryFormat);
}

void ScanEngine::PaintStale(int row, int col, bool alreadyStored) {
    if (!alreadyStored && m_presenter) m_presenter->StaleColours(row, col);
    const size_t position = static_cast<size_t>(EntryPosition(row, col));
    if (position < m_stalePainted.size()) m_stalePainted[position] = true;
}

void ScanEngine::ScrollIntoView(int row, int col) {
    if (m_batch) {
        m_pendingVisibleRow = row;
        m_pendingVisibleCol = col;
        return;
    }
    if (m_view) m_view->EnsureVisible(row, col);
}

int ScanEngine::ApplyEvent(const QString& eventText) {
    Apply(ParseEventRecord(eventText, CurrentTimestamp(m_clock)));
    // Outside a cycle no rebuild follows; the blink is played at once.
    if (!m_inCycle) PlayDepartingBlinks();
    return 1;
}

void ScanEngine::Apply(const EventRecord& e) {
    int row = 0;
    int col = 0;
    if (!m_batch && e.pid == kPlaceholder && e.verb != QLatin1String("DEL"))
        m_placeholders.insert(LoginRecord::MakeKey(e.machine, e.pid));
    if (e.verb == QLatin1String("REC")) {
        NextWritePosition(row, col);
        const bool staleStored = WriteEntry(row, col, e, IndexHash(e.pid, e.machine));
        if (m_presenter && e.pid != kPlaceholder) m_presenter->NewEntryFlash(row, col);
        if (e.status == kStale) PaintStale(row, col, staleStored);
        if (IsFailurePid(e.pid)) {
            m_errorRow = row;
            m_errorCol = col;
            StartErrorBlink();
        }
        ScrollIntoView(row, col);
        m_entryCursor += MatrixLayout::kGroupWidth;
        m_history.WriteHistoryLine(
            HistoryLog::SessionLine(kRecTag, e.pid, e.name, e.machine, e.datetime));
    } else if (e.verb == QLatin1String("UPO") || e.verb == QLatin1String("ADD")) {
        const quint64 key = IndexHash(e.pid, e.machine);
        if (FindIndexed(key, e.pid, e.machine, row, col)) return;
        const bool added = e.verb == QLatin1String("ADD");
        NextWritePosition(row, col);
        const bool staleStored = WriteEntry(row, col, e, key);
        if (m_presenter && added) m_presenter->NewEntryFlash(row, col);
        if (e.status == kStale) PaintStale(row, col, staleStored);
        ScrollIntoView(row, col);
        m_entryCursor += MatrixLayout::kGroupWidth;
        if (added) {
            ++m_cycleAdded;
            m_history.WriteHistoryLine(
                HistoryLog::SessionLine(kAddTag, e.pid, e.name, e.machine, e.datetime));
        }
    } else if (e.verb == QLatin1String("DEL")) {
        if (e.status != kStale && FindEntryByPid(e.pid, row, col))
            m_departing.push_back({row, col});
        if (!IsFailurePid(e.pid) && e.pid != kPlaceholder) ++m_cycleRemoved;
        const QString datetime = e.datetime.isEmpty() ? CurrentTimestamp(m_clock) : e.datetime;
        const QString machine = e.machine.contains(kFailedToRespond) ? kFailedToRespond : e.machine;
        m_history.WriteHistoryLine(
            HistoryLog::SessionLine(kDelTag, e.pid, e.name, machine, datetime));
    }
}

// ---------------------------------------------------------------- finding entries

QString ScanEngine::CellText(int row, int col) const {
    return m_grid.GetItemText(row, col);
}

void ScanEngine::ClearIndex() {
    m_entryIndex.Clear();
    m_pidIndex.Clear();
    m_indexCarried = false;
}

int ScanEngine::PlacedEntries() const {
    const int rows = MatrixRowCount();
    return rows <= 1 ? 0 : EntryPosition(rows - 1, m_entryCursor);
}

void ScanEngine::IndexEntry(int row, int col, const QString& pid, quint64 hash) {
    if (pid.isEmpty()) return;
    IndexEntry(row, col, {hash, EntryIndex::HashOf(pid)});
}

void ScanEngine::IndexEntry(int row, int col, const EntryHashes& hashes) {
    if (m_indexCarried) {
        m_placedAnew.Insert(hashes.entry, Position{row, col});
        m_placedAnewList.push_back({Position{row, col}, hashes});
        return;
    }
    // New entries always come after those already shown, so the first one stays.
    m_entryIndex.Insert(hashes.entry, Position{row, col});
    m_pidIndex.Insert(hashes.pid, Position{row, col});
}

ScanEngine::EntryFacts ScanEngine::FactsOf(const LoginRecord& rec) {
    return {{IndexHash(rec.Pid, rec.Machine), EntryIndex::HashOf(rec.Pid)},
            rec.Status == kStale,
            rec.Pid == kErrorText,
            rec.Pid.isEmpty()};
}

void ScanEngine::RebuildIndex() {
    Q_ASSERT(!m_indexCarried);
    ClearIndex();
    IndexGrid(m_entryIndex, m_pidIndex);
}

void ScanEngine::IndexGrid(EntryIndex& entries, EntryIndex& pids) const {
    for (int row = 1; row < MatrixRowCount(); ++row) {
        for (int col = 0; col < MatrixLayout::kColumnCount; col += MatrixLayout::kGroupWidth) {
            // Past the entry cursor a rebuild writing over the last one finds old entries.
            if (m_reuse && row == MatrixRowCount() - 1 && col >= m_entryCursor) break;
            const QString pid = CellText(row, col + MatrixLayout::kPidOffset);
            if (pid.isEmpty()) continue;
            entries.Insert(IndexHash(pid, CellText(row, col + MatrixLayout::kMachineOffset)),
                           Position{row, col});
            pids.Insert(EntryIndex::HashOf(pid), Position{row, col});
        }
    }
}

bool ScanEngine::IndexMatchesGrid() const {
    EntryIndex entries;
    EntryIndex pids;
    IndexGrid(entries, pids);
    return entries.SameAs(m_entryIndex) && pids.SameAs(m_pidIndex);
}

bool ScanEngine::FindSessionEntry(const QString& pid, const QString& machine, int& row, int& col) {
    return FindIndexed(IndexHash(pid, machine), pid, machine, row, col);
}

bool ScanEngine::FindIndexed(quint64 hash, const QString& pid, const QString& machine, int& row,
                             int& col) {
    const auto holdsEntry = [&](const Position& p) {
        return CellText(p.row, p.col + MatrixLayout::kPidOffset)
                       .compare(pid, Qt::CaseInsensitive) == 0 &&
               CellText(p.row, p.col + MatrixLayout::kMachineOffset)
                       .compare(machine, Qt::CaseInsensitive) == 0;
    };
    if (m_indexCarried) return FindCarried(hash, holdsEntry, row, col);
    return FindVerified(m_entryIndex, hash, holdsEntry, row, col);
}

template <typename HoldsEntry>
bool ScanEngine::FindCarried(quint64 hash, const HoldsEntry& holdsEntry, int& row, int& col) const {
    // The last layout's entry of the hash counts once its place has been reached, and only if
    // the entry there is still one of that text (it may have moved, or left).
    const int placed = PlacedEntries();
    const Position* found = nullptr;
    for (const Position* p : {m_placedAnew.Find(hash), m_entryIndex.Find(hash)}) {
        if (!p || EntryPosition(p->row, p->col) >= placed || !holdsEntry(*p)) continue;
        if (!found || EntryPosition(p->row, p->col) < EntryPosition(found->row, found->col))
            found = p;
    }
    if (!found) return false;
    row = found->row;
    col = found->col;
    return true;
}

bool ScanEngine::FindEntryByPid(const QString& pid, int& row, int& col) {
    Q_ASSERT(!m_indexCarried);
    return FindVerified(
        m_pidIndex, EntryIndex::HashOf(pid),
        [&](const Position& p) {
            return CellText(p.row, p.col + MatrixLayout::kPidOffset)
                       .compare(pid, Qt::CaseInsensitive) == 0;
        },
        row, col);
}

template <typename HoldsEntry>
bool ScanEngine::FindVerified(const EntryIndex& index, quint64 hash, const HoldsEntry& holdsEntry,
                              int& row, int& col) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Position* p = index.Find(hash);
        if (!p) return false;
        if (holdsEntry(*p)) {
            row = p->row;
            col = p->col;
            return true;
        }
        RebuildIndex();  // rows were moved since the entry was written
    }
    return false;
}
