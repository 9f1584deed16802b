#pragma once

#include <QList>
#include <QString>

class SettingsStore;

// One recipient as stored: "%d:%s" of the check state and the address.
struct RecipientEntry {
    int checked = 0;
    QString address;
};

// A recipient-list section: "Count" and the entries "0" to Count - 1. Writing first creates
// the section (its unnamed value), then "Count", then the entries; entries past Count from
// an earlier, longer list stay in the store and are never read.
void WriteRecipientEntries(SettingsStore& store, const QString& section,
                           const QList<RecipientEntry>& entries);

// Entries 0 to Count - 1 in order; an entry without a colon is skipped. The check state is
// the decimal value of the text before the first colon (no digits: 0), the address all the
// text after it.
QList<RecipientEntry> ReadRecipientEntries(const SettingsStore& store, const QString& section);
