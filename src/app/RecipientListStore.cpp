#include "app/RecipientListStore.h"

#include "platform/SettingsStore.h"
#include "platform/TextHelpers.h"

void WriteRecipientEntries(SettingsStore& store, const QString& section,
                           const QList<RecipientEntry>& entries) {
    const SettingsStore::Batch batch(store);
    store.WriteText(section, QString(), QString());
    store.WriteInt(section, QStringLiteral("Count"), static_cast<quint32>(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        store.WriteText(
            section, QString::number(i),
            QString::number(entries[i].checked) + QLatin1Char(':') + entries[i].address);
    }
}

QList<RecipientEntry> ReadRecipientEntries(const SettingsStore& store, const QString& section) {
    QList<RecipientEntry> out;
    const quint32 count = store.ReadInt(section, QStringLiteral("Count"), 0);
    // A damaged Count must not make us walk billions of absent entries.
    const quint32 limit = qMin<quint32>(count, 100000);
    for (quint32 i = 0; i < limit; ++i) {
        const QString entry = store.ReadText(section, QString::number(i));
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        out.append({LeadingInt(entry.left(colon)), entry.mid(colon + 1)});
    }
    return out;
}
