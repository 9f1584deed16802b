#include "SimToolRunner.h"

namespace {

class BrokerToolsTest : public SimToolTest {
protected:
    void SetUp() override {
        SimToolTest::SetUp();
        Sim({"create", "TESBKR01", "--users", "5", "--sessions", "2"});
        Sim({"adduser", "TESBKR01", "O'Brien", "--email", "ob@example.com"});
        Sim({"adduser", "TESBKR01", "NoMail"});
    }

    // Runs vqry on a statement; returns the output file's text.
    QByteArray Query(const QByteArray& statement, int* exitCode = nullptr,
                     const QString& password = QStringLiteral("admin")) {
        WriteAll(WorkFile(QStringLiteral("vqrystmt.sql")), statement);
        QFile::remove(WorkFile(QStringLiteral("vqrystmt.dat")));
        const ToolRun run =
            Run(QStringLiteral("vqry"), {"-b", "TESBKR01", "-usr", "admin", "-pw", password, "-t",
                                         "-f", "vqrystmt.sql", "-o", "vqrystmt.dat"});
        EXPECT_FALSE(run.crashed);
        if (exitCode) *exitCode = run.exitCode;
        return ReadAll(WorkFile(QStringLiteral("vqrystmt.dat")));
    }

    ToolRun Trace(const QString& target, const QString& tool = QStringLiteral("vantrace"),
                  const QString& broker = QStringLiteral("TESBKR01")) {
        QFile::remove(WorkFile(QStringLiteral("vantrace.log")));
        return Run(tool, {"-b", broker, "-usr", "admin", "-pw", "admin", "-o",
                          WorkFile(QStringLiteral("vantrace.log")), target});
    }
    bool TraceSucceeded() {
        const QByteArrayList lines = ReadAll(WorkFile(QStringLiteral("vantrace.log"))).split('\n');
        return std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) {
            return l.toUpper() == "VANTRACE HAS BEEN EXECUTED SUCCESSFULLY.";
        });
    }
};

TEST_F(BrokerToolsTest, VqryLooksUpAddressesWithQuotesDoubled) {
    int rc = -1;
    EXPECT_EQ(Query("select email from tesuser where username = 'O''Brien'", &rc),
              "EMAIL\nob@example.com\n");
    EXPECT_EQ(rc, 0);
    // Spacing, letter case of the keywords and of the name, a closing semicolon.
    EXPECT_EQ(Query("SELECT Email FROM tesuser\nWHERE username='o''brien';\n", &rc),
              "EMAIL\nob@example.com\n");
    // A user without an address is a row with an empty column.
    EXPECT_EQ(Query("select email from tesuser where username = 'NoMail'", &rc), "EMAIL\n\n");
    EXPECT_EQ(Query("select email from tesuser where username = 'nobody'", &rc),
              "VQRY query has Zero results.\n");
    EXPECT_EQ(rc, 0);
    // The quote doubled twice is another name.
    EXPECT_EQ(Query("select email from tesuser where username = 'O''''Brien'", &rc),
              "VQRY query has Zero results.\n");
}

TEST_F(BrokerToolsTest, VqryRejectsOtherStatementsAndFailedLogins) {
    const QList<QByteArray> wrong = {
        "select email from tesuser where username = 'O'Brien'",  // quote not doubled
        "select * from tesuser",
        "select email from tesuser where username = 'a'; drop table tesuser",
        "",
    };
    for (const QByteArray& statement : wrong) {
        int rc = 0;
        const QByteArray out = Query(statement, &rc);
        EXPECT_NE(rc, 0) << statement.constData();
        EXPECT_TRUE(out.startsWith("VQRY ERROR: ")) << out.constData();
        EXPECT_FALSE(out.contains("EMAIL\n"));
    }
    int rc = 0;
    EXPECT_TRUE(Query("select email from tesuser where username = 'x'", &rc, "bad")
                    .startsWith("VQRY ERROR: "));
    EXPECT_EQ(rc, 1);
    Sim({"condition", "TESBKR01", "down"});
    EXPECT_TRUE(Query("select email from tesuser where username = 'x'", &rc)
                    .contains("COULD NOT CONNECT TO BROKER"));
    EXPECT_EQ(rc, 1);
    // No statement file at all.
    const ToolRun run = Run(
        QStringLiteral("vqry"),
        {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-f", "missing.sql", "-o", "out.dat"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(ReadAll(WorkFile(QStringLiteral("out.dat"))).startsWith("VQRY ERROR: "));
}

TEST_F(BrokerToolsTest, VantraceRecordsRequestsAndConfirmsOnlyWhatWasDone) {
    ToolRun run = Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(TraceSucceeded());
    EXPECT_TRUE(ReadAll(WorkFile(QStringLiteral("vantrace.log")))
                    .endsWith("Vantrace has been executed successfully.\n"));
    // As vantrace.exe, all clients (empty machine), OFF in lower case.
    run = Trace(QStringLiteral("bkrproc:off:3:TX1,TX2:"), QStringLiteral("vantrace.exe"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(TraceSucceeded());
    // A machine text holding a colon stays whole.
    EXPECT_EQ(Trace(QStringLiteral("bkrproc:OFF:3:ALL:_ALL_LOGGING_:5")).exitCode, 0);

    BrokerState state = State("TESBKR01");
    ASSERT_EQ(state.traceLog.size(), 3);
    EXPECT_EQ(state.traceLog[0].mode, QStringLiteral("ON"));
    EXPECT_EQ(state.traceLog[0].level, QStringLiteral("5"));
    EXPECT_EQ(state.traceLog[0].types, QStringLiteral("ALL"));
    EXPECT_EQ(state.traceLog[0].machine, QStringLiteral("PC042"));
    EXPECT_EQ(state.traceLog[1].mode, QStringLiteral("OFF"));
    EXPECT_EQ(state.traceLog[1].types, QStringLiteral("TX1,TX2"));
    EXPECT_TRUE(state.traceLog[1].machine.isEmpty());
    EXPECT_EQ(state.traceLog[2].machine, QStringLiteral("_ALL_LOGGING_:5"));
    const ToolRun shown = Run(QStringLiteral("tessamy-sim"), {"show", "TESBKR01"});
    EXPECT_TRUE(shown.out.contains("ON level 5 types ALL machine PC042 by admin"));

    // Nothing is done or confirmed by a Broker that is down, hangs up on us or refuses us.
    Sim({"condition", "TESBKR01", "down"});
    run = Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(TraceSucceeded());
    EXPECT_TRUE(ReadAll(WorkFile(QStringLiteral("vantrace.log"))).contains("COULD NOT CONNECT"));
    Sim({"condition", "TESBKR01", "badcreds"});
    EXPECT_NE(Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042")).exitCode, 0);
    EXPECT_FALSE(TraceSucceeded());
    EXPECT_NE(Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042"), QStringLiteral("vantrace"),
                    QStringLiteral("ELSEWHERE"))
                  .exitCode,
              0);
    EXPECT_FALSE(TraceSucceeded());
    EXPECT_NE(Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042"), QStringLiteral("vantrace"),
                    QStringLiteral("X\nVantrace has been executed successfully."))
                  .exitCode,
              0);
    EXPECT_FALSE(TraceSucceeded());
    EXPECT_EQ(State("TESBKR01").traceLog.size(), 3);

    // A silent Broker lets the tool run and end well, but never carries the request out;
    // listings go on meanwhile.
    Sim({"condition", "TESBKR01", "silent"});
    run = Trace(QStringLiteral("bkrproc:ON:5:ALL:PC042"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(WorkFile(QStringLiteral("vantrace.log"))));
    EXPECT_FALSE(TraceSucceeded());
    EXPECT_EQ(State("TESBKR01").traceLog.size(), 3);
    EXPECT_EQ(
        Run(QStringLiteral("quslist"), {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-cu"})
            .exitCode,
        0);
    EXPECT_TRUE(ReadAll(WorkFile(QStringLiteral("QusList.log")))
                    .contains("QUSLIST has been executed successfully."));
}

TEST_F(BrokerToolsTest, SessionsAreLoggedOnAndOffAsAsked) {
    Sim({"logon", "TESBKR01", "o'brien", "--machine", "PC042", "--pid", "3312"});
    // The session carries the name as the database spells it.
    EXPECT_EQ(State("TESBKR01").sessions.last().user, QStringLiteral("O'Brien"));
    // A process id is unique on its machine, not across machines.
    EXPECT_EQ(Run(QStringLiteral("tessamy-sim"),
                  {"logon", "TESBKR01", "NoMail", "--machine", "pc042", "--pid", "3312"})
                  .exitCode,
              1);
    Sim({"logon", "TESBKR01", "NoMail", "--machine", "PC043", "--pid", "3312"});
    Sim({"logon", "TESBKR01", "NoMail"});
    EXPECT_EQ(Run(QStringLiteral("tessamy-sim"), {"logon", "TESBKR01", "ghost"}).exitCode, 1);
    EXPECT_EQ(State("TESBKR01").sessions.size(), 5);

    Sim({"logoff", "TESBKR01", "--machine", "PC042", "--pid", "3312"});
    Sim({"logoff", "TESBKR01", "NOMAIL"});
    EXPECT_EQ(State("TESBKR01").sessions.size(), 2);
    EXPECT_EQ(Run(QStringLiteral("tessamy-sim"), {"logoff", "TESBKR01", "NoMail"}).exitCode, 1);

    // A new Broker never silently replaces an old one.
    EXPECT_EQ(Run(QStringLiteral("tessamy-sim"), {"create", "TESBKR01"}).exitCode, 1);
    Sim({"create", "TESBKR01", "--replace", "--users", "3", "--sessions", "0"});
    EXPECT_EQ(State("TESBKR01").users.size(), 3);
    Sim({"deluser", "TESBKR01", State("TESBKR01").users[0].name});
    EXPECT_EQ(State("TESBKR01").users.size(), 2);
}

TEST_F(BrokerToolsTest, CreatedUsersExerciseLookups) {
    Sim({"create", "BIG", "--users", "60", "--sessions", "30", "--stale", "4", "--seed", "8"});
    const BrokerState state = State("BIG");
    ASSERT_EQ(state.users.size(), 60);
    ASSERT_EQ(state.sessions.size(), 30);
    bool quote = false, mixed = false, noMail = false;
    QSet<QString> names;
    for (const SimUser& u : state.users) {
        quote = quote || u.name.contains(u'\'');
        mixed = mixed || (u.name != u.name.toLower() && u.name != u.name.toUpper());
        noMail = noMail || u.email.isEmpty();
        names.insert(u.name.toLower());
    }
    EXPECT_TRUE(quote);
    EXPECT_TRUE(mixed);
    EXPECT_TRUE(noMail);
    EXPECT_EQ(names.size(), 60);
    const QDate today = QDate::currentDate();
    int stale = 0;
    for (const SimSession& s : state.sessions) {
        EXPECT_TRUE(state.FindUser(s.user));
        if (s.login.date() < today.addDays(-1) || s.login > QDateTime::currentDateTime())
            ADD_FAILURE() << "login out of range";
        if (s.login.date() < today) ++stale;
    }
    EXPECT_GE(stale, 4);
    // The same seed gives the same population.
    Sim({"create", "BIG2", "--users", "60", "--sessions", "30", "--seed", "8"});
    for (qsizetype i = 0; i < state.users.size(); ++i)
        EXPECT_EQ(State("BIG2").users[i].name, state.users[i].name);
}

TEST_F(BrokerToolsTest, BadArgumentsGiveUsageAndStatusTwo) {
    const QList<QPair<QString, QStringList>> cases = {
        {"quslist", {}},
        {"quslist", {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin"}},
        {"quslist", {"-b", "TESBKR01", "-usr", "admin", "-pw"}},
        {"quslist", {"-b", "X", "-b", "Y", "-usr", "a", "-pw", "p", "-cu"}},
        {"quslist", {"-b", "X", "-usr", "a", "-pw", "p", "-cu", "extra"}},
        {"vqry", {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-f", "s.sql"}},
        {"vqry", {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-x", "-f", "s", "-o", "o"}},
        {"vantrace", {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-o", "v.log"}},
        {"vantrace",
         {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-o", "v.log",
          "bkrproc:MAYBE:5:ALL:PC1"}},
        {"vantrace",
         {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-o", "v.log", "bkrproc:ON:5"}},
        {"vantrace",
         {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-o", "v.log", "other:ON:5:ALL:PC1"}},
        {"tessamy-sim", {}},
        {"tessamy-sim", {"explode"}},
        {"tessamy-sim", {"create"}},
        {"tessamy-sim", {"create", "B", "--users", "-3"}},
        {"tessamy-sim", {"create", "B", "--users", "many"}},
        {"tessamy-sim", {"create", "../escape"}},
        {"tessamy-sim", {"create", "B", "--admin", "two words"}},
        {"tessamy-sim", {"logon", "TESBKR01", "NoMail", "--pid", "0"}},
        {"tessamy-sim", {"logon", "TESBKR01", "NoMail", "--machine", "PC/1"}},
        {"tessamy-sim", {"logon", "TESBKR01", "NoMail", "--at", "yesterday"}},
        {"tessamy-sim", {"logoff", "TESBKR01", "NoMail", "--pid", "3"}},
        {"tessamy-sim", {"condition", "TESBKR01", "sideways"}},
        {"tessamy-sim", {"condition", "TESBKR01", "broken", "--damage", "cut,melt"}},
        {"tessamy-sim", {"churn", "TESBKR01", "maybe"}},
        {"tessamy-sim", {"adduser", "TESBKR01", "two words"}},
        {"vsend", {}},
        {"vsend", {"a@b.c", "-m", "localhost", "-p", "25", "-f", "x@y.z"}},
        {"vsend", {"a@b.c", "-m", "localhost", "-p", "smtp", "-f", "x@y.z", "-s", "S"}},
        {"vsend", {"a@b.c", "-m", "localhost", "-p", "70000", "-f", "x@y.z", "-s", "S"}},
        {"vsend", {"a@b.c", "-m", "local/host", "-p", "25", "-f", "x@y.z", "-s", "S"}},
        {"vsend",
         {"a@b.c\r\nRCPT TO:<x@y.z>", "-m", "localhost", "-p", "25", "-f", "x@y.z", "-s", "S"}},
        {"vsend", {"a@b.c> NOTIFY=NEVER", "-m", "localhost", "-p", "25", "-f", "x@y.z", "-s", "S"}},
        {"vsend",
         {"a@b.c", "-m", "localhost", "-p", "25", "-f", "Ops <x@y.z> ORCPT=rfc822;v@w.x", "-s", "S"}},
        {"vsend", {"", "-m", "localhost", "-p", "25", "-f", "x@y.z", "-s", "S"}},
    };
    for (const auto& [tool, args] : cases) {
        const ToolRun run = Run(tool, args);
        const std::string what = (tool + u' ' + args.join(u' ')).toStdString();
        EXPECT_FALSE(run.crashed) << what;
        EXPECT_EQ(run.exitCode, 2) << what;
        EXPECT_TRUE(run.err.contains("usage: ")) << what;
    }
    // Help is not an error, and each command explains itself.
    for (const char* name : {"quslist", "vqry", "vantrace", "vsend", "tessamy-sim"}) {
        const QString tool = QString::fromLatin1(name);
        const ToolRun run = Run(tool, {"--help"});
        EXPECT_EQ(run.exitCode, 0) << tool.toStdString();
        EXPECT_TRUE(run.out.startsWith("usage: ")) << tool.toStdString();
    }
    for (const char* command : {"create", "logon", "logoff", "condition", "churn", "show"}) {
        const ToolRun run = Run(QStringLiteral("tessamy-sim"), {command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.contains(QByteArray("tessamy-sim ") + command)) << command;
    }
}

TEST_F(BrokerToolsTest, DamagedStateIsReportedNotTrusted) {
    const QString path = m_home + QStringLiteral("/TESBKR01/state.tsv");
    QByteArray bytes = ReadAll(path);
    bytes.replace("[sessions]\n", "[sessions]\nonly-a-name\n");
    ASSERT_TRUE(WriteAll(path, bytes));
    const ToolRun show = Run(QStringLiteral("tessamy-sim"), {"show", "TESBKR01"});
    EXPECT_EQ(show.exitCode, 1);
    EXPECT_TRUE(show.err.contains("line ")) << show.err.toStdString();
    const ToolRun list =
        Run(QStringLiteral("quslist"), {"-b", "TESBKR01", "-usr", "admin", "-pw", "admin", "-cu"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_TRUE(ReadAll(WorkFile(QStringLiteral("QusList.log")))
                    .contains("TESBKR01: COULD NOT CONNECT TO BROKER"));
    // A change is refused rather than written over the damage.
    EXPECT_EQ(Run(QStringLiteral("tessamy-sim"), {"condition", "TESBKR01", "up"}).exitCode, 1);
    EXPECT_EQ(ReadAll(path), bytes);
}

}  // namespace
