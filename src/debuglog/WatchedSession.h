#pragma once

#include <QString>

// The session a right-click chose: the texts the debug-logging and message commands of the
// row menu act on, and the session debug logging watches.
struct WatchedSession {
    QString pid;
    QString userId;
    QString machine;
    QString dateTime;
    bool operator==(const WatchedSession&) const = default;
};
