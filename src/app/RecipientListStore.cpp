#include "app/RecipientListStore.h"

#include "platform/SettingsStore.h"

int LeadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 n = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80; ++i) {
        n = n * 10 + (text[i].unicode() - '0');
        if (n > 0x7FFFFFFF) n = 0x80000000LL;  // saturate like the C library
    }
    if (negative) n = -n;
    return static_cast<int>(qBound<qint64>(-0x7FFFFFFFLL - 1, n, 0x7FFFFFFF));
}

bool WriteRecipientEntries(SettingsStore& store, const QString& section,
                           const QList<RecipientEntry>& entries) {
    bool ok = store.WriteText(section, QString(), QString());
    ok = store.WriteInt(section, QStringLiteral("Count"), static_cast<quint32>(entries.size())) &&
         ok;
    for (int i = 0; i < entries.size(); ++i) {
        ok = store.WriteText(
                 section, QString::number(i),
                 QString::number(entries[i].checked) + QLatin1Char(':') + entries[i].address) &&
             ok;
    }
    return ok;
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
