#include "exec/CommandLauncher.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <utility>

#include "platform/Prompter.h"

namespace {

enum class Found { Runnable, Missing, NotRunnable };

// Where the program would be started from. A name with a slash is taken as a path, a bare
// name is looked up on PATH. A file that is there but may not be run (no execute permission,
// a directory) is a start failure, not a missing program.
Found ResolveProgram(const QString& program, QString& path) {
    path.clear();
    if (program.isEmpty()) return Found::Missing;
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo fi(program);
        if (!fi.exists()) return Found::Missing;
        if (fi.isDir() || !fi.isExecutable()) return Found::NotRunnable;
        path = fi.absoluteFilePath();
        return Found::Runnable;
    }
    path = QStandardPaths::findExecutable(program);
    if (!path.isEmpty()) return Found::Runnable;
    const QStringList dirs =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        if (QFileInfo(QDir(dir).filePath(program)).isFile()) return Found::NotRunnable;
    }
    return Found::Missing;
}

// A redirection file must be a regular file or not there yet: opening anything else in its
// place (a FIFO) could wait for ever, before the tool even starts.
bool RegularOrAbsent(const QString& path) {
    const QFileInfo fi(path);
    return fi.isFile() || (!fi.exists() && !fi.isSymLink());
}

// Ends whatever the tool left running in its process group (a daemonised helper, a child it
// did not wait for). The group outlives the tool only while such processes exist.
void EndProcessGroup(qint64 pid) {
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
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
    QString program;
    switch (ResolveProgram(name, program)) {
        case Found::Missing:
            outcome.rc = kNotFound;
            Tell(NotFoundMessage(request.commandLine));
            return outcome;
        case Found::NotRunnable:
            outcome.rc = kStartFailed;
            Tell(StartFailedMessage(request.commandLine));
            return outcome;
        case Found::Runnable:
            break;
    }

    if (!request.stdinFile.isEmpty() && !QFileInfo(request.stdinFile).isFile()) {
        outcome.rc = kStartFailed;
        Tell(StartFailedMessage(request.commandLine));
        return outcome;
    }
    // The output file is replaced by every run; anything else in its place goes first, and
    // where it cannot, the output is dropped.
    QString output = request.stdoutFile;
    if (!output.isEmpty() && !RegularOrAbsent(output)) {
        QFile::remove(output);
        if (!RegularOrAbsent(output)) output.clear();
    }

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(request.stdinFile.isEmpty() ? QProcess::nullDevice()
                                                             : request.stdinFile);
    process.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
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
        Tell(StartFailedMessage(request.commandLine));
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
        EndProcessGroup(pid);
        process.kill();
        process.waitForFinished(5000);
        outcome.rc = kTimedOut;
        return outcome;
    }

    EndProcessGroup(pid);
    outcome.rc = kOk;
    outcome.pid = QString::number(pid);
    if (process.exitStatus() == QProcess::NormalExit) outcome.exitStatus = process.exitCode();
    return outcome;
}

void CommandLauncher::Tell(const QString& text) {
    if (m_unattended > 0)
        m_prompter.Notice(text);
    else
        m_prompter.Warning(text);
}
