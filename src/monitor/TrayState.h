#pragma once

#include <QString>
#include <optional>

// What the tray icon shows, without the tray: the state its colour stands for, the tooltip,
// and the desktop notifications due when an alert is raised and when the Broker answers
// again after one.
class TrayState {
public:
    enum class Condition {
        Answering,  // scanning, and the last scan read the Broker's report
        Paused,     // scanning switched off
        Failing,    // the last counted scan failed
    };
    struct Notice {
        QString title;
        QString text;
        bool warning = false;
    };

    static constexpr const char* kTitle = "Quorvatel";

    void SetBroker(const QString& broker) { m_broker = broker; }
    void SetScanEnabled(bool enabled) { m_scanEnabled = enabled; }
    void ScanFailed();
    // The notice that the Broker answers again, when the failures before raised an alert.
    std::optional<Notice> ScanAnswered(int sessions);
    // The failure limit was reached.
    Notice AlertRaised();

    Condition State() const;
    QString StateText() const;
    QString ToolTip() const;
    int Sessions() const { return m_sessions; }
    int RunFailures() const { return m_failures; }

private:
    QString m_broker;
    bool m_scanEnabled = true;
    int m_sessions = 0;
    bool m_sessionsKnown = false;
    int m_failures = 0;  // failed scans since the last answered one
    bool m_alerted = false;
};
