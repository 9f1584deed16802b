#pragma once

#include <QDateTime>
#include <QString>

#include "BrokerState.h"

// How a simulated Broker gets its users and sessions: a seeded population at creation and
// a little seeded churn on each listing, so a demo matrix keeps moving.
namespace Population {

struct Plan {
    QString broker;
    QString admin = QStringLiteral("admin");
    QString password = QStringLiteral("admin");
    int users = 20;
    int sessions = 8;
    int staleSessions = 0;  // sessions that logged in yesterday
    quint64 seed = 1;
    QString emailDomain = QStringLiteral("example.com");
};

constexpr int kMaxUsers = 100000;
constexpr int kMaxSessions = 20000;

// "PC007".
QString MachineName(int number);

// Users with varied spellings (lower, mixed and upper case, dotted names, names with a
// quote), about one in seven without an e-mail address; sessions spread over the last
// eight hours in login order.
BrokerState Create(const Plan& plan, const QDateTime& now);

// One churn step: logs one to three random users on or off.
void Churn(BrokerState& state, const QDateTime& now);

}  // namespace Population
