#pragma once

#include <QString>

// Every change of the login matrix travels as one line of text such as
// "EXE=ADD PID=3312 NAME=ALICE MN=PC042 DT=2017/11/01_14:05:09 ST=" and is parsed back
// before it is applied.
struct EventRecord {
    QString verb;      // ADD, UPO, DEL or REC
    QString pid;
    QString name;
    QString machine;
    QString datetime;  // with a blank between date and time
    QString status;
};

namespace EventText {
QString Add(const QString& pid, const QString& name, const QString& machine,
            const QString& datetime, const QString& status);
QString Upo(const QString& pid, const QString& name, const QString& machine,
            const QString& datetime, const QString& status);
QString Del(const QString& pid, const QString& name, const QString& machine,
            const QString& status);
QString DelPlain(const QString& pid, const QString& name, const QString& machine);
QString AddPlaceholder(const QString& pid, const QString& name, const QString& machine);
QString FailBrokerConnect(const QString& source);
inline constexpr const char* kInvalidCredentials =
    "EXE=REC PID=Error NAME=Broker MN=Invalid Credentials";
inline constexpr const char* kFailedToRespond = "EXE=REC PID=Error NAME=Broker MN=Failed to Respond";
inline constexpr const char* kLoggingFailed = "EXE=REC PID=Error NAME=VANTRACE MN=Logging Failed";
inline constexpr const char* kLoggingOffFailed =
    "EXE=REC PID=Error NAME=VANTRACE MN=Logging OFF Failed";
}  // namespace EventText

// The text after the first `key` in `source` up to the first `terminator` (or the end),
// at most 1023 characters; false and an empty destination when the key is absent.
bool ExtractField(const QString& key, QChar terminator, const QString& source,
                  QString& destination);

// A stored date-time "2017/11/01_14:05:09" shown as "2017/11/01 14:05:09": the parts
// around the first "_", each trimmed, joined by a blank.
QString DateTimeFromField(const QString& dt);

// `now` is the current time stamp, used where the event carries no date-time of its own.
EventRecord ParseEventRecord(const QString& text, const QString& now);
