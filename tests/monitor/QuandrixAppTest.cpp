#include <signal.h>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>

#include <csignal>

#include "MonitorFixture.h"
#include "app/QuandrixApp.h"

// The application object: one monitor per directory, and the end of the program by signal,
// in this process and in the real executable.
namespace {

class QuandrixAppTest : public MonitorFixture {
protected:
    QuandrixServices Services() {
        QuandrixServices s;
        s.prompter = &prompter;
        s.clock = &clock;
        s.settingsPath = SettingsPath();
        s.runDialog = [](QDialog& d) {
            d.reject();
            return static_cast<int>(QDialog::Rejected);
        };
        s.exitProgram = [this](int code) { exitCodes.append(code); };
        return s;
    }
    QStringList History() const {
        QStringList lines = QString::fromUtf8(ReadAll(broker.WorkDir() + "/QuorvatelHistory.log"))
                                .split('\n', Qt::SkipEmptyParts);
        return lines;
    }
    QString LockPath() const { return broker.WorkDir() + QStringLiteral("/Quorvatel.lock"); }
};

TEST_F(QuandrixAppTest, ASecondMonitorInTheSameDirectoryIsRefused) {
    StoreProfile();
    QLockFile running(LockPath());
    ASSERT_TRUE(running.tryLock(0));

    CQuandrixApp app(Services());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.MainWindow(), nullptr);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Warning);
    EXPECT_TRUE(prompter.shown[0].text.startsWith(
        QStringLiteral("Quorvatel is already running in ") + broker.WorkDir() + "."));
    EXPECT_TRUE(History().isEmpty()) << "the running monitor's history is left alone";

    // Once the first one is gone, a monitor starts there.
    running.unlock();
    CQuandrixApp next(Services());
    EXPECT_TRUE(next.InitInstance());
    EXPECT_EQ(next.StartupDirectory(), broker.WorkDir());
    ASSERT_NE(next.MainWindow(), nullptr);
    EXPECT_TRUE(next.MainWindow()->Initialised());
}

TEST_F(QuandrixAppTest, ALockLeftByADeadMonitorIsTakenOver) {
    StoreProfile();
    // The lock file of a monitor that died: a process id that is not running.
    ASSERT_TRUE(WriteAll(LockPath(),
                         "2147483600\nquorvatel\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
    CQuandrixApp app(Services());
    EXPECT_TRUE(app.InitInstance());
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

TEST_F(QuandrixAppTest, SigtermAndSigintRunTheCloseSequence) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    for (int signal : {SIGTERM, SIGINT}) {
        exitCodes.clear();
        CQuandrixApp app(Services());
        ASSERT_TRUE(app.InitInstance());
        ASSERT_EQ(History().size(), 1);
        std::raise(signal);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !exitCodes.isEmpty(); }, kWaitMs));
        EXPECT_EQ(exitCodes, QList<int>{0});
        EXPECT_EQ(History().last(),
                  "REC : 0000       QUORVATEL            SHUTDOWN             " + Now());
        EXPECT_TRUE(app.MainWindow()->Closed());
    }
}

TEST_F(QuandrixAppTest, TheProgramEndsWithStatusZeroOnSigterm) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    // The real program reads the user's profile.
    const QString config = broker.Root() + QStringLiteral("/config");
    {
        SettingsStore store(config + QStringLiteral("/Orvex/Quorvatel.conf"));
        AppSettings s(store);
        s.SetText(Setting::Broker, QString::fromLatin1(SimBroker::kBroker));
        s.SetText(Setting::AdminUserId, QString::fromLatin1(SimBroker::kAdmin));
        s.SetPassword(QString::fromLatin1(SimBroker::kPassword));
        s.SetInt(Setting::Interval, 1);
    }
    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    monitor.setProcessEnvironment(env);
    monitor.setWorkingDirectory(broker.WorkDir());
    monitor.start(QStringLiteral(QV_QUORVATEL_BIN), {});
    ASSERT_TRUE(monitor.waitForStarted(kWaitMs));

    // It scans (more than once: the interval is one second) ...
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return History().size() == 1 && QFile::exists(broker.WorkDir() + "/QusList.log"); },
        kWaitMs));
    QFile::remove(broker.WorkDir() + "/QusList.log");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(broker.WorkDir() + "/QusList.log"); }, kWaitMs));
    EXPECT_TRUE(History()[0].startsWith(QStringLiteral("ADD : 100        ALICE")));

    // ... until it is asked to end.
    ::kill(static_cast<pid_t>(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(kWaitMs));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
    ASSERT_EQ(History().size(), 2);
    EXPECT_TRUE(History()[1].startsWith(
        QStringLiteral("REC : 0000       QUORVATEL            SHUTDOWN             ")));
    EXPECT_FALSE(QFile::exists(LockPath())) << "the lock goes with the program";
}

}  // namespace
