#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/TraceLog.h"
#include "exec/CommandLauncher.h"
#include "mail/EmailAddressLookup.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"

class AppSettings;
class BrokerAlert;
class BrokerRecovery;
class Clock;
class GridModel;
class GridView;
class MatrixPresenter;
class Prompter;
class QWidget;
class ScanEngine;
struct ScanSettings;

// What watches one Broker, with a window or without: the trace log, the tool launcher, the
// history log, the scanner writing the matrix into a model, the mail tool, the address
// lookup, and the alert and recovery mails wired to the scanner's failures and answers. The
// window and the headless monitor each create one and add only what they show.
class BrokerWatch : public QObject {
    Q_OBJECT
public:
    // `mainWindow` parents the mail tool's wait window; without one no wait window is shown.
    BrokerWatch(AppSettings& settings, Prompter& prompter, Clock& clock,
                const QString& workingDirectory, QWidget* mainWindow = nullptr);
    ~BrokerWatch() override;

    // The scanner, writing into `matrix` (shown by `view`, none without a display), with the
    // profile's Broker connection and the alert and recovery mails wired to it.
    ScanEngine& CreateScanner(GridModel& matrix, GridView* view, MatrixPresenter* presenter);

    // The Broker connection for the scanner and the address lookup.
    void TakeScanSettings(const ScanSettings& settings);
    // The profile's e-mail values, and the limit of failed scans the scanner counts to.
    void LoadAlertSettings();
    // Told when an alert is raised while alert mail is on, before its mails go out.
    void SetAlertRaisedHook(std::function<void()> hook) { m_alertRaised = std::move(hook); }
    // The first scan cycle, which starts the scanner's timer.
    void StartScanning();
    // The last steps before the process ends (the SHUTDOWN line among them); nothing scans
    // afterwards.
    void Close(const std::function<void()>& stopDebugLogging = {});

    TraceLog& Trace() { return m_trace; }
    CommandLauncher& Launcher() { return m_launcher; }
    HistoryLog& History() { return m_history; }
    Mailer& Mail() { return m_mailer; }
    EmailAddressLookup& Lookup() { return m_lookup; }
    const EmailSettings& Email() const { return m_emailSettings; }
    ScanEngine& Engine() { return *m_engine; }
    BrokerAlert& Alert() { return *m_alert; }
    BrokerRecovery& Recovery() { return *m_recovery; }

private:
    void OnScanCounted(bool answered);

    AppSettings& m_settings;
    Prompter& m_prompter;
    Clock& m_clock;
    QString m_workingDirectory;
    TraceLog m_trace;
    CommandLauncher m_launcher;
    HistoryLog m_history;
    Mailer m_mailer;
    EmailAddressLookup m_lookup;
    EmailSettings m_emailSettings;
    std::unique_ptr<ScanEngine> m_engine;
    std::unique_ptr<BrokerAlert> m_alert;
    std::unique_ptr<BrokerRecovery> m_recovery;
    std::function<void()> m_alertRaised;
};
