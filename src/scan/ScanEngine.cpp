#include "scan/ScanEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <utility>

#include "app/SettingsKeys.h"
#include "app/Timestamp.h"
#include "controls/GridCtrl.h"
#include "exec/CommandLauncher.h"
#include "exec/CommandLine.h"
#include "platform/BlockingWait.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "platform/ToolOutputFile.h"
#include "platform/WaitCursor.h"
#include "scan/HistoryLog.h"
#include "scan/LoginOrder.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"

namespace {

const QString kScanningText = QStringLiteral("\nScanning");
const QString kPausedText = QStringLiteral("Scanner\nPaused");
const QString kDatabaseUsersPrefix = QStringLiteral("Nbr of Active Users in\nthe Database: ");
const QString kCaptionPaused = QStringLiteral("Vantrace Logging PAUSED");
const QString kCaptionOn = QStringLiteral("Vantrace Logging ON");
const QString kAllLogging = QStringLiteral("_ALL_LOGGING_");
const QString kRecTag = QString::fromLatin1(HistoryLog::kRecTag);
const QString kAddTag = QString::fromLatin1(HistoryLog::kAddTag);
const QString kDelTag = QString::fromLatin1(HistoryLog::kDelTag);
const QString kFailedToRespond = QStringLiteral("Failed to Respond");
const QString kStale = QString::fromLatin1(kStaleStatus);
const QString kErrorText = QString::fromLatin1(kErrorPid);
const QString kPlaceholder = QString::fromLatin1(kPlaceholderPid);

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

// The first "_" of a stored date-time back to a blank.
QString Unstore(QString datetime) {
    const qsizetype us = datetime.indexOf(QLatin1Char('_'));
    if (us >= 0) datetime[us] = QLatin1Char(' ');
    return datetime;
}

QString Store(QString datetime) {
    const qsizetype blank = datetime.indexOf(QLatin1Char(' '));
    if (blank >= 0) datetime[blank] = QLatin1Char('_');
    return datetime;
}

quint64 IndexHash(const QString& pid, const QString& machine) {
    return EntryIndex::HashOf(pid, &machine);
}

}  // namespace

ScanSettings ScanSettings::Load(const AppSettings& s) {
    ScanSettings out;
    out.broker = s.Text(Setting::Broker);
    out.adminUserId = s.Text(Setting::AdminUserId);
    out.adminPassword = s.Password();
    out.interval = s.Int(Setting::Interval);
    out.filters.blankUserids = s.Flag(Setting::FilterBlankUserids);
    out.filters.ownSession = s.Flag(Setting::FilterQuorvatelUserid);
    out.filters.staleUserids = s.Flag(Setting::FilterStaleUserids);
    return out;
}

ScanEngine::ScanEngine(CGridCtrl& grid, CommandLauncher& launcher, HistoryLog& history,
                       const Clock& clock, Prompter& prompter, QString workingDirectory,
                       QObject* parent)
    : QObject(parent),
      m_grid(grid),
      m_launcher(launcher),
      m_history(history),
      m_clock(clock),
      m_prompter(prompter),
      m_workingDirectory(std::move(workingDirectory)) {
    m_status[ScanStatus::SessionCount] = QStringLiteral("0");
    m_status[ScanStatus::Scanner] = QStringLiteral("Status");
    m_status[ScanStatus::DatabaseUsers] = QStringLiteral("Number of Users in Database < unknown >");
    m_status[ScanStatus::WatchedPid] = QStringLiteral("Pid");
    m_status[ScanStatus::WatchedUser] = QStringLiteral("UserId");
    m_status[ScanStatus::WatchedMachine] = QStringLiteral("Machine");
    m_status[ScanStatus::WatchedDateTime] = QStringLiteral("DateTime");
    m_status[ScanStatus::WatchCaption] = QStringLiteral("Vantrace Logging Status");

    connect(&m_scanTimer, &QTimer::timeout, this, &ScanEngine::OnScanTimer);
    connect(&m_watchTimer, &QTimer::timeout, this, &ScanEngine::OnWatchTimer);
    connect(&m_errorTimer, &QTimer::timeout, this, &ScanEngine::OnErrorTimer);
}

ScanEngine::~ScanEngine() = default;

ScanEngine::CommandScope::CommandScope(ScanEngine& e) : m_engine(e) {
    ++m_engine.m_busy;
    m_engine.m_grid.HoldTimers(true);
}

ScanEngine::CommandScope::~CommandScope() {
    m_engine.m_grid.HoldTimers(false);
    --m_engine.m_busy;
}

void ScanEngine::SetStatus(ScanStatus which, const QString& text) {
    if (m_status.value(which) == text && m_status.contains(which)) return;
    m_status[which] = text;
    emit StatusChanged(which, text);
}

QString ScanEngine::ReportPath() const {
    return QDir(m_workingDirectory).filePath(QString::fromLatin1(UserListReport::kFileName));
}

// ---------------------------------------------------------------- scanner control

void ScanEngine::PauseScanner() {
    m_scanTimer.stop();
    SetStatus(ScanStatus::Scanner, kPausedText);
    emit ScannerStateChanged(false);
}

void ScanEngine::ResumeScanner(quint32 seconds) {
    emit ScannerStateChanged(true);
    SetStatus(ScanStatus::Scanner, kScanningText);
    // No interval would mean back-to-back cycles; a timer can't hold more than 24 days.
    const quint32 clamped = std::clamp<quint32>(seconds, 1, 2000000);
    m_scanTimer.start(static_cast<int>(clamped) * 1000);
}

void ScanEngine::SuspendForCommand() {
    PauseScanner();
    if (m_traceActive) StopWatchBlink(true);
    if (ErrorBlinkActive()) StopErrorBlink(true);
}

void ScanEngine::EndSuspension() {
    if (m_traceActive) StartWatchBlink();
    if (ErrorBlinkActive()) StartErrorBlink();
    RunScanCycle();
}

void ScanEngine::StartScanning() {
    ResetMatrixGrid();
    SetStatus(ScanStatus::Scanner, kPausedText);
    if (!m_settings.HasCredentials() || m_settings.interval == 0) {
        m_scanEnabled = false;
        emit SettingsNeeded();
    } else {
        m_scanEnabled = true;
    }
    RunScanCycle();
}

void ScanEngine::On() {
    m_scanEnabled = true;
    if (m_traceActive) StartWatchBlink();
    if (m_errorBlinkActive) StartErrorBlink();
    RunScanCycle();
}

void ScanEngine::Off() {
    PauseScanner();
    m_scanEnabled = false;
    // Only a close request gets here during a cycle: the tool we wait for is ended, and the
    // cycle looks up no more addresses.
    m_lookupsHeld = m_inCycle;
    if (m_toolRunning) m_launcher.Abort();
}

int ScanEngine::RunScanCycle() {
    if (!m_scanEnabled || !m_settings.HasCredentials()) return 0;
    CommandScope busy(*this);
    CommandLauncher::UnattendedScope unattended(m_launcher);
    QElapsedTimer took;
    took.start();
    const auto ended = [&] {
        emit CycleEnded(static_cast<double>(took.nsecsElapsed()) / 1e9,
                        std::exchange(m_cycleAdded, 0), std::exchange(m_cycleRemoved, 0));
    };
    PauseScanner();
    WaitCursor waitCursor;
    const bool nested = m_inCycle;  // the alert's cycle runs inside the one that counted
    m_inCycle = true;
    m_lookupsHeld = false;

    if (RunUserListTool() < 0) {
        m_inCycle = nested;
        ResumeScanner(m_settings.interval);
        ended();
        return 0;
    }
    bool compared = false;
    if (ParseUserListReport() > 0) {
        if (MatrixUnchanged()) {
            // Nothing to write or repaint; the view still returns to the last entry.
            if (m_shownLastRow >= 0) m_grid.EnsureVisible(m_shownLastRow, m_shownLastCol);
            SetStatus(ScanStatus::SessionCount, QString::number(m_matrixMap.GetCount()));
        } else {
            // The window keeps showing the old matrix until the new one is complete.
            m_grid.SetRedraw(false);
            RemoveDepartedSessions();
            RebuildMatrix();
            FinishMatrixRebuild();
            m_grid.SetRedraw(true, true);
            if (m_pendingVisibleRow >= 0)
                m_grid.EnsureVisible(m_pendingVisibleRow, m_pendingVisibleCol);
            m_shownLastRow = m_pendingVisibleRow;
            m_shownLastCol = m_pendingVisibleCol;
            m_pendingVisibleRow = m_pendingVisibleCol = -1;
            m_shownValid = true;
            m_shownChanges = m_grid.ChangeCount();
            m_shownToday = m_todayNumber;
        }
        compared = true;
        emit ScanCounted(true, Status(ScanStatus::SessionCount).toInt());
    }
    BlockingWait::PumpPaint();
    // Lines a failed history write left waiting go as soon as the file takes them again.
    m_history.FlushPending();
    m_inCycle = nested;
    ResumeScanner(m_settings.interval);
    ended();
    return compared ? 1 : 0;
}

// ---------------------------------------------------------------- the report

int ScanEngine::RunUserListTool() {
    // Only a report this run wrote is read: one left from before is no answer.
    const ToolOutputFile report(ReportPath());
    // The values go to the tool as they are, one argument each; the line is what messages show.
    LaunchRequest request;
    request.program = QString::fromLatin1(kQuslistCommand);
    request.arguments = {QStringLiteral("-b"),   m_settings.broker,     QStringLiteral("-usr"),
                         m_settings.adminUserId, QStringLiteral("-pw"), m_settings.adminPassword,
                         QStringLiteral("-cu")};
    request.commandLine = CommandLine::Join(QStringList{request.program} + request.arguments);
    m_toolRunning = true;
    const LaunchOutcome outcome = m_launcher.Run(request);
    m_toolRunning = false;
    // Ended by a close request: no failure of the Broker.
    if (outcome.rc < 0 && !m_scanEnabled) return outcome.rc;
    if (outcome.rc < 0 || (report.LeftOver() && !report.WrittenByRun())) {
        ApplyEvent(QString::fromLatin1(EventText::kFailedToRespond));
        CountScanFailure();
        return outcome.rc < 0 ? outcome.rc : CommandLauncher::kStartFailed;
    }
    m_ownSessionPid = outcome.pid;
    return outcome.rc;
}

int ScanEngine::ParseUserListReport() {
    m_todayNumber = UserListReport::TodayNumberFrom(CurrentTimestamp(m_clock));
    const UserListReport::Reading r = UserListReport::Read(
        ReportPath(), m_settings.filters, m_ownSessionPid, m_todayNumber, m_scanMap, &m_recall);
    if (!r.activeUsers.isEmpty()) {
        SetStatus(ScanStatus::DatabaseUsers, kDatabaseUsersPrefix + r.activeUsers);
        emit ActiveUsersRead(r.activeUsers);
    }

    switch (r.outcome) {
        case UserListReport::Outcome::CouldNotConnect: {
            // Applied as a record: the source's text must not be read as more fields.
            EventRecord e;
            e.verb = QStringLiteral("REC");
            e.pid = kErrorText;
            e.name = r.failingSource;
            e.machine = QStringLiteral("Fail Broker Connect");
            e.datetime = CurrentTimestamp(m_clock);
            Apply(e);
            CountScanFailure();
            return 0;
        }
        case UserListReport::Outcome::NoSeparator:
            ApplyEvent(QString::fromLatin1(EventText::kInvalidCredentials));
            return r.linesCounted;
        case UserListReport::Outcome::OpenFailed:
            // The tool ended without a report: the Broker did not answer. Counted like a
            // failed run, and scanning goes on.
            ApplyEvent(QString::fromLatin1(EventText::kFailedToRespond));
            CountScanFailure();
            return 0;
        case UserListReport::Outcome::ReadError:
            m_prompter.Plain(QStringLiteral("Unable to read: ") + ReportPath());
            return 0;
        case UserListReport::Outcome::Read:
            break;
    }
    return r.linesCounted;
}

void ScanEngine::CountScanFailure() {
    ++m_contigFailCount;
    emit ScanCounted(false, 0);
    if (m_contigFailCount == m_contigFailLimit) {
        // Reset before the alert: the alert starts a new cycle at once, and a failure of
        // that cycle belongs to the next count.
        const int tries = m_contigFailCount;
        m_contigFailCount = 0;
        if (m_alertHook) m_alertHook(tries);
    }
}

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
    if (!m_batch) m_grid.RedrawRow(row);
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
    m_grid.EnsureVisible(row, col);
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
        if (e.pid.contains(kErrorText)) {
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
        if (!e.pid.contains(kErrorText) && e.pid != kPlaceholder) ++m_cycleRemoved;
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

void ScanEngine::NoteStaleDue(const LoginRecord& fresh) {
    // The report's day may be read otherwise than the stored date-time's.
    if (fresh.Status != kStale && UserListReport::DayNumber(fresh.DateTime) < m_todayNumber)
        m_staleDue = true;
}

void ScanEngine::MarkStaleIfOld(const QString& datetime, QString& status) const {
    if (UserListReport::DayNumber(datetime) < m_todayNumber) status = kStale;
}

void ScanEngine::PlayDepartingBlinks() {
    if (m_departing.empty()) return;
    const std::vector<Departing> entries = std::move(m_departing);
    m_departing.clear();
    if (!m_presenter) return;
    // The cycle keeps the grid from drawing while it works; the blink must reach the
    // screen, so the old matrix is shown until it is over. The wait keeps user input out,
    // and the timers wait with it.
    CommandScope busy(*this);
    const bool drawing = m_grid.GetRedraw();
    if (!drawing) m_grid.SetRedraw(true);
    for (int n = 0; n < kDepartingBlinks; ++n) {
        for (const Departing& d : entries) m_presenter->ErrorBlink(d.row, d.col);
        m_presenter->ShowFor(2 * kDepartingBlinkMs);
    }
    if (!drawing) m_grid.SetRedraw(false);
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
    m_grid.ClearOverlays();
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

// ---------------------------------------------------------------- blinking

void ScanEngine::StartWatchBlink() {
    m_watchTimer.start(kBlinkPeriodMs);
}

void ScanEngine::StartErrorBlink() {
    m_errorTimer.start(kBlinkPeriodMs);
}

void ScanEngine::StopWatchBlink(bool leaveHighlighted) {
    m_watchTimer.stop();
    int row = 0;
    int col = 0;
    bool session = false;
    if (leaveHighlighted && m_presenter && FindWatchedEntry(row, col, session))
        m_presenter->WatchedHighlight(row, col);
}

bool ScanEngine::FindWatchedEntry(int& row, int& col, bool& session) const {
    const QString pid = WatchedPidLabel();
    const QString user = Status(ScanStatus::WatchedUser);
    const QString machine = Status(ScanStatus::WatchedMachine);
    using namespace MatrixLayout;
    for (row = 1; row < m_grid.GetRowCount(); ++row) {
        for (col = 0; col < kColumnCount; col += kGroupWidth) {
            const QString cellPid = CellText(row, col + kPidOffset);
            if (pid == kPlaceholder && cellPid == kPlaceholder) {
                session = false;
                return true;
            }
            if (!machine.isEmpty() && CellText(row, col + kMachineOffset) == machine &&
                CellText(row, col + kUserOffset) == user && cellPid == pid) {
                session = true;
                return true;
            }
        }
    }
    return false;
}

void ScanEngine::StopErrorBlink(bool leaveHighlighted) {
    m_errorTimer.stop();
    if (leaveHighlighted && m_errorBlinkActive && m_presenter)
        m_presenter->ErrorHighlight(m_errorRow, m_errorCol);
}

void ScanEngine::BlinkTracedEntry() {
    int row = 0;
    int col = 0;
    bool session = false;
    if (!FindWatchedEntry(row, col, session)) return;
    if (session) {
        m_watchedRow = row;
        m_watchedCol = col + MatrixLayout::kMachineOffset;
    }
    if (m_presenter) m_presenter->WatchedBlink(row, col);
}

void ScanEngine::BlinkErrorEntries() {
    m_errorBlinkActive = false;
    using namespace MatrixLayout;
    for (int row = 1; row < m_grid.GetRowCount(); ++row)
        for (int col = 0; col < kColumnCount; col += kGroupWidth)
            if (CellText(row, col + kPidOffset).contains(kErrorText)) {
                if (m_presenter) m_presenter->ErrorBlink(row, col);
                m_errorBlinkActive = true;
            }
    // Nothing left to blink: no need to wake up twice a second.
    if (!m_errorBlinkActive) m_errorTimer.stop();
}

void ScanEngine::OnScanTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    PauseScanner();
    if (m_scanEnabled) RunScanCycle();
    BlockingWait::PumpPaint();
}

void ScanEngine::OnWatchTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    if (m_traceActive) BlinkTracedEntry();
    if (m_traceActive && m_watchedRow > 0 && m_grid.GetRowCount() == 1) {
        m_watchedRow = 0;
        m_watchedCol = 0;
    }
    BlockingWait::PumpPaint();
}

void ScanEngine::OnErrorTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    BlinkErrorEntries();
    BlockingWait::PumpPaint();
}
