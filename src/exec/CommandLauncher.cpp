#include "exec/CommandLauncher.h"

#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <utility>

#include "platform/Prompter.h"

namespace {

// The path the program would be started from, or empty when there is no such executable
// file: a name with a slash is taken as a path, a bare name is looked up on PATH.
QString ResolveProgram(const QString& program) {
    if (program.isEmpty()) return QString();
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo fi(program);
        if (!fi.exists() || fi.isDir() || !fi.isExecutable()) return QString();
        return fi.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(program);
}

}  // namespace

CommandLauncher::CommandLauncher(Prompter& prompter, int timeoutMs)
    : m_prompter(prompter), m_timeoutMs(timeoutMs) {}

QString CommandLauncher::NotFoundMessage(const QString& commandLine) {
    return QStringLiteral("Executable Not Found: '") + commandLine +
           QStringLiteral("'\n\nThis executable must be installed.\n");
}

QString CommandLauncher::StartFailedMessage(const QString& commandLine) {
    QString text = QStringLiteral("Failed to Launch Task '") + commandLine +
                   QStringLiteral(", FOREGROUND, INDEPENDENT, WINSESSIONCHILD' Err=") +
                   QString::number(kStartFailed) + QStringLiteral("\n\n");
    if (commandLine.contains(QLatin1Char(' '))) {
        text += QStringLiteral("File Not Found: ") + commandLine.section(QLatin1Char(' '), 0, 0) +
                QStringLiteral("\n\n");
    }
    return text;
}

int CommandLauncher::LaunchWinAppFg(QString& result, const QString& commandLine) {
    result.clear();
    const LaunchOutcome outcome = Run({commandLine, QString(), QString()});
    if (outcome.rc == kOk) result = outcome.pid;
    return outcome.rc;
}

void CommandLauncher::Abort() {
    if (m_waiting) m_waiting->quit();
}

LaunchOutcome CommandLauncher::Run(const LaunchRequest& request) {
    LaunchOutcome outcome;
    QString name = request.program;
    QStringList arguments = request.arguments;
    if (name.isEmpty()) {
        const QStringList words = QProcess::splitCommand(request.commandLine);
        if (!words.isEmpty()) {
            name = words.first();
            arguments = words.mid(1);
        }
    }
    const QString program = ResolveProgram(name);
    if (program.isEmpty()) {
        outcome.rc = kNotFound;
        m_prompter.Warning(NotFoundMessage(request.commandLine));
        return outcome;
    }

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(request.stdinFile.isEmpty() ? QProcess::nullDevice()
                                                             : request.stdinFile);
    if (request.stdoutFile.isEmpty())
        process.setStandardOutputFile(QProcess::nullDevice());
    else
        process.setStandardOutputFile(request.stdoutFile);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A process group of its own: a terminal's Ctrl+C is not sent to it, and on time-out
    // the whole group is ended.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    // Opened for reading although nothing is read: QProcess sends stderr to the null device
    // when a process is started NotOpen, which would drop the tools' error output.
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        outcome.rc = kStartFailed;
        m_prompter.Warning(StartFailedMessage(request.commandLine));
        return outcome;
    }
    const qint64 pid = process.processId();

    if (process.state() != QProcess::NotRunning) {
        deadline.start(m_timeoutMs);
        QEventLoop* outer = std::exchange(m_waiting, &loop);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waiting = outer;
    }

    if (process.state() != QProcess::NotRunning) {
        // Out of time: end the tool silently.
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process.kill();
        process.waitForFinished(5000);
        outcome.rc = kTimedOut;
        return outcome;
    }

    outcome.rc = kOk;
    outcome.pid = QString::number(pid);
    if (process.exitStatus() == QProcess::NormalExit) outcome.exitStatus = process.exitCode();
    return outcome;
}
