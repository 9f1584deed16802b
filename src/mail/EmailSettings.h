#pragma once

#include <QString>

#include "mail/MapStrToEmailObj.h"

class AppSettings;

// The e-mail values the main window holds: one server, port and sender for every mail it
// sends, the alert switch, limit, subject and template, and the alert recipients.
struct EmailSettings {
    bool alertsEnabled = false;  // only the stored text "1" turns alerts on
    int contigFailLimit = 6;     // atoi of the stored text; 0 or less never alerts
    QString server;
    QString port;
    QString from;
    QString subject;
    QString content;  // the alert template; its first "[...]" token takes the failure count
    CMapStrToEmailObj alertRecipients;
    // Mail the alert recipients when the Broker answers again; only the stored text "0"
    // turns it off.
    bool recoveryEnabled = true;
};

// Reads the values from section "Settings" and the list "EMAILLIST"; an absent or empty text
// gives the placeholder or default the program shows for it.
EmailSettings LoadEmailSettings(const AppSettings& settings);
