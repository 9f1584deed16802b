#include "BrokerAccess.h"

#include <chrono>
#include <thread>

BrokerAccess::Outcome BrokerAccess::Connect(const QString& broker, const QString& user,
                                            const QString& password, BrokerState& state,
                                            QString& detail) {
    if (m_store.Read(broker, state, detail) != BrokerStore::Result::Ok)
        return Outcome::CouldNotConnect;
    if (state.condition == BrokerCondition::Hang) {
        std::this_thread::sleep_for(std::chrono::seconds(state.hangSeconds));
        // It may have been set right while we waited.
        if (m_store.Read(broker, state, detail) != BrokerStore::Result::Ok)
            return Outcome::CouldNotConnect;
    }
    if (state.condition == BrokerCondition::Down) {
        detail = QStringLiteral("Broker ") + broker + QStringLiteral(" is down");
        return Outcome::CouldNotConnect;
    }
    if (state.condition == BrokerCondition::BadCredentials) {
        detail = QStringLiteral("Broker ") + broker +
                 QStringLiteral(" refuses every administrator login");
        return Outcome::BadCredentials;
    }
    if (!CredentialsMatch(state, user, password)) {
        detail = QStringLiteral("wrong administrator user id or password for Broker ") + broker;
        return Outcome::BadCredentials;
    }
    return Outcome::Connected;
}

bool BrokerAccess::CredentialsMatch(const BrokerState& state, const QString& user,
                                    const QString& password) {
    return !user.isEmpty() && user.compare(state.admin, Qt::CaseInsensitive) == 0 &&
           password == state.password;
}
