#include "app/ServiceStart.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/CommandLineOptions.h"
#include "app/QuandrixApp.h"
#include "mail/BrokerWatch.h"
#include "metrics/MetricsEndpoint.h"
#include "metrics/MonitorMetrics.h"

ServiceStart::ServiceStart(const CommandLineOptions& options) : m_options(options) {
    // Taken before the working directory changes: a relative path means the caller's.
    if (!options.configFile.isEmpty())
        m_profilePath = QFileInfo(options.configFile).absoluteFilePath();
}

ServiceStart::~ServiceStart() = default;

void ServiceStart::Complain(const QString& message) {
    std::fprintf(stderr, "quorvatel: %s\n", qPrintable(message));
}

bool ServiceStart::Prepare() {
    const QString dir = m_options.workingDirectory;
    if (!dir.isEmpty()) {
        const QFileInfo info(dir);
        const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
        if (!info.exists()) {
            Complain(QStringLiteral("the working directory %1 does not exist").arg(shown));
            return false;
        }
        if (!info.isDir() || !QDir::setCurrent(info.absoluteFilePath())) {
            Complain(QStringLiteral("cannot work in %1: not a directory one can enter").arg(shown));
            return false;
        }
    }
    if (m_options.metricsListen) {
        m_metrics = std::make_unique<MonitorMetrics>();
        m_endpoint = std::make_unique<MetricsEndpoint>();
        QString error;
        if (!m_endpoint->Start(*m_options.metricsListen, m_metrics->Registry(), error)) {
            Complain(error);
            return false;
        }
    }
    return true;
}

QuandrixServices ServiceStart::WindowServices() const {
    QuandrixServices services;
    services.settingsPath = m_profilePath;
    return services;
}

void ServiceStart::Watch(BrokerWatch& watch) {
    if (!m_metrics) return;
    m_metrics->Watch(watch.Engine(), watch.History());
    m_metrics->WatchMail(watch.Alert(), watch.Recovery());
}

void ServiceStart::Watch(CQuandrixApp& app) {
    app.SetWindowCreatedHook([this](CQuandrixDlg& window) { Watch(window.Watch()); });
}
