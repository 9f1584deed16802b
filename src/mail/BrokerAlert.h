#pragma once

#include <QString>
#include <functional>
#include <string_view>

class Clock;
class HistoryLog;
class Mailer;
class ScannerControl;
struct EmailSettings;

// The mail sent when the Broker has failed to answer a run of scans: one mail per checked
// alert recipient, a history line for each, then a fresh scan cycle.
class BrokerAlert {
public:
    // The history line per recipient: the time stamp starts in the column where it starts in
    // the lines that carry a PID, a user and a machine.
    static constexpr const char* kLineHead =
        "REC : PID=Error NAME=Broker MN=Failed to Respond           ";
    static constexpr const char* kSentTo = " --> Sent Alert To: ";
    static constexpr const char* kFailedTo = " --> Alert Send Failed To: ";
    static_assert(std::string_view(kLineHead).size() == 59);

    // `settings` are the main window's e-mail settings; they are read on every alert, so a
    // reload after the alert settings dialog takes effect at once.
    BrokerAlert(ScannerControl& scanner, HistoryLog& history, Mailer& mailer, const Clock& clock,
                const EmailSettings& settings);

    // Does nothing when alerts are off; otherwise pauses the scanner, mails every checked
    // recipient and always ends with a new scan cycle.
    void SendBrokerAlert(int tries);

    // Told when an alert's mails have gone out, before the scan that follows it.
    void SetSentHook(std::function<void()> hook) { m_sentHook = std::move(hook); }

    // Told once per recipient tried, whether the mail went out.
    void SetMailedHook(std::function<void(bool sent)> hook) { m_mailedHook = std::move(hook); }

    // For the scanner's alert hook.
    std::function<void(int)> Hook() {
        return [this](int tries) { SendBrokerAlert(tries); };
    }

    // The text before the template's first "[", the count, and the text after its first "]"
    // (both searched from the start, so "x]y[z" gives "x]y" + count + "y[z"). A template
    // without both brackets is used unchanged; the template itself is never modified.
    static QString ComposeAlertBody(const QString& content, int tries);
    static QString HistoryLine(const QString& timestamp, const QString& address, bool sent);

private:
    // The fresh scan that ends every alert; an alert raised inside it is not sent.
    void Rescan();

    ScannerControl& m_scanner;
    HistoryLog& m_history;
    Mailer& m_mailer;
    const Clock& m_clock;
    const EmailSettings& m_settings;
    bool m_rescanning = false;
    std::function<void()> m_sentHook;
    std::function<void(bool)> m_mailedHook;
};
