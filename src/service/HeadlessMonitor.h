#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "platform/Clock.h"

class AppSettings;
class BrokerWatch;
class GridModel;
class LinePrompter;
class QLockFile;
class SettingsStore;
class TerminationSignals;
class TraceLog;

// A monitor without a window (quorvatel --headless), for a service: the scan cycle, the
// history log, the alert and recovery mail and the trace log in the current directory, the
// matrix kept in a model nobody shows, every message one line on standard error and in the
// trace log. SIGTERM and SIGINT end it as File > Exit ends the window.
class HeadlessMonitor : public QObject {
    Q_OBJECT
public:
    // Exit statuses of a start refused: the profile cannot run a monitor; the directory is
    // another monitor's or cannot be written in (as the window says it).
    static constexpr int kBadProfile = 2;
    static constexpr int kDirectoryRefused = 1;

    // `profilePath` empty: the user's own profile.
    explicit HeadlessMonitor(const QString& profilePath, QObject* parent = nullptr);
    ~HeadlessMonitor() override;

    // Checks the profile and takes the current directory. 0 when the monitor can run;
    // otherwise the exit status, with the reason on standard error and nothing written.
    int Prepare();
    // After Prepare: the scanner and its mail, for whoever follows them.
    BrokerWatch& Watch() { return *m_watch; }
    // The history log and the first scan cycle; the monitor then scans until a close request
    // ends the event loop with status 0.
    void Start();
    // Waits for a running cycle to end, then runs the close sequence and ends the event loop.
    void RequestClose();

private:
    void TryClose();

    QString m_profilePath;
    SystemClock m_clock;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<TraceLog> m_trace;
    std::unique_ptr<LinePrompter> m_prompter;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<GridModel> m_matrix;
    std::unique_ptr<BrokerWatch> m_watch;
    std::unique_ptr<TerminationSignals> m_signals;
    bool m_closeRequested = false;
    bool m_closed = false;
};
