#pragma once

#include <QString>

#include "mail/MapStrToEmailObj.h"

class SettingsStore;

// Empties `recipients` and fills it from a recipient-list section ("EMAILLIST",
// "BCDEMAILLIST", "BCGEMAILLIST"): every stored entry with a colon becomes a recipient keyed
// by its address (all the text after the first colon, possibly empty); a repeated address
// keeps the last entry.
void LoadRecipientList(const SettingsStore& store, const QString& section,
                       CMapStrToEmailObj& recipients);
