#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <string_view>

class Clock;
class HistoryLog;
class Mailer;
struct EmailSettings;

// The mail that tells the alert recipients the Broker answers again. It follows the current
// run of failed scans: when a scan succeeds after a run that raised an alert, every checked
// alert recipient gets one mail, and each sending leaves a history line beside the alert's.
class BrokerRecovery {
public:
    static constexpr const char* kSubjectSuffix = " - Recovered";
    // Failed tries of the run, and when its first failure was.
    static constexpr const char* kBodyFormat =
        "Broker Connect Restored after %1 failed tries. Down since %2.";
    // The time stamp starts in the same column as in the alert's lines.
    static constexpr const char* kLineHead =
        "REC : PID=Error NAME=Broker MN=Answering Again             ";
    static constexpr const char* kSentTo = " --> Sent Recovery To: ";
    static constexpr const char* kFailedTo = " --> Recovery Send Failed To: ";
    static_assert(std::string_view(kLineHead).size() == 59);

    // `settings` are the main window's e-mail settings, read when the mail goes out.
    BrokerRecovery(HistoryLog& history, Mailer& mailer, const Clock& clock,
                   const EmailSettings& settings);

    // A scan that counted a failure: the run goes on (or starts now).
    void ScanFailed();
    // The alert mail of the current run went out.
    void AlertSent() { m_alertSent = true; }
    // A scan that read the Broker's report: ends the run, with the recovery mail when the
    // run raised an alert and recovery mail is on. True when the mail was sent (tried).
    bool ScanAnswered();

    // Told once per recipient tried, whether the mail went out.
    void SetMailedHook(std::function<void(bool sent)> hook) { m_mailedHook = std::move(hook); }

    int RunFailures() const { return m_failures; }
    bool AlertSentInRun() const { return m_alertSent; }

    static QString ComposeBody(int failures, const QString& downSince);
    static QString HistoryLine(const QString& timestamp, const QString& address, bool sent);

private:
    void SendRecovery();

    HistoryLog& m_history;
    Mailer& m_mailer;
    const Clock& m_clock;
    const EmailSettings& m_settings;

    int m_failures = 0;
    QString m_downSince;  // time stamp of the run's first failure
    bool m_alertSent = false;
    std::function<void(bool)> m_mailedHook;
};
