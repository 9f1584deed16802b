#pragma once

#include <QString>
#include <QStringList>

class Prompter;
class QEventLoop;

// One tool run: the command line (program first, quotes respected, never a shell) and,
// for the mail tool, the files that take the place of its standard input and output.
// Callers that put user-typed values on the command line set `program` and `arguments`
// instead: each argument then reaches the tool as one word, exactly as given, and
// `commandLine` is only the text shown in the launcher's messages.
struct LaunchRequest {
    QString commandLine;
    QString stdinFile;        // empty: the child reads nothing
    QString stdoutFile;       // empty: the child's output is discarded
    QString program{};        // when set, used instead of splitting `commandLine`
    QStringList arguments{};  // the arguments that go with `program`
};

struct LaunchOutcome {
    int rc = 0;           // 0, or kNotFound / kTimedOut / kStartFailed
    QString pid;          // the child's process id in decimal, when rc is 0
    int exitStatus = -1;  // the child's exit status when it ended in time (-1: none)
};

// Runs a tool as a child process and waits for it, at most the time limit, keeping the
// window painted while user input waits (see BlockingWait). The child's own exit status
// never changes the result: a tool that ran and failed returns 0 like one that succeeded.
class CommandLauncher {
public:
    static constexpr int kOk = 0;
    static constexpr int kNotFound = -2;
    static constexpr int kTimedOut = -9;
    static constexpr int kStartFailed = -32;
    static constexpr int kDefaultTimeoutMs = 20000;

    explicit CommandLauncher(Prompter& prompter, int timeoutMs = kDefaultTimeoutMs);
    virtual ~CommandLauncher() = default;

    // The classic contract: result is emptied, then set to the child's pid when rc is 0.
    int LaunchWinAppFg(QString& result, const QString& commandLine);

    virtual LaunchOutcome Run(const LaunchRequest& request);

    // While one lives, the launcher's messages do not wait for the user: a scan cycle, which
    // may run with nobody at the screen, goes on and records its failure.
    class UnattendedScope {
    public:
        explicit UnattendedScope(CommandLauncher& l) : m_launcher(l) { ++m_launcher.m_unattended; }
        ~UnattendedScope() { --m_launcher.m_unattended; }
        UnattendedScope(const UnattendedScope&) = delete;
        UnattendedScope& operator=(const UnattendedScope&) = delete;

    private:
        CommandLauncher& m_launcher;
    };

    // An UnattendedScope is alive: other messages of the work in progress must not wait
    // for the user either.
    bool Unattended() const { return m_unattended > 0; }

    // Ends the tool being waited for now, as its time limit would (the run returns
    // kTimedOut). Nothing happens when no tool runs.
    void Abort();

    void SetTimeoutMs(int ms) { m_timeoutMs = ms; }
    int TimeoutMs() const { return m_timeoutMs; }

    static QString NotFoundMessage(const QString& commandLine);
    static QString StartFailedMessage(const QString& commandLine);

private:
    void Tell(const QString& text);

    Prompter& m_prompter;
    int m_timeoutMs;
    int m_unattended = 0;
    QEventLoop* m_waiting = nullptr;  // the wait of the running tool
};
