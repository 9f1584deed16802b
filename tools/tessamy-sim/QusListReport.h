#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "BrokerState.h"

class SimRandom;

// The users-listing report "QusList.log": header lines, the count of users defined in the
// database, a separator, one line per client session and the success line.
namespace QusListReport {

constexpr const char* kFileName = "QusList.log";
constexpr const char* kSuccessLine = "QUSLIST has been executed successfully.";
constexpr const char* kCouldNotConnect = "COULD NOT CONNECT TO BROKER";
constexpr const char* kUserCountLabel = "Number of active users defined in the database: ";
// The two characters the listing puts between the transport and the machine name.
constexpr const char* kClientPrefix = "TCP:01";

// "TCP:01PC042/3312".
QString ClientField(const QString& machine, quint32 pid);
// One session line: user, client and login date-time separated by blanks.
QString SessionLine(const QString& user, const QString& machine, quint32 pid,
                    const QDateTime& login);

// The normal report: the Broker's sessions, then the caller's own session.
QByteArray Normal(const BrokerState& state, const SimSession& own, const QDateTime& now);
// "TESBKR01: COULD NOT CONNECT TO BROKER" after the header.
QByteArray CouldNotConnect(const QString& broker, const QDateTime& now);
// Header and an error text, no separator. Names stay out of it, as in the header.
QByteArray BadCredentials(const QDateTime& now);

// Damages a normal report in the enabled ways (Damage::Kind flags); at least one damage
// is always done.
QByteArray Damaged(const QByteArray& report, unsigned kinds, SimRandom& random);

// This machine's name as it appears in a client field.
QString HostMachineName();

}  // namespace QusListReport
