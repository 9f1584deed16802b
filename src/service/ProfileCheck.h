#pragma once

#include <QStringList>

class SettingsStore;

// Whether a profile can run a monitor that nobody watches: the window asks for what is
// missing and reads a malformed number as its default, but a service must be told at start
// instead. Checks that the file can be read, that the Broker, the administrator, the
// password and the interval are there, and that every number and switch stored is one.
class ProfileCheck {
public:
    // What is wrong with the profile in `store` (read from `path`), one problem per entry;
    // empty when it can run a monitor.
    static QStringList Problems(const SettingsStore& store, const QString& path);
};
