#include "mail/BrokerAlert.h"

#include "app/Timestamp.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"
#include "scan/ScannerControl.h"

BrokerAlert::BrokerAlert(ScannerControl& scanner, HistoryLog& history, Mailer& mailer,
                         const Clock& clock, const EmailSettings& settings)
    : m_scanner(scanner),
      m_history(history),
      m_mailer(mailer),
      m_clock(clock),
      m_settings(settings) {}

QString BrokerAlert::ComposeAlertBody(const QString& content, int tries) {
    const qsizetype open = content.indexOf(QLatin1Char('['));
    const qsizetype close = content.indexOf(QLatin1Char(']'));
    if (open < 0 || close < 0) return content;
    return content.left(open) + QString::number(tries) + content.mid(close + 1);
}

QString BrokerAlert::HistoryLine(const QString& timestamp, const QString& address, bool sent) {
    return QString::fromLatin1(kLineHead) + timestamp +
           QString::fromLatin1(sent ? kSentTo : kFailedTo) + address + QLatin1Char('\n');
}

void BrokerAlert::Rescan() {
    m_rescanning = true;
    m_scanner.RunScanCycle();
    m_rescanning = false;
}

void BrokerAlert::SendBrokerAlert(int tries) {
    // With a limit of 1 the scan that follows an alert reaches the limit by itself when the
    // Broker is still down; alerting from there would start the next scan from inside it,
    // and so on without end. That failure waits for the next scan of the timer instead.
    if (!m_settings.alertsEnabled || m_rescanning) return;
    m_scanner.PauseScanner();

    if (!m_mailer.WriteContentFile(ComposeAlertBody(m_settings.content, tries))) {
        m_mailer.Warn(QString::fromLatin1(Mailer::kContentWriteFailed));
        Rescan();
        return;
    }

    // A copy: the loop must not depend on the settings being reloaded meanwhile.
    const CMapStrToEmailObj recipients = m_settings.alertRecipients;
    {
        Mailer::Command command(m_mailer);
        for (const CEmailObj& recipient : recipients) {
            if (!recipient.IsChecked()) continue;
            const int result = m_mailer.SendEmail(recipient.Address, m_settings);
            m_history.WriteHistoryLine(
                HistoryLine(CurrentTimestamp(m_clock), recipient.Address, Mailer::Sent(result)));
            if (m_mailedHook) m_mailedHook(Mailer::Sent(result));
        }
    }
    // The scan below may already find the Broker answering again.
    if (m_sentHook) m_sentHook();

    Rescan();
}
