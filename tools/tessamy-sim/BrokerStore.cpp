#include "BrokerStore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

namespace {

QString StatePath(const QString& dir) {
    return dir + u'/' + QString::fromLatin1(BrokerStore::kStateFile);
}

BrokerStore::Result ReadFile(const QString& dir, const QString& broker, BrokerState& out,
                             QString& error) {
    QFile file(StatePath(dir));
    if (!file.exists()) {
        error = QStringLiteral("no simulated Broker named ") + broker;
        return BrokerStore::Result::NoSuchBroker;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read ") + file.fileName() + QStringLiteral(": ") +
                file.errorString();
        return BrokerStore::Result::Damaged;
    }
    const QByteArray bytes = file.readAll();
    QString why;
    if (!BrokerState::Parse(bytes, out, why)) {
        error = file.fileName() + QStringLiteral(": ") + why;
        return BrokerStore::Result::Damaged;
    }
    return BrokerStore::Result::Ok;
}

}  // namespace

QString BrokerStore::DefaultHome() {
    const QString fromEnv = qEnvironmentVariable(kHomeVariable);
    if (!fromEnv.isEmpty()) return fromEnv;
    return QDir::homePath() + QStringLiteral("/.local/share/tessamy-sim");
}

BrokerStore::BrokerStore(QString home) : m_home(std::move(home)) {}

QString BrokerStore::BrokerDir(const QString& broker) const {
    return m_home + u'/' + broker.toUpper();
}

bool BrokerStore::Exists(const QString& broker) const {
    return SimText::IsValidBrokerName(broker) && QFile::exists(StatePath(BrokerDir(broker)));
}

QStringList BrokerStore::BrokerNames() const {
    QStringList names;
    const QStringList dirs = QDir(m_home).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& d : dirs)
        if (Exists(d)) names.append(d);
    return names;
}

BrokerStore::Result BrokerStore::Read(const QString& broker, BrokerState& out,
                                      QString& error) const {
    if (!SimText::IsValidBrokerName(broker)) {
        error = QStringLiteral("no simulated Broker named ") + broker;
        return Result::NoSuchBroker;
    }
    return ReadFile(BrokerDir(broker), broker, out, error);
}

BrokerStore::Result BrokerStore::Update(const QString& broker, const Change& change,
                                        QString& error) {
    if (!Exists(broker)) {
        error = QStringLiteral("no simulated Broker named ") + broker;
        return Result::NoSuchBroker;
    }
    const QString dir = BrokerDir(broker);
    QLockFile lock(dir + u'/' + QString::fromLatin1(kLockFile));
    // Age alone never breaks the lock: it is freed when its holder is gone.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(kLockTimeoutMs)) {
        error = QStringLiteral("the state of Broker ") + broker +
                QStringLiteral(" stayed locked by another tool");
        return Result::LockFailed;
    }
    BrokerState state;
    const Result read = ReadFile(dir, broker, state, error);
    if (read != Result::Ok) return read;
    if (!change(state, error)) return Result::Refused;
    return WriteState(dir, state, error);
}

BrokerStore::Result BrokerStore::Create(const BrokerState& state, bool replace, QString& error) {
    if (!SimText::IsValidBrokerName(state.name)) {
        error = QStringLiteral("a Broker name is 1 to 64 letters, digits, '_', '-' or '.'");
        return Result::Refused;
    }
    const QString dir = BrokerDir(state.name);
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("cannot create the directory ") + dir;
        return Result::WriteFailed;
    }
    QLockFile lock(dir + u'/' + QString::fromLatin1(kLockFile));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(kLockTimeoutMs)) {
        error = QStringLiteral("the state of Broker ") + state.name +
                QStringLiteral(" stayed locked by another tool");
        return Result::LockFailed;
    }
    if (!replace && QFile::exists(StatePath(dir))) {
        error = QStringLiteral("Broker ") + state.name +
                QStringLiteral(" already exists (use --replace to set it up anew)");
        return Result::Refused;
    }
    return WriteState(dir, state, error);
}

BrokerStore::Result BrokerStore::WriteState(const QString& dir, const BrokerState& state,
                                            QString& error) const {
    QSaveFile file(StatePath(dir));
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write ") + file.fileName() + QStringLiteral(": ") +
                file.errorString();
        return Result::WriteFailed;
    }
    const QByteArray bytes = state.Serialize();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("cannot write ") + file.fileName() + QStringLiteral(": ") +
                file.errorString();
        return Result::WriteFailed;
    }
    return Result::Ok;
}
