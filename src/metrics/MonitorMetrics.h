#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>

class BrokerAlert;
class BrokerRecovery;
class HistoryLog;
class ScanEngine;

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
class Registry;
template <typename T>
class Family;
}  // namespace prometheus

// The monitor's figures as Prometheus series, every one labelled with the Broker's name:
// whether the Broker answered the last scan, the sessions on show, the scans and failed
// scans, the current run of failures against the alert limit, the alert and recovery mails,
// the sessions that came and went, the history lines waiting, and how long cycles take.
// Fed on the monitor's thread by the scanner's signals and the mails' hooks; the endpoint's
// threads read the registry meanwhile.
class MonitorMetrics : public QObject {
    Q_OBJECT
public:
    // Scan cycle durations, in seconds: the tool's time limit is 20 s.
    static constexpr std::array<double, 12> kDurationBuckets{0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
                                                             1,    2.5,   5,    10,  20,   30};

    explicit MonitorMetrics(QObject* parent = nullptr);
    ~MonitorMetrics() override;

    // Follows this monitor's scans from now on. The engine's Broker names the series; where
    // the settings change it, the series start afresh under the new name.
    void Watch(ScanEngine& engine, HistoryLog& history);
    // Counts the alert and recovery mails.
    void WatchMail(BrokerAlert& alert, BrokerRecovery& recovery);

    std::shared_ptr<prometheus::Registry> Registry() const { return m_registry; }

private:
    enum GaugeId {
        kBrokerUp,
        kSessions,
        kActiveUsers,
        kFailureRun,
        kAlertLimit,
        kHistoryWaiting,
        kLastScan,
        kInterval,
        kGaugeCount
    };
    enum CounterId {
        kScans,
        kScanFailures,
        kAlertsSent,
        kAlertsFailed,
        kRecoveriesSent,
        kRecoveriesFailed,
        kSessionsAdded,
        kSessionsRemoved,
        kCounterCount
    };

    void OnScanCounted(bool answered, int sessions);
    void OnActiveUsersRead(const QString& count);
    void OnCycleEnded(double seconds, int added, int removed);
    void Count(CounterId which, double by = 1);
    // The series of the engine's Broker, made anew when it has changed.
    void FollowBroker();
    // The figures read from the engine and the history log rather than told.
    void ReadState();

    std::shared_ptr<prometheus::Registry> m_registry;
    std::array<prometheus::Family<prometheus::Gauge>*, kGaugeCount> m_gaugeFamilies{};
    std::array<prometheus::Family<prometheus::Counter>*, kCounterCount> m_counterFamilies{};
    prometheus::Family<prometheus::Histogram>* m_durationFamily = nullptr;
    std::array<prometheus::Gauge*, kGaugeCount> m_gauges{};
    std::array<prometheus::Counter*, kCounterCount> m_counters{};
    prometheus::Histogram* m_duration = nullptr;

    ScanEngine* m_engine = nullptr;
    HistoryLog* m_history = nullptr;
    QString m_broker;
    bool m_labelled = false;
    int m_failureRun = 0;  // failed scans since the Broker last answered
};
