#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <utility>

#include "exec/CommandLauncher.h"

class Clock;
class Prompter;
struct EmailSettings;

// The one way mail leaves the program: the mail tool `vsend`, run once per recipient with
// the body in the content file as its standard input. No shell is involved: every value
// reaches the tool as one argument, exactly as typed.
struct MailCommand {
    // The command as shown in the dispatch log and the launcher's messages:
    // vsend TO -m SERVER -p PORT -f FROM -s "SUBJECT" < "sendmail.txt" > vsend.log
    QString display;
    LaunchRequest request;
};

class Mailer {
public:
    static constexpr const char* kProgram = "vsend";
    static constexpr const char* kContentFileName = "sendmail.txt";
    static constexpr const char* kDispatchLogName = "sendmail.log";
    static constexpr const char* kToolOutputName = "vsend.log";

    static constexpr const char* kToNotSet = "Email To Address is not set!";
    static constexpr const char* kServerNotSet = "Email Server is not set!";
    static constexpr const char* kPortNotSet = "Email Port is not set!";
    static constexpr const char* kFromNotSet = "Email From Address is not set!";
    static constexpr const char* kSubjectNotSet = "Email Subject is not set!";
    static constexpr const char* kContentNotSet = "Email Content is not set!";
    static constexpr const char* kContentWriteFailed =
        "Failed to write content message to sendmail.txt!";

    // Results of SendEmail. Negative launcher codes (CommandLauncher::kNotFound, kTimedOut,
    // kStartFailed) are passed through as they are.
    static constexpr int kNotAttempted = 0;  // a value was missing or the body not written
    static constexpr int kSent = 1;          // the tool ran to its end and reported success
    static constexpr int kToolFailed = -1;   // the tool ran to its end but reported failure
    static constexpr int kNoAnswer = -4;     // the tool said the server did not answer in time
    static constexpr int kNotTried = -5;     // not tried: the server did not answer earlier in
                                             // the same command

    // The mail tool's exit status when the server did not answer in time.
    static constexpr int kToolExitTimedOut = 3;

    // The pause after the bar reaches its end, before the wait window closes.
    static constexpr int kClosePauseMs = 500;

    // `mainWindow` is the window disabled while a send runs; it may be set later.
    Mailer(CommandLauncher& launcher, Prompter& prompter, Clock& clock,
           const QString& workingDirectory, QWidget* mainWindow = nullptr);

    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    // Without a window (a monitor run as a service) no wait window is shown, and nothing
    // pauses for one.
    void SetWindowless(bool windowless) { m_windowless = windowless; }

    // One command's mail: an alert, a recovery mail, a broadcast, a message to a user or a
    // test mail. Once one of its sends finds the server not answering in time (the tool says
    // so, or its time limit ended it), its other recipients are not tried: each would keep
    // the monitor waiting as long again, with nothing scanned meanwhile. Their sends return
    // kNotTried at once. The next command tries the server again.
    class Command {
    public:
        explicit Command(Mailer& mailer) : m_mailer(mailer) {
            if (m_mailer.m_commands++ == 0) m_mailer.m_stalled = false;
        }
        ~Command() {
            if (--m_mailer.m_commands == 0) m_mailer.m_stalled = false;
        }
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        Mailer& m_mailer;
    };

    // Test mail of a settings dialog: every value from the caller; the body is written to
    // the content file here. Checks To, Server, Port, From, Subject, Content.
    int SendEmail(const QString& to, const QString& server, const QString& port,
                  const QString& from, const QString& subject, const QString& body);
    // Broadcasts and user messages: server, port and sender from the main window's settings;
    // the caller has written the content file. Checks To, Server, Port, From, Subject.
    int SendEmail(const QString& to, const QString& subject, const EmailSettings& settings);
    // Broker alert: the alert subject and the main window's settings; the caller has written
    // the composed body. Checks To, Server, Port, From, Subject, and that the alert template
    // is not empty.
    int SendEmail(const QString& to, const EmailSettings& settings);

    // Replaces the content file with `body` exactly (no line end added). False when it
    // cannot be written; the old file is then left as it was.
    bool WriteContentFile(const QString& body) const;

    // A warning of the mail path. While nobody may be at the screen (a scan cycle raised an
    // alert, the program is closing) it does not wait for the user.
    void Warn(const QString& text);

    static bool Sent(int result) { return result == kSent; }

    QString ContentFilePath() const;
    QString DispatchLogPath() const;

    // The tool run for one mail; the redirection files live in `workingDirectory`.
    static MailCommand ComposeCommand(const QString& to, const QString& server, const QString& port,
                                      const QString& from, const QString& subject,
                                      const QString& workingDirectory);
    // The dispatch log's one line: the command, four blanks, "rc=" and the launcher's result,
    // then, when the tool ran to its end, " exit=" and its exit status ("signal" when it was
    // killed by one).
    static QString DispatchLine(const QString& display, const LaunchOutcome& outcome);

private:
    // The first empty value, in order, shows its message; false then.
    bool CheckValues(std::initializer_list<std::pair<const QString*, const char*>> checks);
    int Dispatch(const QString& to, const QString& server, const QString& port, const QString& from,
                 const QString& subject);
    void WriteDispatchLog(const QString& line) const;

    CommandLauncher& m_launcher;
    Prompter& m_prompter;
    Clock& m_clock;
    QString m_workingDirectory;
    QPointer<QWidget> m_mainWindow;
    int m_commands = 0;      // open Command scopes
    bool m_stalled = false;  // the server did not answer in time in the current command
    bool m_windowless = false;
};
