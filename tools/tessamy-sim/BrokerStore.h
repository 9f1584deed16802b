#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "BrokerState.h"

// Where the simulated Brokers live and how their state is read and changed. Each Broker is
// a directory holding "state.tsv"; a change takes the Broker's lock file, reads, changes and
// replaces the file through a rename, so concurrent tools never lose an update and a tool
// killed mid-run leaves the previous state intact.
class BrokerStore {
public:
    enum class Result { Ok, NoSuchBroker, Damaged, LockFailed, WriteFailed, Refused };

    static constexpr const char* kHomeVariable = "TESSAMY_SIM_HOME";
    static constexpr const char* kStateFile = "state.tsv";
    static constexpr const char* kLockFile = "state.lock";

    // $TESSAMY_SIM_HOME when set, else ~/.local/share/tessamy-sim.
    static QString DefaultHome();

    explicit BrokerStore(QString home = DefaultHome());

    QString Home() const { return m_home; }
    // Broker names are compared without case; the directory uses the upper-case spelling.
    QString BrokerDir(const QString& broker) const;
    bool Exists(const QString& broker) const;
    QStringList BrokerNames() const;

    // Reads without the lock: the file is only ever replaced whole.
    Result Read(const QString& broker, BrokerState& out, QString& error) const;

    // Reads, lets `change` alter the state and writes it back, all under the lock. When
    // `change` returns false nothing is written and the result is Refused (error set by it).
    using Change = std::function<bool(BrokerState&, QString&)>;
    Result Update(const QString& broker, const Change& change, QString& error);

    // Writes a new Broker; an existing one is kept unless `replace` is set.
    Result Create(const BrokerState& state, bool replace, QString& error);

private:
    // How long a tool waits for another one to finish its change.
    static constexpr int kLockTimeoutMs = 15000;

    Result WriteState(const QString& dir, const BrokerState& state, QString& error) const;

    QString m_home;
};
