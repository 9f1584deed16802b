#include "service/ProfileEdits.h"

#include "app/PasswordScrambler.h"
#include "app/RecipientListStore.h"
#include "app/SettingsKeys.h"
#include "platform/SettingsStore.h"

bool ProfileEdits::Empty() const {
    return !broker && !adminUserId && !password && !interval && !alertsEnabled &&
           !recoveryEnabled && !alertLimit && !server && !port && !from && !subject && !content &&
           !alertRecipients;
}

bool ProfileEdits::WriteTo(SettingsStore& store) const {
    const QString section = QString::fromLatin1(Setting::kSection);
    {
        // One save of the whole profile, whatever the number of recipients.
        const SettingsStore::Batch batch(store);
        const auto text = [&](const SettingDef& def, const std::optional<QString>& value) {
            if (value) store.WriteText(section, QString::fromLatin1(def.key), *value);
        };
        const auto flag = [&](const SettingDef& def, const std::optional<bool>& value) {
            if (value) text(def, QString::fromLatin1(*value ? "1" : "0"));
        };
        text(Setting::Broker, broker);
        text(Setting::AdminUserId, adminUserId);
        if (password) text(Setting::AdminPswd, ScramblePassword(*password));
        if (interval)
            store.WriteInt(section, QString::fromLatin1(Setting::Interval.key), *interval);
        flag(Setting::EmailAlertsEnabled, alertsEnabled);
        flag(Setting::EmailRecoveryEnabled, recoveryEnabled);
        if (alertLimit) text(Setting::ContigFailLimit, QString::number(*alertLimit));
        text(Setting::EmailServer, server);
        text(Setting::EmailPort, port);
        text(Setting::EmailFrom, from);
        text(Setting::EmailSubject, subject);
        text(Setting::EmailContent, content);
        if (alertRecipients) {
            QList<RecipientEntry> entries;
            for (const QString& address : *alertRecipients) entries.append({1, address});
            WriteRecipientEntries(store, QString::fromLatin1(RecipientSection::kAlerts), entries);
        }
    }
    return store.Saved();
}
