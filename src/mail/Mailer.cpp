#include "mail/Mailer.h"

#include <QDir>

#include "mail/EmailSettings.h"
#include "mail/EmailWaitDlg.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "platform/SaveFile.h"

Mailer::Mailer(CommandLauncher& launcher, Prompter& prompter, Clock& clock,
               const QString& workingDirectory, QWidget* mainWindow)
    : m_launcher(launcher),
      m_prompter(prompter),
      m_clock(clock),
      m_workingDirectory(workingDirectory),
      m_mainWindow(mainWindow) {}

QString Mailer::ContentFilePath() const {
    return QDir(m_workingDirectory).absoluteFilePath(QString::fromLatin1(kContentFileName));
}

QString Mailer::DispatchLogPath() const {
    return QDir(m_workingDirectory).absoluteFilePath(QString::fromLatin1(kDispatchLogName));
}

MailCommand Mailer::ComposeCommand(const QString& to, const QString& server, const QString& port,
                                   const QString& from, const QString& subject,
                                   const QString& workingDirectory) {
    const QString program = QString::fromLatin1(kProgram);
    const QString content = QString::fromLatin1(kContentFileName);
    const QString output = QString::fromLatin1(kToolOutputName);
    MailCommand c;
    // Concatenation, not a format: a "%" in any value stays as typed.
    c.display = program + QLatin1Char(' ') + to + QStringLiteral(" -m ") + server +
                QStringLiteral(" -p ") + port + QStringLiteral(" -f ") + from +
                QStringLiteral(" -s \"") + subject + QStringLiteral("\" < \"") + content +
                QStringLiteral("\" > ") + output;
    c.request.commandLine = c.display;
    c.request.program = program;
    c.request.arguments = {to,     QStringLiteral("-m"), server, QStringLiteral("-p"),
                           port,   QStringLiteral("-f"), from,   QStringLiteral("-s"),
                           subject};
    // The tool runs in the process's current directory; the files belong to ours.
    const QDir dir(workingDirectory);
    c.request.stdinFile = dir.absoluteFilePath(content);
    c.request.stdoutFile = dir.absoluteFilePath(output);
    return c;
}

QString Mailer::DispatchLine(const QString& display, const LaunchOutcome& outcome) {
    QString line = display + QStringLiteral("    rc=") + QString::number(outcome.rc);
    if (outcome.rc == CommandLauncher::kOk) {
        line += QStringLiteral(" exit=");
        line += outcome.exitStatus >= 0 ? QString::number(outcome.exitStatus)
                                        : QStringLiteral("signal");
    }
    return line;
}

bool Mailer::WriteContentFile(const QString& body) const {
    return ReplaceFile(ContentFilePath(), body.toUtf8());
}

void Mailer::WriteDispatchLog(const QString& line) const {
    // Only a record of the last run: a failure to write it is not worth a message.
    ReplaceFile(DispatchLogPath(), line.toUtf8());
}

void Mailer::Warn(const QString& text) {
    if (m_launcher.Unattended())
        m_prompter.Notice(text);
    else
        m_prompter.Warning(text);
}

bool Mailer::CheckValues(std::initializer_list<std::pair<const QString*, const char*>> checks) {
    for (const auto& [value, message] : checks) {
        if (value->isEmpty()) {
            Warn(QString::fromLatin1(message));
            return false;
        }
    }
    return true;
}

int Mailer::SendEmail(const QString& to, const QString& server, const QString& port,
                      const QString& from, const QString& subject, const QString& body) {
    if (!CheckValues({{&to, kToNotSet},
                      {&server, kServerNotSet},
                      {&port, kPortNotSet},
                      {&from, kFromNotSet},
                      {&subject, kSubjectNotSet},
                      {&body, kContentNotSet}})) {
        return kNotAttempted;
    }
    if (!WriteContentFile(body)) {
        Warn(QString::fromLatin1(kContentWriteFailed));
        return kNotAttempted;
    }
    return Dispatch(to, server, port, from, subject);
}

int Mailer::SendEmail(const QString& to, const QString& subject, const EmailSettings& settings) {
    if (!CheckValues({{&to, kToNotSet},
                      {&settings.server, kServerNotSet},
                      {&settings.port, kPortNotSet},
                      {&settings.from, kFromNotSet},
                      {&subject, kSubjectNotSet}})) {
        return kNotAttempted;
    }
    return Dispatch(to, settings.server, settings.port, settings.from, subject);
}

int Mailer::SendEmail(const QString& to, const EmailSettings& settings) {
    if (!CheckValues({{&to, kToNotSet},
                      {&settings.server, kServerNotSet},
                      {&settings.port, kPortNotSet},
                      {&settings.from, kFromNotSet},
                      {&settings.subject, kSubjectNotSet},
                      {&settings.content, kContentNotSet}})) {
        return kNotAttempted;
    }
    return Dispatch(to, settings.server, settings.port, settings.from, settings.subject);
}

int Mailer::Dispatch(const QString& to, const QString& server, const QString& port,
                     const QString& from, const QString& subject) {
    if (m_stalled) return kNotTried;
    // The window is a child of the main window, which events delivered during the tool run
    // could destroy; a guarded pointer never deletes it twice.
    QPointer<CEmailWaitDlg> wait;
    if (!m_windowless) {
        wait = new CEmailWaitDlg(m_mainWindow, m_clock);
        wait->SetStatusText(CEmailWaitDlg::SendingText(to));
        wait->SetProgress(50);
    }

    const MailCommand command = ComposeCommand(to, server, port, from, subject, m_workingDirectory);
    const LaunchOutcome outcome = m_launcher.Run(command.request);
    WriteDispatchLog(DispatchLine(command.display, outcome));

    if (!m_windowless) {
        if (wait) wait->SetProgress(CEmailWaitDlg::kMaximum);
        m_clock.Sleep(kClosePauseMs);
        delete wait.data();  // closes it and gives the main window back
    }

    const bool noAnswer =
        outcome.rc == CommandLauncher::kTimedOut ||
        (outcome.rc == CommandLauncher::kOk && outcome.exitStatus == kToolExitTimedOut);
    if (noAnswer && m_commands > 0) m_stalled = true;
    if (outcome.rc != CommandLauncher::kOk) return outcome.rc;
    if (noAnswer) return kNoAnswer;
    // A tool that ran but reported failure did not send the mail.
    return outcome.exitStatus == 0 ? kSent : kToolFailed;
}
