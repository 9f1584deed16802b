#include "debuglog/VantraceController.h"

#include <QDir>

#include "app/SettingsKeys.h"
#include "app/Timestamp.h"
#include "app/TraceLog.h"
#include "exec/CommandLauncher.h"
#include "platform/Prompter.h"
#include "platform/RegularFile.h"
#include "platform/ToolOutputFile.h"
#include "platform/WaitCursor.h"
#include "scan/EventRecord.h"
#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"
#include "scan/MatrixLayout.h"
#include "scan/ScanEngine.h"
#include "scan/UserListReport.h"

namespace {

const QString kRecTag = QString::fromLatin1(HistoryLog::kRecTag);
const QString kPlaceholder = QString::fromLatin1(kPlaceholderPid);
const QString kAllTypesChoice = QStringLiteral("(ALL)");
// The log check reads this much of the log: the success line comes first.
constexpr qint64 kMaxLogBytes = 1024 * 1024;

// The first "_" of a stored date-time back to a blank.
QString Unstore(QString datetime) {
    const qsizetype us = datetime.indexOf(QLatin1Char('_'));
    if (us >= 0) datetime[us] = QLatin1Char(' ');
    return datetime;
}

QString Tail(const QString& text) {
    return QStringLiteral("   - vantrace ") + text + QLatin1Char('\n');
}

}  // namespace

VantraceController::VantraceController(ScanEngine& engine, CommandLauncher& launcher,
                                       HistoryLog& history, const Clock& clock, Prompter& prompter,
                                       AppSettings& settings, QString workingDirectory,
                                       DialogRunner runDialog, QObject* parent)
    : QObject(parent),
      m_engine(engine),
      m_launcher(launcher),
      m_history(history),
      m_clock(clock),
      m_prompter(prompter),
      m_settings(settings),
      m_workingDirectory(std::move(workingDirectory)),
      m_runDialog(std::move(runDialog)) {}

bool VantraceController::Active() const {
    return m_engine.TraceActive();
}

QString VantraceController::LogPath() const {
    return QDir::toNativeSeparators(
        QDir(m_workingDirectory).filePath(QString::fromLatin1(kLogFileName)));
}

// ---------------------------------------------------------------- the dialog

void VantraceController::OpenFromMenu() {
    m_session.userId.clear();
    m_session.machine.clear();
    Open();
}

void VantraceController::Open() {
    m_engine.PauseScanner();
    const bool active = m_engine.TraceActive();
    if (active) m_engine.StopWatchBlink(true);

    const std::optional<VantraceChoice> choice =
        m_runDialog ? m_runDialog(m_session.machine, m_session.userId, active) : std::nullopt;
    if (!choice) {
        if (m_engine.TraceActive()) m_engine.StartWatchBlink();
        m_engine.RunScanCycle();
        return;
    }
    Commit(*choice);
}

void VantraceController::Commit(const VantraceChoice& choice) {
    WaitCursor wait;
    QString machine = choice.machine;
    // The all-clients watch shows this in place of a machine; asking for it again means all
    // clients, never a machine of that name.
    if (machine.contains(QLatin1String(kAllLogging))) {
        machine.clear();
        m_session.machine.clear();
    }
    m_connection = {m_settings.Text(Setting::Broker), m_settings.Text(Setting::AdminUserId),
                    m_settings.Password()};
    m_logLevel = choice.logLevel;
    m_transTypes =
        choice.transTypes.contains(kAllTypesChoice) ? QStringLiteral("ALL") : choice.transTypes;

    if (!choice.start) {
        // One OFF request, for the machine the dialog names (none: all clients). A watch
        // ends with it, whatever it watched.
        const bool all = machine.isEmpty();
        Target target;
        target.pid =
            all ? kPlaceholder : (m_session.machine == machine ? m_session.pid : QString());
        target.userId = all ? QString::fromLatin1(kAllClientsUser) : choice.userId;
        target.machine = all ? QString::fromLatin1(kAllLogging) + m_logLevel : machine;
        const bool active = m_engine.TraceActive();
        if (active) {
            m_engine.StopWatchBlink(false);
            const Target shown = EndWatch();
            // The watched target's line names it as the group showed it.
            if (all ? shown.machine.startsWith(QLatin1String(kAllLogging))
                    : shown.machine == machine)
                target = shown;
        }
        SwitchOff(kCommitProgram, target, machine);
        if (active)
            Forget();
        else
            m_watchedKey.clear();
        m_engine.RunScanCycle();
        return;
    }

    const bool wasActive = m_engine.TraceActive();
    const RunResult run = RunTool(kCommitProgram, QStringLiteral("ON"), machine);
    if (!run.launched) {
        // Nothing reached the Broker: whatever ran before goes on as it was.
        const CCellID watched = m_engine.WatchedEntry();
        m_engine.SetErrorEntry(watched.row, watched.col);
        m_engine.ApplyEvent(QString::fromLatin1(EventText::kLoggingFailed));
        if (wasActive)
            m_engine.StartWatchBlink();
        else
            m_watchedKey.clear();
        ResumeIfScanning();
        return;
    }
    if (!run.confirmed) {
        Tell(QString::fromLatin1(kNoResponse), true);
        m_watchedKey.clear();
        m_engine.SetTraceActive(false);
        if (wasActive) ShowOff();
        ResumeIfScanning();
        return;
    }

    m_engine.SetTraceActive(true);
    m_engine.SetLogLevel(m_logLevel);
    m_requestedMachine = machine;
    const QString now = CurrentTimestamp(m_clock);
    if (machine.isEmpty() || m_session.machine != machine)
        StartNewTarget(choice, machine, now);
    else
        StartSameEntry(choice, now);
    m_engine.StartWatchBlink();
    m_engine.RunScanCycle();
}

void VantraceController::StartNewTarget(const VantraceChoice& choice, const QString& machine,
                                        const QString& now) {
    bool on = true;
    if (machine.isEmpty()) {
        m_session.pid = kPlaceholder;
        m_session.userId = QString::fromLatin1(kAllClientsUser);
        m_session.machine = QString::fromLatin1(kAllLogging) + m_logLevel;
        m_session.dateTime = now;
    } else {
        m_session.machine = machine;
        if (!choice.userId.isEmpty()) m_session.userId = choice.userId;
        // A pid kept from an earlier click belongs to another session: the user's own is
        // looked up among those logged on.
        m_session.pid.clear();
        m_session.dateTime.clear();
        on = false;
        for (const auto& [key, rec] : m_engine.MatrixMap()) {
            if (rec.Pid == kPlaceholder || rec.Pid == QLatin1String(kErrorPid)) continue;
            if (rec.UserId.compare(m_session.userId, Qt::CaseInsensitive) == 0 &&
                rec.Machine.compare(machine, Qt::CaseInsensitive) == 0) {
                m_session.pid = rec.Pid;
                m_session.dateTime = now;
                on = true;
                break;
            }
        }
    }

    const CCellID watched = m_engine.WatchedEntry();
    m_engine.SetErrorEntry(watched.row, watched.col - MatrixLayout::kMachineOffset);
    m_engine.ApplyEvent(
        EventText::AddPlaceholder(m_session.pid, m_session.userId, m_session.machine));

    const Target target{m_session.pid, m_session.userId, m_session.machine};
    const QString datetime = m_session.dateTime.isEmpty() ? now : Unstore(m_session.dateTime);
    if (on)
        WriteLine(target, datetime, Tail(QStringLiteral("ON ") + m_logLevel));
    else
        WriteLine(target, datetime,
                  Tail(QStringLiteral("READY WAIT ON USER LOGIN: ") + choice.userId));
    ShowWatched(QString::fromLatin1(on ? kCaptionOn : kCaptionWaiting));
}

void VantraceController::StartSameEntry(const VantraceChoice& choice, const QString& now) {
    // The right-clicked session: its pid and user id came from its cells.
    if (!choice.userId.isEmpty() && choice.userId != m_session.userId)
        m_session.userId = choice.userId;
    const CCellID watched = m_engine.WatchedEntry();
    m_engine.SetErrorEntry(watched.row, watched.col - MatrixLayout::kMachineOffset);
    WriteLine({m_session.pid, m_session.userId, m_session.machine}, Unstore(m_session.dateTime),
              Tail(QStringLiteral("ON ") + m_logLevel));
    m_session.dateTime = now;
    ShowWatched(QString::fromLatin1(kCaptionOn));
}

// ---------------------------------------------------------------- stopping

void VantraceController::Stop() {
    m_engine.StopWatchBlink(false);
    WaitCursor wait;
    if (m_engine.TraceActive()) SwitchOff(kStopProgram, EndWatch(), m_requestedMachine);
    Forget();
}

VantraceController::Target VantraceController::EndWatch() {
    m_engine.BlinkTracedEntry();
    // What the group shows is what is watched: a new session of the user has replaced the
    // pid since.
    const Target shown = Shown();
    ShowOff();
    return shown;
}

void VantraceController::Forget() {
    m_watchedKey.clear();
    m_session = WatchedSession{};
    m_requestedMachine.clear();
    m_engine.SetTraceActive(false);
}

void VantraceController::StopAtExit() {
    CommandLauncher::UnattendedScope quiet(m_launcher);
    Stop();
}

void VantraceController::Tell(const QString& text, bool warning) {
    if (m_launcher.Unattended())
        m_prompter.Notice(text);
    else if (warning)
        m_prompter.Warning(text);
    else
        m_prompter.Plain(text);
}

VantraceController::Target VantraceController::Shown() const {
    Target t;
    t.pid = m_engine.Status(ScanStatus::WatchedPid).section(QLatin1Char(' '), 0, 0);
    t.userId = m_engine.Status(ScanStatus::WatchedUser);
    t.machine = m_engine.Status(ScanStatus::WatchedMachine);
    return t;
}

void VantraceController::SwitchOff(const char* program, const Target& target,
                                   const QString& requestMachine) {
    const RunResult run = RunTool(program, QStringLiteral("OFF"), requestMachine);
    const QString now = CurrentTimestamp(m_clock);
    if (run.launched && run.confirmed) {
        WriteLine(target, now, Tail(QStringLiteral("OFF")));
        return;
    }
    // The Broker may still be logging: the matrix and the history say so.
    if (run.launched) Tell(QString::fromLatin1(kNoResponse), true);
    m_engine.ApplyEvent(QString::fromLatin1(EventText::kLoggingOffFailed));
    WriteLine(target, now, Tail(QStringLiteral("Set Logging OFF Failed")));
}

// ---------------------------------------------------------------- the tool

QString VantraceController::MaskedCommand(const QString& mode, const QString& machine) const {
    return QStringLiteral("vantrace -b %1 -usr %2 -pw %3 -o \"%4\" bkrproc:%5:%6:%7:%8")
        .arg(m_connection.broker, m_connection.adminUserId, QString::fromLatin1(kMaskedPassword),
             LogPath(), mode, m_logLevel, m_transTypes, machine);
}

VantraceController::RunResult VantraceController::RunTool(const char* program, const QString& mode,
                                                          const QString& machine) {
    RunResult result;
    const QString logPath = LogPath();
    // A log an earlier run left must never pass for this run's answer.
    const ToolOutputFile log(logPath);

    LaunchRequest request;
    request.program = QString::fromLatin1(program);
    request.arguments = {
        QStringLiteral("-b"),
        m_connection.broker,
        QStringLiteral("-usr"),
        m_connection.adminUserId,
        QStringLiteral("-pw"),
        m_connection.password,
        QStringLiteral("-o"),
        logPath,
        QStringLiteral("bkrproc:%1:%2:%3:%4").arg(mode, m_logLevel, m_transTypes, machine)};
    // Messages about the run show the command without the password.
    const QString masked = MaskedCommand(mode, machine);
    request.commandLine = request.program + masked.mid(masked.indexOf(QLatin1Char(' ')));
    if (m_launcher.Run(request).rc < 0) return result;
    result.launched = true;

    if (m_settings.Text(Setting::Debug) == QLatin1String("1"))
        m_history.WriteHistoryLine(kRecTag + QStringLiteral("Execute:   ") + masked +
                                   QLatin1Char('\n'));
    result.confirmed = CheckLog(log);
    return result;
}

bool VantraceController::CheckLog(const ToolOutputFile& log) {
    const QString path = log.Path();
    if (log.LeftOver() && !log.WrittenByRun()) {
        Note(path + QStringLiteral(" is left from an earlier run and was not written again"));
        return false;
    }
    QByteArray head;
    bool truncated = false;
    const RegularFile::Status status = RegularFile::ReadHead(path, kMaxLogBytes, head, &truncated);
    if (status == RegularFile::Status::NotRegular) {
        // Reading a FIFO would wait for a writer that may never come.
        Note(path + QStringLiteral(" is not a regular file"));
        return false;
    }
    if (status != RegularFile::Status::Ok) {
        Tell(QString::fromLatin1(kUnableToRead) + path, false);
        return false;
    }
    const QString success = QString::fromLatin1(kSuccessLine);
    for (const QString& piece : UserListReport::SplitPieces(head))
        if (!piece.isEmpty() && piece.toUpper() == success) return true;
    if (truncated)
        Note(path +
             QStringLiteral(" holds no success line in its first %1 bytes").arg(kMaxLogBytes));
    return false;
}

void VantraceController::Note(const QString& why) {
    if (TraceLog* trace = m_history.Trace())
        trace->Trace("[Error] vantrace logging request not confirmed: %s", qPrintable(why));
}

// ---------------------------------------------------------------- the group

void VantraceController::ShowWatched(const QString& caption) {
    m_engine.SetStatus(ScanStatus::WatchCaption, caption);
    m_engine.SetStatus(ScanStatus::WatchedPid,
                       m_session.pid + QStringLiteral(" \tLog Level ") + m_logLevel);
    m_engine.SetStatus(ScanStatus::WatchedUser, m_session.userId);
    m_engine.SetStatus(ScanStatus::WatchedMachine, m_session.machine);
    m_engine.SetStatus(ScanStatus::WatchedDateTime, Unstore(m_session.dateTime));
    m_watchedKey = m_session.pid;
    SetStopEnabled(true);
}

void VantraceController::ShowOff() {
    m_engine.SetStatus(ScanStatus::WatchCaption, QString::fromLatin1(kCaptionOff));
    m_engine.SetStatus(ScanStatus::WatchedPid, QStringLiteral("Pid"));
    m_engine.SetStatus(ScanStatus::WatchedUser, QStringLiteral("UserId"));
    m_engine.SetStatus(ScanStatus::WatchedMachine, QStringLiteral("Machine"));
    m_engine.SetStatus(ScanStatus::WatchedDateTime, QStringLiteral("DateTime"));
    SetStopEnabled(false);
}

void VantraceController::SetStopEnabled(bool enabled) {
    if (m_stopEnabled == enabled) return;
    m_stopEnabled = enabled;
    emit StopEnabledChanged(enabled);
}

void VantraceController::ResumeIfScanning() {
    if (m_engine.ScanEnabled()) m_engine.ResumeScanner(m_engine.Settings().interval);
}

void VantraceController::WriteLine(const Target& target, const QString& datetime,
                                   const QString& tail) {
    m_history.WriteHistoryLine(HistoryLog::SessionLine(kRecTag, target.pid, target.userId,
                                                       target.machine, datetime, tail));
}
