#include "mail/BrokerRecovery.h"

#include "app/Timestamp.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"

BrokerRecovery::BrokerRecovery(HistoryLog& history, Mailer& mailer, const Clock& clock,
                               const EmailSettings& settings)
    : m_history(history), m_mailer(mailer), m_clock(clock), m_settings(settings) {}

QString BrokerRecovery::ComposeBody(int failures, const QString& downSince) {
    return QString::fromLatin1(kBodyFormat).arg(QString::number(failures), downSince);
}

QString BrokerRecovery::HistoryLine(const QString& timestamp, const QString& address, bool sent) {
    return QString::fromLatin1(kLineHead) + timestamp +
           QString::fromLatin1(sent ? kSentTo : kFailedTo) + address + QLatin1Char('\n');
}

void BrokerRecovery::ScanFailed() {
    if (m_failures++ == 0) m_downSince = CurrentTimestamp(m_clock);
}

bool BrokerRecovery::ScanAnswered() {
    // Alerts switched off since the alert went out: the recipients hear nothing more.
    const bool due = m_alertSent && m_settings.alertsEnabled && m_settings.recoveryEnabled;
    if (due) SendRecovery();
    m_failures = 0;
    m_downSince.clear();
    m_alertSent = false;
    return due;
}

void BrokerRecovery::SendRecovery() {
    if (!m_mailer.WriteContentFile(ComposeBody(m_failures, m_downSince))) {
        m_mailer.Warn(QString::fromLatin1(Mailer::kContentWriteFailed));
        return;
    }
    const QString subject = m_settings.subject + QString::fromLatin1(kSubjectSuffix);
    // A copy: the loop must not depend on the settings being reloaded meanwhile.
    const CMapStrToEmailObj recipients = m_settings.alertRecipients;
    Mailer::Command command(m_mailer);
    for (const CEmailObj& recipient : recipients) {
        if (!recipient.IsChecked()) continue;
        const int result = m_mailer.SendEmail(recipient.Address, subject, m_settings);
        m_history.WriteHistoryLine(
            HistoryLine(CurrentTimestamp(m_clock), recipient.Address, Mailer::Sent(result)));
        if (m_mailedHook) m_mailedHook(Mailer::Sent(result));
    }
}
