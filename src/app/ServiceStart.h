#pragma once

#include <QString>
#include <memory>

#include "monitor/QuandrixDlg.h"

class BrokerWatch;
class CQuandrixApp;
class CommandLineOptions;
class MetricsEndpoint;
class MonitorMetrics;

// What a monitor started from the command line sets up before it runs, in its window or
// headless: the profile it reads, the working directory it enters, and the metrics endpoint.
// Nothing is written anywhere before all of them are known to be usable.
class ServiceStart {
public:
    // The exit status of a start refused for the command line or the profile.
    static constexpr int kBadStart = 2;

    explicit ServiceStart(const CommandLineOptions& options);
    ~ServiceStart();

    // Enters the working directory and listens for metrics. False, the reason printed to
    // standard error, when the program should end with kBadStart.
    bool Prepare();

    // The absolute path of the profile to read, or empty for the user's own.
    QString ProfilePath() const { return m_profilePath; }
    // The window's services with the chosen profile.
    QuandrixServices WindowServices() const;

    // The metrics follow this monitor (nothing happens without --metrics-listen).
    void Watch(BrokerWatch& watch);
    // The same for the window `app` is about to create.
    void Watch(CQuandrixApp& app);

    // "quorvatel: " and `message` on standard error.
    static void Complain(const QString& message);

private:
    const CommandLineOptions& m_options;
    QString m_profilePath;
    std::unique_ptr<MonitorMetrics> m_metrics;
    std::unique_ptr<MetricsEndpoint> m_endpoint;
};
