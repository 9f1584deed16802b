#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "debuglog/WatchedSession.h"

class AppSettings;
class Clock;
class CommandLauncher;
class HistoryLog;
class Prompter;
class ScanEngine;
class ToolOutputFile;

// One request made in the debug-logging dialog.
struct VantraceChoice {
    bool start = true;
    QString userId;   // upper case
    QString machine;  // upper case; empty: all clients
    QString logLevel;
    QString transTypes;
};

// Switches the Broker's debug logging with the tool `vantrace` and keeps the watched session
// on show in the window's debug-logging group (through the scanner's status texts): ON,
// WAITING for the user to log on, PAUSED while the session is gone (the scan cycle reports
// those two), OFF after a stop. Every change leaves a history line. It runs without a
// window: the dialog is reached through `DialogRunner`.
//
// The tool gets its arguments as a list, never through a shell; its log, "vantrace.log" in
// the working directory, is deleted before each run and must end up holding the success
// line, or the Broker did not carry the request out.
class VantraceController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kLogFileName = "vantrace.log";
    static constexpr const char* kCommitProgram = "vantrace.exe";
    static constexpr const char* kStopProgram = "vantrace";
    static constexpr const char* kSuccessLine = "VANTRACE HAS BEEN EXECUTED SUCCESSFULLY.";
    static constexpr const char* kNoResponse =
        "Broker did not respond to vantrace logging request.";
    static constexpr const char* kUnableToRead = "Unable to read: ";
    static constexpr const char* kAllLogging = "_ALL_LOGGING_";
    static constexpr const char* kAllClientsUser = "VANTRACE";
    static constexpr const char* kCaptionOn = "Vantrace Logging ON";
    static constexpr const char* kCaptionOff = "Vantrace Logging OFF";
    static constexpr const char* kCaptionWaiting = "Vantrace Logging WAITING";
    // Masks the password wherever the command is shown or written down.
    static constexpr const char* kMaskedPassword = "******";

    // Shows the dialog for the watched machine and user; no value means Cancel.
    using DialogRunner = std::function<std::optional<VantraceChoice>(
        const QString& machine, const QString& userId, bool active)>;

    VantraceController(ScanEngine& engine, CommandLauncher& launcher, HistoryLog& history,
                       const Clock& clock, Prompter& prompter, AppSettings& settings,
                       QString workingDirectory, DialogRunner runDialog, QObject* parent = nullptr);

    // The row menu's "Vantrace ...", after the right-click chose the session.
    void Open();
    // Edit > "VanTrace...": the dialog opens without user id and machine.
    void OpenFromMenu();
    // The "Stop Vantrace Logging" button; nothing when logging is off.
    void Stop();
    // The close sequence's stop: the program ends right after, perhaps with nobody at the
    // screen, so no message waits for the user; the history line tells how it went.
    void StopAtExit();

    bool Active() const;
    // The session the right-click chose, or the one being watched.
    WatchedSession& Session() { return m_session; }
    const WatchedSession& Session() const { return m_session; }
    // The pid of the watched entry; empty when none.
    QString WatchedKey() const { return m_watchedKey; }
    void SetWatchedKey(const QString& key) { m_watchedKey = key; }
    bool StopEnabled() const { return m_stopEnabled; }
    QString LogPath() const;

signals:
    // The "Stop Vantrace Logging" button follows this.
    void StopEnabledChanged(bool enabled);

private:
    struct Connection {
        QString broker;
        QString adminUserId;
        QString password;
    };
    struct RunResult {
        bool launched = false;
        bool confirmed = false;
    };
    // The request's mark in the history log: who was watched and on which machine.
    struct Target {
        QString pid;
        QString userId;
        QString machine;
    };

    void Commit(const VantraceChoice& choice);
    void StartNewTarget(const VantraceChoice& choice, const QString& machine, const QString& now);
    void StartSameEntry(const VantraceChoice& choice, const QString& now);
    void SwitchOff(const char* program, const Target& target, const QString& requestMachine);
    // The watched entry blinks once and the group shows OFF; returns what it showed.
    Target EndWatch();
    // Nothing is watched and logging counts as off.
    void Forget();
    RunResult RunTool(const char* program, const QString& mode, const QString& machine);
    QString MaskedCommand(const QString& mode, const QString& machine) const;
    // The log's verdict: a line that reads the success line in any letter case. Only a log
    // this run wrote counts, read without waiting and only its first megabyte; a log that
    // cannot be read is reported and fails, one that is no answer fails with a trace note.
    bool CheckLog(const ToolOutputFile& log);
    // Why a request went unconfirmed, for the trace log.
    void Note(const QString& why);
    void ShowWatched(const QString& caption);
    void ShowOff();
    void SetStopEnabled(bool enabled);
    void ResumeIfScanning();
    // A message box, or a notice that does not wait while the program is ending.
    void Tell(const QString& text, bool warning);
    void WriteLine(const Target& target, const QString& datetime, const QString& tail);
    Target Shown() const;

    ScanEngine& m_engine;
    CommandLauncher& m_launcher;
    HistoryLog& m_history;
    const Clock& m_clock;
    Prompter& m_prompter;
    AppSettings& m_settings;
    QString m_workingDirectory;
    DialogRunner m_runDialog;

    WatchedSession m_session;
    QString m_watchedKey;
    // What the last Commit asked for; a stop goes to the same Broker and machine.
    Connection m_connection;
    QString m_logLevel;
    QString m_transTypes;
    QString m_requestedMachine;  // empty: all clients
    bool m_stopEnabled = false;
};
