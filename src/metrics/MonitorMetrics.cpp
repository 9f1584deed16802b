#include "metrics/MonitorMetrics.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <QDateTime>

#include "mail/BrokerAlert.h"
#include "mail/BrokerRecovery.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

namespace {

struct SeriesName {
    const char* name;
    const char* help;
};

// In the order of MonitorMetrics::GaugeId.
constexpr SeriesName kGaugeNames[] = {
    {"quorvatel_broker_up", "Whether the Broker answered the last scan (1) or not (0)."},
    {"quorvatel_sessions", "Client sessions on show after the last answered scan."},
    {"quorvatel_database_active_users",
     "Active users defined in the Broker's database, as the last report said."},
    {"quorvatel_contiguous_scan_failures", "Failed scans in a row since the Broker last answered."},
    {"quorvatel_scan_failures_alert_limit",
     "Failed scans in a row that send the alert mail (0: no alert is ever sent)."},
    {"quorvatel_history_lines_waiting",
     "History lines waiting to be written because the history file cannot be written."},
    {"quorvatel_last_scan_timestamp_seconds",
     "When the last scan was counted (before the first, when watching began), in seconds "
     "since the Unix epoch."},
    {"quorvatel_scan_interval_seconds", "The scanning interval."},
};

// In the order of MonitorMetrics::CounterId.
constexpr SeriesName kCounterNames[] = {
    {"quorvatel_scans_total", "Scans counted, answered or failed."},
    {"quorvatel_scan_failures_total", "Scans the Broker did not answer."},
    {"quorvatel_alert_mails_sent_total", "Alert mails sent, one per recipient."},
    {"quorvatel_alert_mails_failed_total", "Alert mails the mail tool failed to send."},
    {"quorvatel_recovery_mails_sent_total", "Mails sent that the Broker answers again."},
    {"quorvatel_recovery_mails_failed_total", "Recovery mails the mail tool failed to send."},
    {"quorvatel_sessions_added_total", "Client sessions that appeared."},
    {"quorvatel_sessions_removed_total", "Client sessions that ended."},
};

double NowSeconds() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

}  // namespace

MonitorMetrics::MonitorMetrics(QObject* parent)
    : QObject(parent), m_registry(std::make_shared<prometheus::Registry>()) {
    static_assert(std::size(kGaugeNames) == kGaugeCount);
    static_assert(std::size(kCounterNames) == kCounterCount);
    for (int i = 0; i < kGaugeCount; ++i)
        m_gaugeFamilies[i] = &prometheus::BuildGauge()
                                  .Name(kGaugeNames[i].name)
                                  .Help(kGaugeNames[i].help)
                                  .Register(*m_registry);
    for (int i = 0; i < kCounterCount; ++i)
        m_counterFamilies[i] = &prometheus::BuildCounter()
                                    .Name(kCounterNames[i].name)
                                    .Help(kCounterNames[i].help)
                                    .Register(*m_registry);
    m_durationFamily = &prometheus::BuildHistogram()
                            .Name("quorvatel_scan_duration_seconds")
                            .Help("How long scan cycles take, the tool run included.")
                            .Register(*m_registry);
}

MonitorMetrics::~MonitorMetrics() = default;

void MonitorMetrics::Watch(ScanEngine& engine, HistoryLog& history) {
    m_engine = &engine;
    m_history = &history;
    connect(&engine, &ScanEngine::ScanCounted, this, &MonitorMetrics::OnScanCounted);
    connect(&engine, &ScanEngine::ActiveUsersRead, this, &MonitorMetrics::OnActiveUsersRead);
    connect(&engine, &ScanEngine::CycleEnded, this, &MonitorMetrics::OnCycleEnded);
    FollowBroker();
    ReadState();
}

void MonitorMetrics::WatchMail(BrokerAlert& alert, BrokerRecovery& recovery) {
    alert.SetMailedHook([this](bool sent) { Count(sent ? kAlertsSent : kAlertsFailed); });
    recovery.SetMailedHook(
        [this](bool sent) { Count(sent ? kRecoveriesSent : kRecoveriesFailed); });
}

void MonitorMetrics::FollowBroker() {
    const QString broker = m_engine ? m_engine->Settings().broker : QString();
    if (m_labelled && broker == m_broker) return;
    m_broker = broker;
    m_labelled = true;
    m_failureRun = 0;
    const prometheus::Labels labels{{"broker", broker.toStdString()}};
    for (int i = 0; i < kGaugeCount; ++i) {
        if (m_gauges[i]) m_gaugeFamilies[i]->Remove(m_gauges[i]);
        m_gauges[i] = &m_gaugeFamilies[i]->Add(labels);
    }
    for (int i = 0; i < kCounterCount; ++i) {
        if (m_counters[i]) m_counterFamilies[i]->Remove(m_counters[i]);
        m_counters[i] = &m_counterFamilies[i]->Add(labels);
    }
    if (m_duration) m_durationFamily->Remove(m_duration);
    m_duration = &m_durationFamily->Add(
        labels,
        prometheus::Histogram::BucketBoundaries(kDurationBuckets.begin(), kDurationBuckets.end()));
    // A zero would read as "no scan for decades" while the first cycle still waits for its
    // tool, and set off the alert on scans that stopped at every start.
    m_gauges[kLastScan]->Set(NowSeconds());
}

void MonitorMetrics::ReadState() {
    if (!m_engine) return;
    m_gauges[kAlertLimit]->Set(m_engine->ContigFailLimit());
    m_gauges[kInterval]->Set(m_engine->Settings().interval);
    m_gauges[kHistoryWaiting]->Set(m_history->WaitingLines());
}

void MonitorMetrics::Count(CounterId which, double by) {
    if (m_counters[which]) m_counters[which]->Increment(by);
}

void MonitorMetrics::OnScanCounted(bool answered, int sessions) {
    FollowBroker();
    Count(kScans);
    if (answered) {
        m_failureRun = 0;
        m_gauges[kSessions]->Set(sessions);
    } else {
        ++m_failureRun;
        Count(kScanFailures);
    }
    m_gauges[kBrokerUp]->Set(answered ? 1 : 0);
    m_gauges[kFailureRun]->Set(m_failureRun);
    m_gauges[kLastScan]->Set(NowSeconds());
    ReadState();
}

void MonitorMetrics::OnActiveUsersRead(const QString& count) {
    FollowBroker();
    bool ok = false;
    const qlonglong users = count.trimmed().toLongLong(&ok);
    if (ok) m_gauges[kActiveUsers]->Set(static_cast<double>(users));
}

void MonitorMetrics::OnCycleEnded(double seconds, int added, int removed) {
    FollowBroker();
    m_duration->Observe(seconds);
    if (added > 0) Count(kSessionsAdded, added);
    if (removed > 0) Count(kSessionsRemoved, removed);
    ReadState();
}
