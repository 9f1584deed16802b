#include "mail/BrokerWatch.h"

#include <QDir>

#include "mail/BrokerAlert.h"
#include "mail/BrokerRecovery.h"
#include "scan/CloseSequence.h"
#include "scan/ScanEngine.h"

BrokerWatch::BrokerWatch(AppSettings& settings, Prompter& prompter, Clock& clock,
                         const QString& workingDirectory, QWidget* mainWindow)
    : m_settings(settings),
      m_prompter(prompter),
      m_clock(clock),
      m_workingDirectory(workingDirectory),
      m_trace(clock, QDir(workingDirectory).filePath(QString::fromLatin1(TraceLog::kFileName))),
      m_launcher(prompter),
      m_history(clock, workingDirectory, &m_trace),
      m_mailer(m_launcher, prompter, clock, workingDirectory, mainWindow),
      m_lookup(m_launcher, prompter, m_history, settings, workingDirectory) {
    m_mailer.SetWindowless(mainWindow == nullptr);
}

BrokerWatch::~BrokerWatch() {
    // The mails refer to the scanner: they go first.
    m_recovery.reset();
    m_alert.reset();
    m_engine.reset();
}

ScanEngine& BrokerWatch::CreateScanner(GridModel& matrix, GridView* view,
                                       MatrixPresenter* presenter) {
    m_engine = std::make_unique<ScanEngine>(matrix, view, m_launcher, m_history, m_clock,
                                            m_prompter, m_workingDirectory);
    m_engine->SetPresenter(presenter);
    TakeScanSettings(ScanSettings::Load(m_settings));
    m_engine->SetAddressLookup(
        [this](const QString& user) { return m_lookup.AddressInTime(user); });

    m_alert =
        std::make_unique<BrokerAlert>(*m_engine, m_history, m_mailer, m_clock, m_emailSettings);
    m_recovery = std::make_unique<BrokerRecovery>(m_history, m_mailer, m_clock, m_emailSettings);
    m_alert->SetSentHook([this] { m_recovery->AlertSent(); });
    m_engine->SetAlertHook([this](int tries) {
        // Alerts switched off raise nothing, on the desktop either.
        if (m_alertRaised && m_emailSettings.alertsEnabled) m_alertRaised();
        m_alert->SendBrokerAlert(tries);
    });
    connect(m_engine.get(), &ScanEngine::ScanCounted, this,
            [this](bool answered, int) { OnScanCounted(answered); });
    return *m_engine;
}

void BrokerWatch::OnScanCounted(bool answered) {
    if (answered)
        m_recovery->ScanAnswered();
    else
        m_recovery->ScanFailed();
}

void BrokerWatch::TakeScanSettings(const ScanSettings& settings) {
    m_engine->SetSettings(settings);
    m_lookup.SetConnection(settings.broker, settings.adminUserId, settings.adminPassword);
}

void BrokerWatch::LoadAlertSettings() {
    m_emailSettings = LoadEmailSettings(m_settings);
    m_engine->SetContigFailLimit(m_emailSettings.contigFailLimit);
}

void BrokerWatch::StartScanning() {
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->StartScanning();
}

void BrokerWatch::Close(const std::function<void()>& stopDebugLogging) {
    RunCloseSequence(*m_engine, m_history, m_clock, stopDebugLogging);
}
