#pragma once

#include <QString>

// One client session as the scanner keeps it. Pid "Error" marks a failure entry, "0000" the
// debug-logging placeholder.
struct LoginRecord {
    QString Pid;
    QString UserId;          // upper-cased
    QString Machine;         // upper-cased
    QString DateTime;        // date and time joined by "_"
    QString ReportedUserId;  // as the report spelled it
    QString Email;
    QString Status;          // "Stale" or empty

    // The key of a session everywhere: Machine + "/" + Pid.
    QString Key() const { return MakeKey(Machine, Pid); }
    static QString MakeKey(const QString& machine, const QString& pid) {
        QString key;
        key.reserve(machine.size() + 1 + pid.size());
        key.append(machine).append(QLatin1Char('/')).append(pid);
        return key;
    }

    bool operator==(const LoginRecord&) const = default;
};

inline constexpr const char* kErrorPid = "Error";
// A failure entry is known by its PID cell holding "Error".
inline bool IsFailurePid(const QString& pid) {
    return pid.contains(QLatin1String(kErrorPid));
}
inline constexpr const char* kPlaceholderPid = "0000";
inline constexpr const char* kStaleStatus = "Stale";
// What an "Error" entry says went wrong: the first two are scans the Broker did not answer.
inline constexpr const char* kFailedToRespondText = "Failed to Respond";
inline constexpr const char* kFailBrokerConnectText = "Fail Broker Connect";
inline constexpr const char* kInvalidCredentialsText = "Invalid Credentials";
