#include "mail/EmailSettings.h"

#include "app/SettingsKeys.h"
#include "mail/RecipientList.h"
#include "platform/TextHelpers.h"

EmailSettings LoadEmailSettings(const AppSettings& settings) {
    EmailSettings s;
    s.alertsEnabled = settings.Text(Setting::EmailAlertsEnabled) == QLatin1String("1");
    s.recoveryEnabled = settings.Text(Setting::EmailRecoveryEnabled) != QLatin1String("0");
    s.contigFailLimit = LeadingInt(settings.TextOrFallback(Setting::ContigFailLimit));
    s.server = settings.TextOrFallback(Setting::EmailServer);
    s.port = settings.TextOrFallback(Setting::EmailPort);
    s.from = settings.TextOrFallback(Setting::EmailFrom);
    s.subject = settings.TextOrFallback(Setting::EmailSubject);
    s.content = settings.TextOrFallback(Setting::EmailContent);
    LoadRecipientList(settings.Store(), QString::fromLatin1(RecipientSection::kAlerts),
                      s.alertRecipients);
    return s;
}
