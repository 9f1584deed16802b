#include "scan/ScanEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <utility>

#include "app/SettingsKeys.h"
#include "app/Timestamp.h"
#include "controls/GridModel.h"
#include "controls/GridView.h"
#include "exec/CommandLauncher.h"
#include "exec/CommandLine.h"
#include "platform/BlockingWait.h"
#include "platform/Prompter.h"
#include "platform/ToolOutputFile.h"
#include "platform/WaitCursor.h"
#include "scan/HistoryLog.h"
#include "scan/MatrixPresenter.h"
#include "scan/ScanEngineTexts.h"

// ScanEngine: its settings, statuses and timers, the scan cycle, the report and the count of
// failures. Beside it: ScanEngineEvents (applying events, finding entries), ScanEngineRemoval
// (the removal pass), ScanEngineRebuild (the matrix rebuilt in login order), ScanEngineBlink.

namespace {

const QString kScanningText = QStringLiteral("\nScanning");
const QString kPausedText = QStringLiteral("Scanner\nPaused");
const QString kDatabaseUsersPrefix = QStringLiteral("Nbr of Active Users in\nthe Database: ");

}  // namespace

using namespace ScanEngineTexts;

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

ScanEngine::ScanEngine(GridModel& matrix, GridView* view, CommandLauncher& launcher,
                       HistoryLog& history, const Clock& clock, Prompter& prompter,
                       QString workingDirectory, QObject* parent)
    : QObject(parent),
      m_grid(matrix),
      m_view(view),
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
    if (m_engine.m_view) m_engine.m_view->HoldTimers(true);
}

ScanEngine::CommandScope::~CommandScope() {
    if (m_engine.m_view) m_engine.m_view->HoldTimers(false);
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
            if (m_shownLastRow >= 0 && m_view)
                m_view->EnsureVisible(m_shownLastRow, m_shownLastCol);
            SetStatus(ScanStatus::SessionCount, QString::number(m_matrixMap.GetCount()));
        } else {
            // The window keeps showing the old matrix until the new one is complete.
            if (m_view) m_view->SetRedraw(false);
            if (m_presenter) m_presenter->MatrixChangeStarting();
            RemoveDepartedSessions();
            RebuildMatrix();
            FinishMatrixRebuild();
            if (m_view) m_view->SetRedraw(true, true);
            if (m_pendingVisibleRow >= 0 && m_view)
                m_view->EnsureVisible(m_pendingVisibleRow, m_pendingVisibleCol);
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
            e.machine = QString::fromLatin1(kFailBrokerConnectText);
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
