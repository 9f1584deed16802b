#include "app/QuandrixApp.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/MonitorLock.h"
#include "platform/MessageBoxPrompter.h"
#include "platform/SettingsStore.h"
#include "platform/TerminationSignals.h"

namespace {
constexpr int kScreenshotRetryMs = 100;
// A dialog left open (a profile without a Broker) must not keep the picture from being taken.
constexpr int kScreenshotMaxRetries = 300;
}  // namespace

CQuandrixApp::CQuandrixApp(QuandrixServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {}

CQuandrixApp::~CQuandrixApp() {
    // The window first: its scanner may still hold files in the locked directory.
    m_window.reset();
    m_lock.reset();
}

bool CQuandrixApp::InitInstance() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
    m_startupDirectory = QDir::currentPath();

    QString message;
    m_lock = MonitorLock::Take(m_startupDirectory, message);
    if (!m_lock) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        if (m_services.prompter) {
            m_services.prompter->Warning(message);
        } else {
            MessageBoxPrompter prompter;
            prompter.Warning(message);
        }
        return false;
    }

    m_window = std::make_unique<CQuandrixDlg>(m_startupDirectory, m_services);
    if (m_windowCreated) m_windowCreated(*m_window);
    m_signals = std::make_unique<TerminationSignals>();
    connect(m_signals.get(), &TerminationSignals::Received, m_window.get(),
            &CQuandrixDlg::RequestClose);
    m_window->OnInitDialog();
    return true;
}

int CQuandrixApp::Run() {
    const int status = QCoreApplication::exec();
    return m_screenshotFailed ? 1 : status;
}

void CQuandrixApp::ScheduleScreenshot(const QString& path, int afterMs) {
    m_screenshotPath = path;
    QTimer::singleShot(qMax(0, afterMs), this, &CQuandrixApp::TakeScreenshot);
}

void CQuandrixApp::TakeScreenshot() {
    if (!m_window || m_window->Closed()) return;
    // A picture of a half-built matrix helps nobody: wait for the cycle to end.
    if (!m_window->Idle() && ++m_screenshotRetries < kScreenshotMaxRetries) {
        QTimer::singleShot(kScreenshotRetryMs, this, &CQuandrixApp::TakeScreenshot);
        return;
    }
    const QPixmap picture = m_window->grab();
    if (picture.isNull() || !picture.save(m_screenshotPath, "PNG")) {
        m_screenshotFailed = true;
        std::fprintf(stderr, "quorvatel: could not save the screenshot to %s\n",
                     qPrintable(QDir::toNativeSeparators(m_screenshotPath)));
    }
    m_window->RequestClose();
}
