#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class SimRandom;

// One user defined in the Broker's database; an empty address means the user has none.
struct SimUser {
    QString name;
    QString email;
};

// One client session as the server lists it.
struct SimSession {
    QString user;  // the user's name as the database spells it
    QString machine;
    quint32 pid = 0;
    QDateTime login;
};

// One debug-logging request the Broker carried out.
struct TraceRequest {
    QDateTime at;
    QString admin;
    QString mode;  // "ON" or "OFF"
    QString level;
    QString types;
    QString machine;  // empty: all clients
};

// Silent: vantrace runs but the Broker never carries its request out (no success line),
// while listings and queries answer normally.
enum class BrokerCondition { Up, Down, Hang, BadCredentials, Broken, Silent };

// The kinds of damage a Broker in the "broken" condition does to its reports.
namespace Damage {
enum Kind : unsigned {
    CutLines = 1u << 0,
    MissingFields = 1u << 1,
    LongLines = 1u << 2,
    HugeLines = 1u << 3,
    BinaryGarbage = 1u << 4,
    DuplicateLines = 1u << 5,
    TruncatedFile = 1u << 6,
};
constexpr unsigned kAll = 0x7F;
// Names as typed on the command line and stored in the state file.
QStringList Names();
// "cut,long" -> flags; "all" -> kAll. False on an unknown name or an empty list.
bool Parse(const QString& text, unsigned& flags);
QString Format(unsigned flags);
}  // namespace Damage

// Everything a simulated Broker knows. Stored as one small text file (see README.md) that is
// always replaced whole, so readers see either the old or the new state, never a mix.
struct BrokerState {
    static constexpr int kDefaultHangSeconds = 60;
    static constexpr const char* kTimeFormat = "yyyy/MM/dd HH:mm:ss";

    QString name;
    QString admin;
    QString password;
    BrokerCondition condition = BrokerCondition::Up;
    int hangSeconds = kDefaultHangSeconds;
    bool churn = false;
    quint64 churnSeed = 1;
    quint64 churnStep = 0;  // churn steps taken so far (one per quslist run)
    quint64 brokenSeed = 1;
    quint64 brokenStep = 0;  // damaged reports written so far
    unsigned damage = Damage::kAll;
    QList<SimUser> users;
    QList<SimSession> sessions;
    QList<TraceRequest> traceLog;

    QByteArray Serialize() const;
    // Reads a serialized state; false with a message naming the line on damaged input.
    static bool Parse(const QByteArray& text, BrokerState& out, QString& error);

    // Exact spelling first, then any spelling (the database compares names without case).
    const SimUser* FindUser(const QString& user) const;
    bool PidInUse(const QString& machine, quint32 pid) const;
    // A process id not yet used on that machine.
    quint32 FreePid(const QString& machine, SimRandom& random) const;
    // Adds a session for a defined user, logged in at `at`.
    void LogOn(const QString& user, const QString& machine, quint32 pid, const QDateTime& at);
    // Removes the sessions of a user (any spelling); returns how many.
    int LogOffUser(const QString& user);
    // Removes one session; false when there is none.
    bool LogOffSession(const QString& machine, quint32 pid);
};

QString ConditionName(BrokerCondition condition);
bool ParseCondition(const QString& text, BrokerCondition& out);

// Text rules: fields are stored tab-separated on one line each, so no value may hold a
// tab or a line break; names that go into report lines may not hold blanks either.
namespace SimText {
bool IsStorable(const QString& value);
bool IsValidUserName(const QString& name);
bool IsValidMachineName(const QString& name);
bool IsValidBrokerName(const QString& name);
// The text with every control character (line breaks included) as a blank, for texts as
// typed that go into a report or log line.
QString OneLine(QString text);
QString FormatTime(const QDateTime& t);
bool ParseTime(const QString& text, QDateTime& out);
bool ParsePid(const QString& text, quint32& out);
}  // namespace SimText
