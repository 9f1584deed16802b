#include "service/HeadlessMonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QLockFile>
#include <QTimer>
#include <cstdio>

#include "app/MonitorLock.h"
#include "app/SettingsKeys.h"
#include "app/TraceLog.h"
#include "controls/GridModel.h"
#include "mail/BrokerWatch.h"
#include "platform/SettingsStore.h"
#include "platform/TerminationSignals.h"
#include "scan/ScanEngine.h"
#include "service/LinePrompter.h"
#include "service/ProfileCheck.h"

namespace {

// How often a close request looks again whether the running cycle has ended.
constexpr int kCloseRetryMs = 50;

// Before the directory is taken nothing may be written there, the trace log included.
void Tell(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(LinePrompter::Line(message)));
}

}  // namespace

HeadlessMonitor::HeadlessMonitor(const QString& profilePath, QObject* parent)
    : QObject(parent), m_profilePath(profilePath) {}

HeadlessMonitor::~HeadlessMonitor() {
    // The scanner first: it may still hold files in the locked directory.
    m_watch.reset();
    m_lock.reset();
}

int HeadlessMonitor::Prepare() {
    m_store = m_profilePath.isEmpty() ? std::make_unique<SettingsStore>()
                                      : std::make_unique<SettingsStore>(m_profilePath);
    const QStringList problems = ProfileCheck::Problems(*m_store, m_store->FilePath());
    if (!problems.isEmpty()) {
        for (const QString& problem : problems) Tell(problem);
        return kBadProfile;
    }
    const QString directory = QDir::currentPath();
    QString message;
    m_lock = MonitorLock::Take(directory, message);
    if (!m_lock) {
        Tell(message);
        return kDirectoryRefused;
    }

    m_settings = std::make_unique<AppSettings>(*m_store);
    m_trace = std::make_unique<TraceLog>(
        m_clock, QDir(directory).filePath(QString::fromLatin1(TraceLog::kFileName)));
    m_prompter = std::make_unique<LinePrompter>(m_clock, *m_trace);
    m_prompter->HidePassword(m_settings->Password());
    // Nobody sees the matrix; its font only sizes rows and columns, and must not depend on
    // what the platform would choose.
    m_matrix = std::make_unique<GridModel>(QFont(QStringLiteral("DejaVu Sans"), 10));
    m_watch = std::make_unique<BrokerWatch>(*m_settings, *m_prompter, m_clock, directory);
    m_watch->CreateScanner(*m_matrix, nullptr, nullptr);
    return 0;
}

void HeadlessMonitor::Start() {
    m_signals = std::make_unique<TerminationSignals>();
    connect(m_signals.get(), &TerminationSignals::Received, this, &HeadlessMonitor::RequestClose);
    m_watch->History().Start(m_settings->Flag(Setting::EnableHistoryLogging));
    m_watch->LoadAlertSettings();
    m_watch->StartScanning();
}

void HeadlessMonitor::RequestClose() {
    if (m_closed) return;
    if (!m_closeRequested) {
        m_closeRequested = true;
        // Nothing starts another cycle from here on; one that runs goes to its end.
        m_watch->Engine().Off();
    }
    TryClose();
}

void HeadlessMonitor::TryClose() {
    if (m_closed) return;
    if (m_watch->Engine().Busy()) {
        QTimer::singleShot(kCloseRetryMs, this, &HeadlessMonitor::TryClose);
        return;
    }
    m_closed = true;
    m_watch->Close();
    QCoreApplication::exit(0);
}
