#include "scan/ScanEngine.h"

#include <QElapsedTimer>
#include <optional>
#include <utility>

#include "controls/GridModel.h"
#include "controls/GridView.h"
#include "platform/BlockingWait.h"
#include "scan/HistoryLog.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"
#include "scan/ScanEngineTexts.h"

// ScanEngine: the removal pass (departed sessions taken out, their blink played) and the
// matrix emptied, or kept to be written over, before the rebuild.

namespace {

const QString kCaptionPaused = QStringLiteral("Vantrace Logging PAUSED");

// Pending paints are delivered at most this often during the passes over many sessions:
// often enough to keep the window alive, seldom enough not to repaint a half-built matrix
// over and over.
constexpr qint64 kPumpEveryMs = 100;
constexpr unsigned kPumpClockEvery = 256;  // sessions between two looks at the clock

QElapsedTimer& PumpClock() {
    static QElapsedTimer t;
    if (!t.isValid()) t.start();
    return t;
}

// A date-time as stored: its first blank an "_".
QString Store(QString datetime) {
    const qsizetype blank = datetime.indexOf(QLatin1Char(' '));
    if (blank >= 0) datetime[blank] = QLatin1Char('_');
    return datetime;
}

}  // namespace

using namespace ScanEngineTexts;

void ScanEngine::PlayDepartingBlinks() {
    if (m_departing.empty()) return;
    const std::vector<Departing> entries = std::move(m_departing);
    m_departing.clear();
    if (!m_presenter) return;
    // The cycle keeps the grid from drawing while it works; the blink must reach the
    // screen, so the old matrix is shown until it is over. The wait keeps user input out,
    // and the timers wait with it.
    CommandScope busy(*this);
    const bool drawing = !m_view || m_view->GetRedraw();
    if (!drawing) m_view->SetRedraw(true);
    for (int n = 0; n < kDepartingBlinks; ++n) {
        for (const Departing& d : entries) m_presenter->ErrorBlink(d.row, d.col);
        m_presenter->ShowFor(2 * kDepartingBlinkMs);
    }
    if (!drawing) m_view->SetRedraw(false);
}

void ScanEngine::ResetMatrixGrid() {
    PlayDepartingBlinks();
    if (m_presenter)
        m_presenter->ResetMatrixGrid();
    else
        MatrixLayout::ResetToHeadings(m_grid);
    m_entryCursor = 0;
    ClearIndex();
    m_looseEntries.clear();
    m_pendingVisibleRow = m_pendingVisibleCol = -1;
    m_reuse = false;
    m_shownValid = false;
    m_shownEntries = 0;
    m_stalePainted.clear();
}

bool ScanEngine::MatrixUnchanged() {
    if (!m_shownValid || m_grid.ChangeCount() != m_shownChanges || !m_looseEntries.empty() ||
        m_todayNumber != m_shownToday || m_scanMap.GetCount() != m_matrixMap.GetCount() ||
        !m_addressPending.isEmpty() ||  // skipped address lookups are made by a rebuild
        m_staleDue)                     // so are stale marks the last one left to make
        return false;
    // Keys that were found equal and have not changed since need no second look.
    if (InStep(m_scanMap.KeysVersion())) return true;
    // Failure entries and the placeholder go through the removal pass.
    for (const auto& [key, rec] : m_matrixMap)
        if (rec.Pid == kErrorText || IsPlaceholder(key) || !m_scanMap.Contains(key)) return false;
    NoteStep(true);
    return true;
}

void ScanEngine::BeginMatrixRebuild() {
    // Whichever way the grid is rebuilt, the departing entries blink on it first.
    PlayDepartingBlinks();
    if (!m_shownValid || m_grid.ChangeCount() != m_shownChanges) {
        ResetMatrixGrid();
        return;
    }
    // As if emptied: the rebuild starts at the first entry, and what an emptied grid drops
    // goes here too. (The rebuild empties the indices, unless it goes on from the last
    // layout.)
    if (m_view) m_view->ClearOverlays();
    m_entryCursor = 0;
    m_looseEntries.clear();
    m_pendingVisibleRow = m_pendingVisibleCol = -1;
    m_reuse = true;
    m_reuseRows = 1;
}

void ScanEngine::FinishMatrixRebuild() {
    const int rows = MatrixRowCount();
    const int entries = PlacedEntries();
    if (m_reuse) {
        m_reuse = false;
        // After the last entry the grid ends as an emptied one would: the rest of its row
        // as new, no rows below.
        for (int col = m_entryCursor; rows > 1 && col < MatrixLayout::kColumnCount;
             col += MatrixLayout::kGroupWidth) {
            if (EntryPosition(rows - 1, col) >= m_shownEntries) break;
            for (int k = 0; k < MatrixLayout::kGroupWidth; ++k) m_grid.ResetCell(rows - 1, col + k);
        }
        if (m_grid.GetRowCount() > rows) m_grid.SetRowCount(rows);
    }
    m_stalePainted.resize(static_cast<size_t>(entries), false);
    m_shownEntries = entries;
}

// ---------------------------------------------------------------- the passes

void ScanEngine::PumpPaintThrottled() {
    // Reading the clock costs more than a session's step of a pass: it is read only now and
    // then.
    if (++m_pumpCalls % kPumpClockEvery != 0) return;
    QElapsedTimer& t = PumpClock();
    if (t.elapsed() - m_lastPumpMs < kPumpEveryMs) return;
    m_lastPumpMs = t.elapsed();
    BlockingWait::PumpPaint();
}

void ScanEngine::SyncEntry(int row, int col) {
    using namespace MatrixLayout;
    const QString pid = CellText(row, col + kPidOffset);
    if (pid.isEmpty()) return;
    const QString machine = CellText(row, col + kMachineOffset);
    const QString key = LoginRecord::MakeKey(machine, pid);
    if (m_matrixMap.Contains(key)) return;
    LoginRecord rec;
    rec.Pid = pid;
    rec.UserId = CellText(row, col + kUserOffset);
    rec.Machine = machine;
    rec.DateTime = Store(CellText(row, col + kDateTimeOffset));
    m_matrixMap.SetAt(key, rec);
}

void ScanEngine::SyncMatrixMapFromGrid() {
    using namespace MatrixLayout;
    // Every entry a rebuild wrote has its record in the matrix map, so only the entries
    // written since need a look, as long as they are still where they were written; after a
    // heading-click sort the whole grid is walked.
    bool moved = false;
    for (const LooseEntry& e : m_looseEntries)
        if (CellText(e.row, e.col + kPidOffset) != e.pid ||
            CellText(e.row, e.col + kMachineOffset) != e.machine)
            moved = true;
    if (!moved) {
        for (const LooseEntry& e : m_looseEntries) SyncEntry(e.row, e.col);
        return;
    }
    for (int row = 1; row < m_grid.GetRowCount(); ++row)
        for (int col = 0; col < kColumnCount; col += kGroupWidth) SyncEntry(row, col);
}

void ScanEngine::RemoveDepartedSessions() {
    SyncMatrixMapFromGrid();
    const QString userLabel = Status(ScanStatus::WatchedUser);
    const QString machineLabel = Status(ScanStatus::WatchedMachine);

    // When the shown sessions were the report's before it was read again, the sessions gone
    // are those the reading dropped, and the new ones those it added: no map is walked.
    // (A grid changed since the last rebuild is laid out afresh, and so are these passes.)
    m_followReading = InStep(m_scanMap.RefillFrom()) && m_scanMap.RefillChangesKeys() &&
                      m_looseEntries.empty() && !m_traceActive && m_shownValid &&
                      m_grid.ChangeCount() == m_shownChanges;
    // Departed sessions are taken in key order, so their lines come out the same every time.
    QStringList departed;
    if (m_followReading) {
        departed = m_scanMap.RefillDropped();
    } else {
        for (const auto& [key, rec] : m_matrixMap) {
            PumpPaintThrottled();
            if (rec.Pid == kErrorText) m_contigFailCount = 0;
            if (IsPlaceholder(key)) continue;
            if (!m_scanMap.Contains(key)) departed.append(key);
        }
    }
    departed.sort();
    // A line for each session gone: the history file stays open from one to the next.
    std::optional<HistoryLog::Hold> lines(std::in_place, m_history);
    for (const QString& key : departed) {
        const auto node = ForgetShown(key);  // the record lives on in the node meanwhile
        if (node.empty()) continue;
        const LoginRecord& rec = node.mapped();
        // Applied as a record: report fields holding "NAME=" or "DT=" stay what they are.
        EventRecord e;
        e.verb = QStringLiteral("DEL");
        e.pid = rec.Pid;
        e.name = rec.UserId;
        e.machine = rec.Machine;
        e.status = rec.Status;
        Apply(e);
        if (m_traceActive && userLabel == rec.UserId && machineLabel == rec.Machine) {
            m_history.WriteHistoryLine(HistoryLog::SessionLine(
                kRecTag, rec.Pid, userLabel, machineLabel, Unstore(rec.DateTime),
                QStringLiteral("   - vantrace PAUSED\n")));
            SetStatus(ScanStatus::WatchCaption, kCaptionPaused);
        }
    }

    if (!m_traceActive) {
        for (const QString& key : std::exchange(m_placeholders, {})) {
            const auto node = ForgetShown(key);
            if (node.empty()) continue;
            EventRecord e;
            e.verb = QStringLiteral("DEL");
            e.pid = node.mapped().Pid;
            e.name = node.mapped().UserId;
            e.machine = node.mapped().Machine;
            Apply(e);
        }
    }
    lines.reset();  // before the departing entries blink
    BeginMatrixRebuild();
}
