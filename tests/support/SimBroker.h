#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// A simulated Broker for end-to-end tests: a private Broker home, a working directory that
// becomes the current directory (the tools write their files there), and the stand-in tools
// first on PATH for the launcher. Restores the current directory and environment after.
// Log sessions on with pids below 300 (Linux hands those out only while it boots: its pid
// counter restarts at 300) or above 4194304 (no Linux pid is that large), so that no session
// shares the listing tool's own pid and is filtered out with it.
class SimBroker {
public:
    static constexpr const char* kBroker = "TESBKR01";
    static constexpr const char* kAdmin = "admin";
    static constexpr const char* kPassword = "s3cret pw";

    SimBroker() {
        m_oldDir = QDir::currentPath();
        m_oldPath = qgetenv("PATH");
        m_oldHome = qgetenv("TESSAMY_SIM_HOME");
        m_home = m_dir.filePath(QStringLiteral("home"));
        m_work = m_dir.filePath(QStringLiteral("work"));
        QDir().mkpath(m_work);
        qputenv("TESSAMY_SIM_HOME", m_home.toLocal8Bit());
        qputenv("PATH", QByteArray(QV_SIM_BIN_DIR) + ':' + m_oldPath);
        QDir::setCurrent(m_work);
    }
    ~SimBroker() {
        QDir::setCurrent(m_oldDir);
        qputenv("PATH", m_oldPath);
        if (m_oldHome.isEmpty())
            qunsetenv("TESSAMY_SIM_HOME");
        else
            qputenv("TESSAMY_SIM_HOME", m_oldHome);
    }
    SimBroker(const SimBroker&) = delete;
    SimBroker& operator=(const SimBroker&) = delete;

    QString WorkDir() const { return m_work; }
    QString Root() const { return m_dir.path(); }

    // Runs `tessamy-sim args...`; a failure fails the test.
    QByteArray Sim(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(QV_SIM_BIN_DIR "/tessamy-sim"), args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            ADD_FAILURE() << "tessamy-sim " << args.join(QLatin1Char(' ')).toStdString()
                          << " failed: " << p.readAllStandardError().toStdString();
        }
        return p.readAllStandardOutput();
    }

    // An empty Broker with the test's administrator.
    void Create() {
        Sim({QStringLiteral("create"), QString::fromLatin1(kBroker), QStringLiteral("--users"),
             QStringLiteral("0"), QStringLiteral("--sessions"), QStringLiteral("0"),
             QStringLiteral("--admin"), QString::fromLatin1(kAdmin), QStringLiteral("--password"),
             QString::fromLatin1(kPassword), QStringLiteral("--replace")});
    }
    void AddUser(const QString& user, const QString& email = QString()) {
        QStringList args{QStringLiteral("adduser"), QString::fromLatin1(kBroker), user};
        if (!email.isEmpty()) args << QStringLiteral("--email") << email;
        Sim(args);
    }
    void LogOn(const QString& user, const QString& machine, const QString& pid, const QString& at) {
        Sim({QStringLiteral("logon"), QString::fromLatin1(kBroker), user, QStringLiteral("--machine"),
             machine, QStringLiteral("--pid"), pid, QStringLiteral("--at"), at});
    }
    void LogOff(const QString& machine, const QString& pid) {
        Sim({QStringLiteral("logoff"), QString::fromLatin1(kBroker), QStringLiteral("--machine"),
             machine, QStringLiteral("--pid"), pid});
    }
    void Condition(const QStringList& args) {
        Sim(QStringList{QStringLiteral("condition"), QString::fromLatin1(kBroker)} + args);
    }

private:
    QTemporaryDir m_dir;
    QString m_home;
    QString m_work;
    QString m_oldDir;
    QByteArray m_oldPath;
    QByteArray m_oldHome;
};
