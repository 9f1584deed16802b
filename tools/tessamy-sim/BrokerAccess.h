#pragma once

#include <QString>

#include "BrokerState.h"
#include "BrokerStore.h"

// What every tool does first: reach the Broker (a missing, damaged or down Broker cannot be
// reached; a hanging one answers only after its hang time) and log in with the
// administrator's credentials.
class BrokerAccess {
public:
    enum class Outcome { Connected, CouldNotConnect, BadCredentials };

    explicit BrokerAccess(BrokerStore& store) : m_store(store) {}

    // On Connected, `state` holds the Broker's state; `detail` explains any other outcome.
    Outcome Connect(const QString& broker, const QString& user, const QString& password,
                    BrokerState& state, QString& detail);

    // The user id compares without case, as on the server; the password exactly.
    static bool CredentialsMatch(const BrokerState& state, const QString& user,
                                 const QString& password);

private:
    BrokerStore& m_store;
};
