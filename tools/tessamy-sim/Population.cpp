#include "Population.h"

#include <QSet>
#include <algorithm>

#include "SimRandom.h"

namespace Population {

namespace {

const char* const kFirstNames[] = {"alice", "bruno", "carla",  "dmitri", "elena", "farid",
                                   "grace", "hugo",  "ines",   "jonas",  "kenji", "lena",
                                   "marco", "nadia", "oskar",  "paula",  "quinn", "rosa",
                                   "samir", "tanja", "ulrich", "vera",   "wim",   "yara"};
const char* const kLastNames[] = {"smith",  "garcia", "o'brien", "mueller", "rossi",
                                  "dubois", "novak",  "d'arcy",  "jensen",  "kowalski",
                                  "silva",  "tanaka", "o'neil",  "berg",    "moreau"};

QString Capitalised(const QString& s) {
    QString out = s;
    bool start = true;
    for (QChar& c : out) {
        if (start) c = c.toUpper();
        start = c == u'\'' || c == u'.';
    }
    return out;
}

QString UserName(SimRandom& random, int index) {
    const QString first = QString::fromLatin1(kFirstNames[random.Below(std::size(kFirstNames))]);
    QString last = QString::fromLatin1(kLastNames[random.Below(std::size(kLastNames))]);
    // The third user always carries a quote, so address lookups meet one.
    if (index == 2) last = QStringLiteral("o'brien");
    switch (random.Below(4)) {
        case 0:
            return first.left(1) + last;
        case 1:
            return Capitalised(first.left(1)) + Capitalised(last);
        case 2:
            return first + u'.' + last;
        default:
            return (first.left(1) + last).toUpper();
    }
}

int MachinePool(const BrokerState& state) {
    return static_cast<int>(qMax<qsizetype>(10, state.users.size()));
}

}  // namespace

QString MachineName(int number) {
    return QStringLiteral("PC") + QString::number(number).rightJustified(3, u'0');
}

BrokerState Create(const Plan& plan, const QDateTime& now) {
    BrokerState state;
    state.name = plan.broker;
    state.admin = plan.admin;
    state.password = plan.password;
    state.churnSeed = plan.seed;
    state.brokenSeed = plan.seed;
    SimRandom random(plan.seed);

    QSet<QString> taken;
    for (int i = 0; i < plan.users; ++i) {
        const QString base = UserName(random, i);
        QString name = base;
        for (int n = 2; taken.contains(name.toLower()); ++n) name = base + QString::number(n);
        taken.insert(name.toLower());
        // The fourth user never has an address; the others most of the time do.
        const bool noEmail = i == 3 || (i > 3 && random.Chance(15));
        state.users.append({name, noEmail ? QString() : name.toLower() + u'@' + plan.emailDomain});
    }

    if (!state.users.isEmpty()) {
        const int machines = qMax(5, plan.sessions);
        for (int i = 0; i < plan.sessions; ++i) {
            SimSession s;
            s.user = state.users[random.Below(state.users.size())].name;
            s.machine = MachineName(static_cast<int>(random.Between(1, machines)));
            s.pid = state.FreePid(s.machine, random);
            // Stale sessions logged on yesterday, the others today: up to eight hours ago, but
            // never before midnight, whatever the time of day.
            const QDateTime midnight(now.date(), QTime(0, 0));
            if (i < plan.staleSessions) {
                s.login = midnight.addDays(-1).addSecs(random.Between(0, 24 * 3600 - 1));
            } else {
                const qint64 sinceMidnight = midnight.secsTo(now);
                s.login = now.addSecs(-random.Between(qMin<qint64>(60, sinceMidnight),
                                                      qMin<qint64>(8 * 3600, sinceMidnight)));
            }
            state.sessions.append(s);
        }
        std::stable_sort(
            state.sessions.begin(), state.sessions.end(),
            [](const SimSession& a, const SimSession& b) { return a.login < b.login; });
    }
    return state;
}

void Churn(BrokerState& state, const QDateTime& now) {
    SimRandom random = SimRandom::ForStep(state.churnSeed, state.churnStep);
    ++state.churnStep;
    const int steps = static_cast<int>(random.Between(1, 3));
    for (int i = 0; i < steps; ++i) {
        bool logOn = state.sessions.isEmpty() || random.Chance(50);
        if (state.users.isEmpty()) logOn = false;
        if (logOn) {
            const QString user = state.users[random.Below(state.users.size())].name;
            const QString machine =
                MachineName(static_cast<int>(random.Between(1, MachinePool(state))));
            const quint32 pid = state.FreePid(machine, random);
            state.LogOn(user, machine, pid, now);
        } else if (!state.sessions.isEmpty()) {
            state.sessions.removeAt(static_cast<qsizetype>(random.Below(state.sessions.size())));
        }
    }
}

}  // namespace Population
