// tessamy-sim: sets up and changes the simulated Tessamy Brokers that the stand-in tools
// (quslist, vqry, vantrace) talk to.
#include <QMap>
#include <QRandomGenerator>

#include "BrokerStore.h"
#include "Population.h"
#include "QusListReport.h"
#include "SimRandom.h"
#include "ToolArgs.h"

namespace {

const QString kTool = QStringLiteral("tessamy-sim");

struct Command {
    const char* name;
    const char* usage;
    const char* help;
};

const Command kCommands[] = {
    {"create",
     "create BROKER [--users N] [--sessions M] [--stale K] [--admin USER] [--password PW] "
     "[--seed S] [--email-domain DOMAIN] [--replace]",
     "Sets up a Broker with N users (default 20) and M sessions (default 8) logged in over\n"
     "the last eight hours, K of them (default 0) since yesterday. The administrator is\n"
     "USER/PW (default admin/admin). User names come in varied spellings, some with a quote;\n"
     "about one user in seven has no e-mail address. The same seed (default 1) gives the\n"
     "same users and sessions. An existing Broker is kept unless --replace is given."},
    {"adduser", "adduser BROKER USER [--email ADDRESS]",
     "Defines USER in the Broker's database, or changes the address of an existing user.\n"
     "Without --email the user has no e-mail address. A user name holds no blanks."},
    {"deluser", "deluser BROKER USER",
     "Removes USER from the database and logs off the user's sessions."},
    {"logon", "logon BROKER USER [--machine M] [--pid P] [--at \"YYYY/MM/DD HH:MM:SS\"]",
     "Logs a user defined in the database on: a new session on machine M (default: a random\n"
     "PCnnn) with client process id P (default: a free random id), logged in at the given\n"
     "time (default: now). A process id is unique on its machine."},
    {"logoff", "logoff BROKER (USER | --machine M --pid P)",
     "Logs off every session of USER, or the one session of process P on machine M."},
    {"condition",
     "condition BROKER up|down|hang|badcreds|broken|silent [--hang-seconds S] [--seed S] "
     "[--damage KINDS]",
     "Sets how the Broker answers the tools:\n"
     "  up        normal answers\n"
     "  down      \"COULD NOT CONNECT TO BROKER\"\n"
     "  hang      the tools wait S seconds (default 60, above the monitor's 20-second\n"
     "            limit) before answering normally\n"
     "  badcreds  every administrator login is refused\n"
     "  broken    quslist writes damaged reports: a seeded random choice among KINDS, a\n"
     "            comma list of cut, fields, long, huge, binary, duplicate, truncate or all\n"
     "            (the default). --seed S restarts the reproducible sequence.\n"
     "  silent    vantrace runs but the request is never carried out: its log lacks the\n"
     "            success line and nothing is recorded; the other tools answer normally"},
    {"churn", "churn BROKER on|off [--seed S]",
     "With churn on, each quslist run first logs one to three random users on or off, so a\n"
     "monitor's matrix keeps changing. --seed S restarts the reproducible sequence."},
    {"show", "show BROKER",
     "Prints the Broker's administrator, condition, users, sessions and the debug-logging\n"
     "requests it received."},
    {"list", "list", "Lists the Brokers and where they are kept."},
};

const Command* FindCommand(const QString& name) {
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

QString OverallUsage() {
    QString text = QStringLiteral(
        "usage: tessamy-sim COMMAND ARGUMENTS...   (tessamy-sim help COMMAND for details)\n"
        "Sets up simulated Tessamy Brokers for the stand-in tools quslist, vqry, vantrace.\n"
        "State lives in $TESSAMY_SIM_HOME, else ~/.local/share/tessamy-sim (now: ");
    text += BrokerStore::DefaultHome() + QStringLiteral(").\n\nCommands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  tessamy-sim ") + QString::fromLatin1(c.usage) + u'\n';
    return text;
}

// "tessamy-sim help COMMAND" and "tessamy-sim COMMAND --help".
int ShowHelp(const Command& command) {
    PrintOut(QStringLiteral("usage: tessamy-sim ") + QString::fromLatin1(command.usage) + u'\n' +
             QString::fromLatin1(command.help) + u'\n');
    return kExitOk;
}

int Usage(const Command& command, const QString& reason) {
    return UsageError(kTool, reason,
                      QStringLiteral("tessamy-sim ") + QString::fromLatin1(command.usage));
}

int Failed(const QString& message) {
    PrintErr(kTool + QStringLiteral(": ") + message + u'\n');
    return kExitFailed;
}

// "--name value" options and positional arguments of one command.
struct Options {
    QMap<QString, QString> values;
    QStringList positional;
    QString error;

    bool Parse(const QStringList& args, const QStringList& withValue,
               const QStringList& flags = {}) {
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            if (!a.startsWith(QStringLiteral("--"))) {
                positional.append(a);
                continue;
            }
            const QString name = a.mid(2);
            if (values.contains(name)) {
                error = a + QStringLiteral(" given twice");
                return false;
            }
            if (flags.contains(name)) {
                values.insert(name, QString());
            } else if (withValue.contains(name)) {
                if (i + 1 >= args.size()) {
                    error = a + QStringLiteral(" needs a value");
                    return false;
                }
                values.insert(name, args[++i]);
            } else {
                error = QStringLiteral("unknown option ") + a;
                return false;
            }
        }
        return true;
    }
    bool Has(const char* name) const { return values.contains(QString::fromLatin1(name)); }
    QString Value(const char* name) const { return values.value(QString::fromLatin1(name)); }
};

bool ParseCount(const QString& text, int max, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > max || text.startsWith(u'+')) return false;
    out = v;
    return true;
}

bool ParseSeed(const QString& text, quint64& out) {
    bool ok = false;
    const quint64 v = text.toULongLong(&ok);
    if (!ok || text.startsWith(u'+') || text.startsWith(u'-')) return false;
    out = v;
    return true;
}

int Create(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args,
                 {QStringLiteral("users"), QStringLiteral("sessions"), QStringLiteral("stale"),
                  QStringLiteral("admin"), QStringLiteral("password"), QStringLiteral("seed"),
                  QStringLiteral("email-domain")},
                 {QStringLiteral("replace")}))
        return Usage(cmd, o.error);
    if (o.positional.size() != 1) return Usage(cmd, QStringLiteral("name one Broker"));
    Population::Plan plan;
    plan.broker = o.positional[0];
    if (!SimText::IsValidBrokerName(plan.broker))
        return Usage(cmd, QStringLiteral("a Broker name is 1 to 64 letters, digits, '_', '-' or "
                                         "'.', starting with a letter or digit"));
    if (o.Has("users") && !ParseCount(o.Value("users"), Population::kMaxUsers, plan.users))
        return Usage(cmd, QStringLiteral("--users takes a number from 0 to ") +
                              QString::number(Population::kMaxUsers));
    if (o.Has("sessions") &&
        !ParseCount(o.Value("sessions"), Population::kMaxSessions, plan.sessions))
        return Usage(cmd, QStringLiteral("--sessions takes a number from 0 to ") +
                              QString::number(Population::kMaxSessions));
    if (o.Has("stale") && !ParseCount(o.Value("stale"), plan.sessions, plan.staleSessions))
        return Usage(cmd, QStringLiteral("--stale takes a number from 0 to the sessions"));
    if (plan.sessions > 0 && plan.users == 0)
        return Usage(cmd, QStringLiteral("sessions need at least one user"));
    if (o.Has("admin")) plan.admin = o.Value("admin");
    if (o.Has("password")) plan.password = o.Value("password");
    if (!SimText::IsValidUserName(plan.admin))
        return Usage(cmd, QStringLiteral("the administrator's user id must be a non-empty name "
                                         "without blanks"));
    if (!SimText::IsStorable(plan.password))
        return Usage(cmd, QStringLiteral("the password may hold no tab or line break"));
    if (o.Has("seed") && !ParseSeed(o.Value("seed"), plan.seed))
        return Usage(cmd, QStringLiteral("--seed takes a whole number"));
    if (o.Has("email-domain")) plan.emailDomain = o.Value("email-domain");
    if (plan.emailDomain.isEmpty() || !SimText::IsValidUserName(plan.emailDomain))
        return Usage(cmd, QStringLiteral("--email-domain takes a domain name"));

    BrokerStore store;
    QString error;
    const BrokerState state = Population::Create(plan, QDateTime::currentDateTime());
    const BrokerStore::Result r = store.Create(state, o.Has("replace"), error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut(QStringLiteral("Broker ") + state.name + QStringLiteral(" created in ") +
             store.BrokerDir(state.name) + QStringLiteral(": ") +
             QString::number(state.users.size()) + QStringLiteral(" users, ") +
             QString::number(state.sessions.size()) + QStringLiteral(" sessions, administrator ") +
             state.admin + u'\n');
    return kExitOk;
}

int AddUser(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {QStringLiteral("email")})) return Usage(cmd, o.error);
    if (o.positional.size() != 2) return Usage(cmd, QStringLiteral("name a Broker and a user"));
    const QString user = o.positional[1];
    const QString email = o.Value("email");
    if (!SimText::IsValidUserName(user))
        return Usage(cmd, QStringLiteral("a user name is not empty and holds no blanks"));
    if (!SimText::IsStorable(email))
        return Usage(cmd, QStringLiteral("the address may hold no tab or line break"));
    BrokerStore store;
    QString error;
    bool added = false;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString&) {
            for (SimUser& u : s.users) {
                if (u.name == user) {
                    u.email = email;
                    return true;
                }
            }
            s.users.append({user, email});
            added = true;
            return true;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut((added ? QStringLiteral("Added user ") : QStringLiteral("Changed user ")) + user +
             (email.isEmpty() ? QStringLiteral(" (no e-mail address)")
                              : QStringLiteral(" <") + email + u'>') +
             u'\n');
    return kExitOk;
}

int DelUser(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {})) return Usage(cmd, o.error);
    if (o.positional.size() != 2) return Usage(cmd, QStringLiteral("name a Broker and a user"));
    const QString user = o.positional[1];
    BrokerStore store;
    QString error;
    int loggedOff = 0;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString& why) {
            const qsizetype removed =
                s.users.removeIf([&](const SimUser& u) { return u.name == user; });
            if (removed == 0) {
                why = QStringLiteral("no user ") + user + QStringLiteral(" (names are exact)");
                return false;
            }
            loggedOff = s.LogOffUser(user);
            return true;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut(QStringLiteral("Removed user ") + user + QStringLiteral(", ") +
             QString::number(loggedOff) + QStringLiteral(" session(s) logged off\n"));
    return kExitOk;
}

int LogOn(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {QStringLiteral("machine"), QStringLiteral("pid"), QStringLiteral("at")}))
        return Usage(cmd, o.error);
    if (o.positional.size() != 2) return Usage(cmd, QStringLiteral("name a Broker and a user"));
    if (o.Has("machine") && !SimText::IsValidMachineName(o.Value("machine")))
        return Usage(cmd, QStringLiteral("a machine name is letters, digits, '_', '-' or '.'"));
    quint32 pid = 0;
    if (o.Has("pid") && !SimText::ParsePid(o.Value("pid"), pid))
        return Usage(cmd, QStringLiteral("--pid takes a number from 1 to 4294967295"));
    QDateTime at = QDateTime::currentDateTime();
    if (o.Has("at") && !SimText::ParseTime(o.Value("at"), at))
        return Usage(cmd, QStringLiteral("--at takes a time as \"YYYY/MM/DD HH:MM:SS\""));
    const QString user = o.positional[1];
    BrokerStore store;
    QString error;
    SimSession made;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString& why) {
            const SimUser* known = s.FindUser(user);
            if (!known) {
                why = QStringLiteral("no user ") + user +
                      QStringLiteral(" in the database (add one with tessamy-sim adduser)");
                return false;
            }
            SimRandom random(QRandomGenerator::global()->generate64());
            made.user = known->name;
            made.machine = o.Has("machine")
                               ? o.Value("machine")
                               : Population::MachineName(static_cast<int>(
                                     random.Between(1, qMax<qsizetype>(10, s.users.size()))));
            made.pid = o.Has("pid") ? pid : s.FreePid(made.machine, random);
            made.login = at;
            if (s.PidInUse(made.machine, made.pid)) {
                why = QStringLiteral("process ") + QString::number(made.pid) +
                      QStringLiteral(" already has a session on ") + made.machine;
                return false;
            }
            s.LogOn(made.user, made.machine, made.pid, made.login);
            return true;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut(QStringLiteral("Logged on ") + made.user + QStringLiteral(" at ") + made.machine +
             u'/' + QString::number(made.pid) + QStringLiteral(" since ") +
             SimText::FormatTime(made.login) + u'\n');
    return kExitOk;
}

int LogOff(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {QStringLiteral("machine"), QStringLiteral("pid")}))
        return Usage(cmd, o.error);
    const bool bySession = o.Has("machine") || o.Has("pid");
    if (bySession ? o.positional.size() != 1 || !o.Has("machine") || !o.Has("pid")
                  : o.positional.size() != 2)
        return Usage(cmd, QStringLiteral("name a user, or --machine and --pid, not both"));
    quint32 pid = 0;
    if (bySession && !SimText::ParsePid(o.Value("pid"), pid))
        return Usage(cmd, QStringLiteral("--pid takes a number from 1 to 4294967295"));
    BrokerStore store;
    QString error;
    int count = 0;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString& why) {
            if (bySession) {
                count = s.LogOffSession(o.Value("machine"), pid) ? 1 : 0;
                if (count == 0)
                    why = QStringLiteral("no session of process ") + o.Value("pid") +
                          QStringLiteral(" on ") + o.Value("machine");
            } else {
                count = s.LogOffUser(o.positional[1]);
                if (count == 0) why = QStringLiteral("no session of user ") + o.positional[1];
            }
            return count > 0;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut(QStringLiteral("Logged off ") + QString::number(count) +
             QStringLiteral(" session(s)\n"));
    return kExitOk;
}

int Condition(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {QStringLiteral("hang-seconds"), QStringLiteral("seed"),
                        QStringLiteral("damage")}))
        return Usage(cmd, o.error);
    if (o.positional.size() != 2)
        return Usage(cmd, QStringLiteral("name a Broker and a condition"));
    BrokerCondition condition;
    if (!ParseCondition(o.positional[1], condition))
        return Usage(cmd,
                     QStringLiteral("the condition is up, down, hang, badcreds, broken or silent"));
    int hang = 0;
    if (o.Has("hang-seconds") && !ParseCount(o.Value("hang-seconds"), 86400, hang))
        return Usage(cmd, QStringLiteral("--hang-seconds takes a number from 0 to 86400"));
    quint64 seed = 0;
    if (o.Has("seed") && !ParseSeed(o.Value("seed"), seed))
        return Usage(cmd, QStringLiteral("--seed takes a whole number"));
    unsigned damage = 0;
    if (o.Has("damage") && !Damage::Parse(o.Value("damage"), damage))
        return Usage(cmd, QStringLiteral("--damage takes a comma list of ") +
                              Damage::Names().join(QStringLiteral(", ")) +
                              QStringLiteral(" or all"));
    BrokerStore store;
    QString error;
    BrokerState after;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString&) {
            s.condition = condition;
            if (o.Has("hang-seconds")) s.hangSeconds = hang;
            if (o.Has("seed")) {
                s.brokenSeed = seed;
                s.brokenStep = 0;
            }
            if (o.Has("damage")) s.damage = damage;
            after = s;
            return true;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    QString text = QStringLiteral("Broker ") + after.name + QStringLiteral(" condition: ") +
                   ConditionName(after.condition);
    if (after.condition == BrokerCondition::Hang)
        text +=
            QStringLiteral(" (") + QString::number(after.hangSeconds) + QStringLiteral(" seconds)");
    if (after.condition == BrokerCondition::Broken)
        text += QStringLiteral(" (damage: ") + Damage::Format(after.damage) + u')';
    PrintOut(text + u'\n');
    return kExitOk;
}

int Churn(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {QStringLiteral("seed")})) return Usage(cmd, o.error);
    if (o.positional.size() != 2 || (o.positional[1] != u"on" && o.positional[1] != u"off"))
        return Usage(cmd, QStringLiteral("name a Broker and on or off"));
    quint64 seed = 0;
    if (o.Has("seed") && !ParseSeed(o.Value("seed"), seed))
        return Usage(cmd, QStringLiteral("--seed takes a whole number"));
    BrokerStore store;
    QString error;
    const BrokerStore::Result r = store.Update(
        o.positional[0],
        [&](BrokerState& s, QString&) {
            s.churn = o.positional[1] == u"on";
            if (o.Has("seed")) {
                s.churnSeed = seed;
                s.churnStep = 0;
            }
            return true;
        },
        error);
    if (r != BrokerStore::Result::Ok) return Failed(error);
    PrintOut(QStringLiteral("Churn is ") + o.positional[1] + u'\n');
    return kExitOk;
}

int Show(const Command& cmd, const QStringList& args) {
    Options o;
    if (!o.Parse(args, {})) return Usage(cmd, o.error);
    if (o.positional.size() != 1) return Usage(cmd, QStringLiteral("name one Broker"));
    BrokerStore store;
    BrokerState s;
    QString error;
    if (store.Read(o.positional[0], s, error) != BrokerStore::Result::Ok) return Failed(error);
    QString t = QStringLiteral("Broker ") + s.name + QStringLiteral("   (") +
                store.BrokerDir(s.name) + QStringLiteral(")\n");
    t += QStringLiteral("Administrator: ") + s.admin + QStringLiteral("   password: ") +
         s.password + u'\n';
    t += QStringLiteral("Condition: ") + ConditionName(s.condition);
    if (s.condition == BrokerCondition::Broken)
        t += QStringLiteral("   damage: ") + Damage::Format(s.damage) + QStringLiteral("   seed ") +
             QString::number(s.brokenSeed) + QStringLiteral(", reports damaged so far ") +
             QString::number(s.brokenStep);
    t += QStringLiteral("   hang seconds: ") + QString::number(s.hangSeconds) + u'\n';
    t += QStringLiteral("Churn: ") + (s.churn ? QStringLiteral("on") : QStringLiteral("off")) +
         QStringLiteral("   seed ") + QString::number(s.churnSeed) +
         QStringLiteral(", steps taken ") + QString::number(s.churnStep) + u'\n';
    t += QStringLiteral("\nUsers defined in the database (") + QString::number(s.users.size()) +
         QStringLiteral("):\n");
    for (const SimUser& u : s.users)
        t += QStringLiteral("  ") + u.name.leftJustified(20) + u' ' +
             (u.email.isEmpty() ? QStringLiteral("(no e-mail address)") : u.email) + u'\n';
    t += QStringLiteral("\nSessions (") + QString::number(s.sessions.size()) +
         QStringLiteral("):\n");
    for (const SimSession& x : s.sessions)
        t += QStringLiteral("  ") + QusListReport::SessionLine(x.user, x.machine, x.pid, x.login) +
             u'\n';
    t += QStringLiteral("\nDebug-logging requests (") + QString::number(s.traceLog.size()) +
         QStringLiteral("):\n");
    for (const TraceRequest& r : s.traceLog)
        t += QStringLiteral("  ") + SimText::FormatTime(r.at) + u' ' + r.mode +
             QStringLiteral(" level ") + r.level + QStringLiteral(" types ") + r.types + u' ' +
             (r.machine.isEmpty() ? QStringLiteral("all clients")
                                  : QStringLiteral("machine ") + r.machine) +
             QStringLiteral(" by ") + r.admin + u'\n';
    PrintOut(t);
    return kExitOk;
}

int List(const Command& cmd, const QStringList& args) {
    if (!args.isEmpty()) return Usage(cmd, QStringLiteral("list takes no arguments"));
    BrokerStore store;
    PrintOut(QStringLiteral("Brokers in ") + store.Home() + QStringLiteral(":\n"));
    for (const QString& name : store.BrokerNames()) PrintOut(QStringLiteral("  ") + name + u'\n');
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = ArgumentsOf(argc, argv);
    if (args.isEmpty())
        return UsageError(kTool, QStringLiteral("a command is missing"),
                          QStringLiteral("tessamy-sim COMMAND ...  (see tessamy-sim --help)"));
    const QString first = args.first();
    if (first == u"--help" || first == u"-h" || first == u"help") {
        if (args.size() > 1) {
            const Command* c = FindCommand(args[1]);
            if (!c) return Failed(QStringLiteral("no command ") + args[1]);
            return ShowHelp(*c);
        }
        PrintOut(OverallUsage());
        return kExitOk;
    }
    const Command* command = FindCommand(first);
    if (!command)
        return UsageError(kTool, QStringLiteral("unknown command ") + first,
                          QStringLiteral("tessamy-sim COMMAND ...  (see tessamy-sim --help)"));
    const QStringList rest = args.mid(1);
    if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h")))
        return ShowHelp(*command);
    using Handler = int (*)(const Command&, const QStringList&);
    const QMap<QString, Handler> handlers = {
        {QStringLiteral("create"), Create},   {QStringLiteral("adduser"), AddUser},
        {QStringLiteral("deluser"), DelUser}, {QStringLiteral("logon"), LogOn},
        {QStringLiteral("logoff"), LogOff},   {QStringLiteral("condition"), Condition},
        {QStringLiteral("churn"), Churn},     {QStringLiteral("show"), Show},
        {QStringLiteral("list"), List},
    };
    return handlers.value(first)(*command, rest);
}
