#include <QElapsedTimer>
#include <QSet>
#include <memory>

#include "SimToolRunner.h"

namespace {

// The report as the monitor reads it: markers found in upper-cased lines, session lines
// split on blanks, the client field cut after its colon and two more characters.
struct ReadSession {
    QString user, machine, pid, when;
};
struct ReadReport {
    bool couldNotConnect = false;
    QString failingName;
    QString userCount;
    bool separator = false;
    bool success = false;
    QList<ReadSession> sessions;
    int badLines = 0;
};

ReadReport ReadLikeTheMonitor(const QByteArray& bytes) {
    ReadReport r;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty()) continue;
        const QString upper = line.toUpper();
        if (!r.separator) {
            if (upper.contains(QStringLiteral("COULD NOT CONNECT TO BROKER"))) {
                r.couldNotConnect = true;
                r.failingName = upper.section(u':', 0, 0);
                return r;
            }
            if (upper.contains(QStringLiteral("NUMBER OF ACTIVE USERS DEFINED IN THE DATABASE:")))
                r.userCount = line.section(u':', 1).trimmed();
            else if (upper.contains(QStringLiteral("------------------")))
                r.separator = true;
            continue;
        }
        if (upper.contains(QStringLiteral("QUSLIST HAS BEEN EXECUTED SUCCESSFULLY."))) {
            r.success = true;
            break;
        }
        const QStringList t =
            line.split(QRegularExpression(QStringLiteral("[ \t]+")), Qt::SkipEmptyParts);
        const qsizetype colon = t.size() >= 3 ? t[1].indexOf(u':') : -1;
        const qsizetype slash = colon >= 0 ? t[1].indexOf(u'/', colon + 3) : -1;
        if ((t.size() != 3 && t.size() != 4) || slash < 0) {
            ++r.badLines;
            continue;
        }
        r.sessions.append({t[0], t[1].mid(colon + 3, slash - colon - 3).trimmed(),
                           t[1].mid(slash + 1), t.size() == 4 ? t[2] + u' ' + t[3] : t[2]});
    }
    return r;
}

class QusListTest : public SimToolTest {
protected:
    QStringList ListArgs(const QString& broker = QStringLiteral("TESBKR01"),
                         const QString& user = QStringLiteral("admin"),
                         const QString& pw = QStringLiteral("admin")) {
        return {QStringLiteral("-b"),  broker, QStringLiteral("-usr"), user,
                QStringLiteral("-pw"), pw,     QStringLiteral("-cu")};
    }
    QByteArray Report() { return ReadAll(WorkFile(QStringLiteral("QusList.log"))); }
};

TEST_F(QusListTest, ReportListsEverySessionAndItsOwnInTheMonitorsLayout) {
    Sim({"create", "TESBKR01", "--users", "6", "--sessions", "4", "--seed", "5"});
    const QString someone = State("TESBKR01").users[1].name;
    Sim({"logon", "TESBKR01", someone, "--machine", "PC042", "--pid", "3312", "--at",
         "2017/11/01 14:05:09"});

    const ToolRun run = Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray bytes = Report();
    EXPECT_TRUE(bytes.endsWith("QUSLIST has been executed successfully.\n"));
    const ReadReport r = ReadLikeTheMonitor(bytes);
    EXPECT_FALSE(r.couldNotConnect);
    EXPECT_EQ(r.userCount, QStringLiteral("6"));
    ASSERT_TRUE(r.separator);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.badLines, 0);
    ASSERT_EQ(r.sessions.size(), 6);  // four created, one logged on, its own

    const ReadSession& logged = r.sessions[4];
    EXPECT_EQ(logged.user, someone);
    EXPECT_EQ(logged.machine, QStringLiteral("PC042"));
    EXPECT_EQ(logged.pid, QStringLiteral("3312"));
    EXPECT_EQ(logged.when, QStringLiteral("2017/11/01 14:05:09"));

    const ReadSession& own = r.sessions.last();
    EXPECT_EQ(own.user, QStringLiteral("admin"));
    EXPECT_EQ(own.pid, QString::number(run.pid));
    EXPECT_FALSE(own.machine.isEmpty());
    EXPECT_TRUE(QDateTime::fromString(own.when, QStringLiteral("yyyy/MM/dd HH:mm:ss")).isValid());

    // Every listed session is one the Broker holds, with the user spelled as in its table.
    const BrokerState state = State("TESBKR01");
    for (qsizetype i = 0; i < state.sessions.size(); ++i) {
        EXPECT_EQ(r.sessions[i].user, state.sessions[i].user);
        EXPECT_EQ(r.sessions[i].pid, QString::number(state.sessions[i].pid));
        EXPECT_TRUE(state.FindUser(r.sessions[i].user));
    }
    // The listing leaves the Broker's sessions alone when churn is off.
    EXPECT_EQ(state.sessions.size(), 5);
}

TEST_F(QusListTest, UnreachableBrokersSayCouldNotConnectUnderTheirName) {
    Sim({"create", "TESBKR01"});
    ToolRun run = Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("NOSUCH")));
    EXPECT_EQ(run.exitCode, 1);
    ReadReport r = ReadLikeTheMonitor(Report());
    EXPECT_TRUE(r.couldNotConnect);
    EXPECT_EQ(r.failingName, QStringLiteral("NOSUCH"));

    // Path-like names reach no directory outside the home.
    run = Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("../TESBKR01")));
    EXPECT_TRUE(ReadLikeTheMonitor(Report()).couldNotConnect);
    // A typed name never passes for a marker of its own.
    run = Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("------------------")));
    r = ReadLikeTheMonitor(Report());
    EXPECT_TRUE(r.couldNotConnect);
    EXPECT_FALSE(r.separator);

    Sim({"condition", "TESBKR01", "down"});
    run = Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("tesbkr01")));
    EXPECT_EQ(run.exitCode, 1);
    r = ReadLikeTheMonitor(Report());
    EXPECT_TRUE(r.couldNotConnect);
    EXPECT_EQ(r.failingName, QStringLiteral("TESBKR01"));
    EXPECT_FALSE(r.separator);

    Sim({"condition", "TESBKR01", "up"});
    run = Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("tesbkr01")));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ReadLikeTheMonitor(Report()).success);
}

TEST_F(QusListTest, RefusedCredentialsGiveAReportWithoutSeparator) {
    Sim({"create", "TESBKR01", "--admin", "QvAdmin", "--password", "S3cret"});
    const QList<QStringList> refused = {
        ListArgs(QStringLiteral("TESBKR01"), QStringLiteral("QvAdmin"), QStringLiteral("s3cret")),
        ListArgs(QStringLiteral("TESBKR01"), QStringLiteral("other"), QStringLiteral("S3cret")),
        ListArgs(QStringLiteral("TESBKR01"), QString(), QString()),
    };
    for (const QStringList& args : refused) {
        const ToolRun run = Run(QStringLiteral("quslist"), args);
        EXPECT_EQ(run.exitCode, 1);
        const QByteArray bytes = Report();
        const ReadReport r = ReadLikeTheMonitor(bytes);
        EXPECT_FALSE(bytes.isEmpty());
        EXPECT_FALSE(r.separator);
        EXPECT_FALSE(r.couldNotConnect);
    }
    // The user id compares without case, like the server's.
    EXPECT_EQ(Run(QStringLiteral("quslist"),
                  ListArgs(QStringLiteral("TESBKR01"), QStringLiteral("QVADMIN"),
                           QStringLiteral("S3cret")))
                  .exitCode,
              0);
    EXPECT_TRUE(ReadLikeTheMonitor(Report()).success);

    Sim({"condition", "TESBKR01", "badcreds"});
    const ToolRun run = Run(
        QStringLiteral("quslist"),
        ListArgs(QStringLiteral("TESBKR01"), QStringLiteral("QvAdmin"), QStringLiteral("S3cret")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(ReadLikeTheMonitor(Report()).separator);
}

TEST_F(QusListTest, HangingBrokerAnswersLateAndAKilledListingLeavesNoReport) {
    Sim({"create", "TESBKR01"});
    Sim({"condition", "TESBKR01", "hang"});
    EXPECT_EQ(State("TESBKR01").hangSeconds, 60);  // longer than the monitor waits

    Sim({"condition", "TESBKR01", "hang", "--hang-seconds", "2"});
    QElapsedTimer timer;
    timer.start();
    const ToolRun run = Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_GE(timer.elapsed(), 1900);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ReadLikeTheMonitor(Report()).success);

    QFile::remove(WorkFile(QStringLiteral("QusList.log")));
    std::unique_ptr<QProcess> p(StartTool(QStringLiteral("quslist"), ListArgs(), m_work));
    ASSERT_TRUE(p->waitForStarted());
    EXPECT_FALSE(p->waitForFinished(500));
    p->kill();
    p->waitForFinished();
    EXPECT_TRUE(QDir(m_work).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// The report with the times and this run's own process id masked, to compare two runs.
QByteArray Masked(QByteArray report, qint64 pid) {
    static const QRegularExpression kTime(QStringLiteral(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"));
    report.replace("/" + QByteArray::number(pid), "/PID");
    return QString::fromLatin1(report).replace(kTime, QStringLiteral("TIME")).toLatin1();
}

TEST_F(QusListTest, BrokenBrokerDamagesReportsInEachChosenWayReproducibly) {
    Sim({"create", "TESBKR01", "--users", "30", "--sessions", "12"});
    const QByteArray sound = (Run(QStringLiteral("quslist"), ListArgs()), Report());
    const auto lines = [](const QByteArray& b) { return b.split('\n'); };
    const auto longest = [&](const QByteArray& b) {
        qsizetype n = 0;
        for (const QByteArray& l : lines(b)) n = qMax(n, l.size());
        return n;
    };

    Sim({"condition", "TESBKR01", "broken", "--damage", "huge", "--seed", "3"});
    Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_GE(longest(Report()), 99000);

    Sim({"condition", "TESBKR01", "broken", "--damage", "long"});
    Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_GT(longest(Report()), 1023);
    EXPECT_LT(longest(Report()), 6000);

    Sim({"condition", "TESBKR01", "broken", "--damage", "binary"});
    Run(QStringLiteral("quslist"), ListArgs());
    QByteArray bytes = Report();
    const bool controlBytes = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\n') || u >= 0x80;
    });
    EXPECT_TRUE(controlBytes);

    Sim({"condition", "TESBKR01", "broken", "--damage", "duplicate"});
    Run(QStringLiteral("quslist"), ListArgs());
    const QByteArrayList dupLines = lines(Report());
    EXPECT_LT(QSet<QByteArray>(dupLines.begin(), dupLines.end()).size(), dupLines.size() - 1);

    Sim({"condition", "TESBKR01", "broken", "--damage", "truncate"});
    Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_LT(Report().size(), sound.size());
    EXPECT_FALSE(Report().endsWith("successfully.\n"));

    Sim({"condition", "TESBKR01", "broken", "--damage", "cut,fields"});
    Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_GT(ReadLikeTheMonitor(Report()).badLines + (Report().size() < sound.size() ? 1 : 0), 0);

    // The same seed gives the same damage; each listing takes the next step.
    Sim({"condition", "TESBKR01", "broken", "--damage", "duplicate,fields,cut", "--seed", "11"});
    ToolRun run = Run(QStringLiteral("quslist"), ListArgs());
    const QByteArray first = Masked(Report(), run.pid);
    Sim({"condition", "TESBKR01", "broken", "--seed", "11"});
    run = Run(QStringLiteral("quslist"), ListArgs());
    EXPECT_EQ(Masked(Report(), run.pid), first);
    EXPECT_NE(Masked(Report(), run.pid), Masked(sound, 0));
    EXPECT_EQ(State("TESBKR01").brokenStep, 1u);
}

TEST_F(QusListTest, ChurnMovesSessionsTheSameWayForTheSameSeed) {
    for (const char* name : {"CHURNA", "CHURNB"}) {
        Sim({"create", name, "--users", "15", "--sessions", "6", "--seed", "4"});
        Sim({"churn", name, "on", "--seed", "9"});
    }
    const auto sessionKeys = [](const BrokerState& s) {
        QStringList keys;
        for (const SimSession& x : s.sessions)
            keys.append(x.user + u'@' + x.machine + u'/' + QString::number(x.pid));
        return keys;
    };
    const QStringList before = sessionKeys(State("CHURNA"));
    for (int i = 0; i < 4; ++i) {
        Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("CHURNA")));
        EXPECT_TRUE(ReadLikeTheMonitor(Report()).success);
        Run(QStringLiteral("quslist"), ListArgs(QStringLiteral("CHURNB")));
    }
    const BrokerState a = State("CHURNA");
    EXPECT_EQ(a.churnStep, 4u);
    EXPECT_NE(sessionKeys(a), before);
    EXPECT_EQ(sessionKeys(a), sessionKeys(State("CHURNB")));
    // The latest report shows the Broker's sessions after its churn, plus its own.
    EXPECT_EQ(ReadLikeTheMonitor(Report()).sessions.size(), State("CHURNB").sessions.size() + 1);
}

TEST_F(QusListTest, ConcurrentRunsLoseNoUpdate) {
    Sim({"create", "TESBKR01", "--users", "40", "--sessions", "10"});
    Sim({"churn", "TESBKR01", "on"});
    Sim({"create", "TESBKR02", "--users", "3", "--sessions", "0"});
    const QString user = State("TESBKR02").users[0].name;
    constexpr int kRuns = 8;
    std::vector<std::unique_ptr<QProcess>> runs;
    // Listings with churn, debug-logging requests on the same Broker, and log-ons of
    // distinct sessions on another, all at once.
    for (int i = 0; i < kRuns; ++i) {
        const QString dir = m_work + QStringLiteral("/run") + QString::number(i);
        QDir().mkpath(dir);
        runs.emplace_back(StartTool(QStringLiteral("quslist"), ListArgs(), dir));
        runs.emplace_back(StartTool(
            QStringLiteral("vantrace"),
            {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-o",
             dir + QStringLiteral("/vantrace.log"),
             QStringLiteral("bkrproc:ON:") + QString::number(i) + QStringLiteral(":ALL:PC001")},
            dir));
    }
    for (int i = 0; i < 10; ++i)
        runs.emplace_back(StartTool(
            QStringLiteral("tessamy-sim"),
            {"logon", "TESBKR02", user, "--machine", "RACE", "--pid", QString::number(100 + i)},
            m_work));
    for (auto& p : runs) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    for (int i = 0; i < kRuns; ++i) {
        const QByteArray report = ReadAll(m_work + QStringLiteral("/run") + QString::number(i) +
                                          QStringLiteral("/QusList.log"));
        EXPECT_TRUE(ReadLikeTheMonitor(report).success);
    }
    const BrokerState state = State("TESBKR01");
    EXPECT_EQ(state.churnStep, static_cast<quint64>(kRuns));
    EXPECT_EQ(state.traceLog.size(), kRuns);
    QSet<QString> keys;
    for (const SimSession& s : state.sessions)
        keys.insert(s.machine + u'/' + QString::number(s.pid));
    EXPECT_EQ(keys.size(), state.sessions.size());  // process ids unique per machine
    EXPECT_EQ(State("TESBKR02").sessions.size(), 10);
}

}  // namespace
