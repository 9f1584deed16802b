#include "mail/RecipientList.h"

#include "app/RecipientListStore.h"

void LoadRecipientList(const SettingsStore& store, const QString& section,
                       CMapStrToEmailObj& recipients) {
    recipients.RemoveAll();
    for (const RecipientEntry& entry : ReadRecipientEntries(store, section)) {
        recipients.SetAt(entry.address, CEmailObj(entry.address, entry.checked));
    }
}
