#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "monitor/QuandrixDlg.h"

class QLockFile;
class TerminationSignals;

// The application object: start-up (company key, start-up directory, one monitor per
// working directory, the main window) and the end of the program. The main window lives as
// long as the process; it ends the program through its close sequence.
class CQuandrixApp : public QObject {
    Q_OBJECT
public:
    // The main window gets `services`; the lock message goes to services.prompter when set.
    explicit CQuandrixApp(QuandrixServices services = {}, QObject* parent = nullptr);
    ~CQuandrixApp() override;

    // Reads the start-up directory, takes the directory's lock and starts the main window.
    // False when another monitor works in this directory, or when the directory cannot be
    // written in: the user has been told, and the program should end with status 1.
    bool InitInstance();

    // Called with the main window once it exists, before it starts: its first scan cycle
    // runs within InitInstance.
    void SetWindowCreatedHook(std::function<void(CQuandrixDlg&)> hook) {
        m_windowCreated = std::move(hook);
    }

    // Runs the program until the main window's close sequence ends it; the exit status.
    int Run();

    // After `afterMs`, once no cycle or command runs, saves a picture of the main window to
    // `path` (PNG) and closes the monitor. For documentation and checks without a display.
    void ScheduleScreenshot(const QString& path, int afterMs);

    QString StartupDirectory() const { return m_startupDirectory; }
    CQuandrixDlg* MainWindow() const { return m_window.get(); }

private:
    void TakeScreenshot();

    QuandrixServices m_services;
    QString m_startupDirectory;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<CQuandrixDlg> m_window;
    std::unique_ptr<TerminationSignals> m_signals;
    std::function<void(CQuandrixDlg&)> m_windowCreated;
    QString m_screenshotPath;
    bool m_screenshotFailed = false;
    int m_screenshotRetries = 0;
};
