#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class SettingsStore;

// The settings a profile for a service is written with from the command line: only the
// values given change, the rest of the profile stays as it is. The keys and encodings are
// the window's own, so that the window and a headless monitor read the same profile.
struct ProfileEdits {
    std::optional<QString> broker;
    std::optional<QString> adminUserId;
    std::optional<QString> password;  // plain; stored scrambled
    std::optional<quint32> interval;  // seconds
    std::optional<bool> alertsEnabled;
    std::optional<bool> recoveryEnabled;
    std::optional<quint32> alertLimit;
    std::optional<QString> server;
    std::optional<QString> port;
    std::optional<QString> from;
    std::optional<QString> subject;
    std::optional<QString> content;
    // Replaces the alert recipient list; every address is ticked.
    std::optional<QStringList> alertRecipients;

    bool Empty() const;
    // False when the store could not be written.
    bool WriteTo(SettingsStore& store) const;
};
