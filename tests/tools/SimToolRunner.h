#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "BrokerState.h"
#include "TestFiles.h"

// Runs the stand-in tools as processes in a temporary directory, with their own Broker home.
struct ToolRun {
    int exitCode = -1;
    bool crashed = false;
    qint64 pid = 0;
    QByteArray out;
    QByteArray err;
};

class SimToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_home = m_dir.filePath(QStringLiteral("home"));
        m_work = m_dir.filePath(QStringLiteral("work"));
        ASSERT_TRUE(QDir().mkpath(m_work));
    }

    static QString Tool(const QString& name) { return QStringLiteral(QV_SIM_BIN_DIR "/") + name; }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESSAMY_SIM_HOME"), m_home);
        return env;
    }

    // Starts a tool without waiting (for runs that overlap).
    QProcess* StartTool(const QString& tool, const QStringList& args, const QString& workDir) {
        auto* p = new QProcess();
        p->setProgram(Tool(tool));
        p->setArguments(args);
        p->setWorkingDirectory(workDir);
        p->setProcessEnvironment(Environment());
        p->start();
        return p;
    }

    ToolRun Run(const QString& tool, const QStringList& args, const QByteArray& input = {},
                QString workDir = {}, int timeoutMs = 30000) {
        QProcess p;
        p.setProgram(Tool(tool));
        p.setArguments(args);
        p.setWorkingDirectory(workDir.isEmpty() ? m_work : workDir);
        p.setProcessEnvironment(Environment());
        p.start();
        ToolRun run;
        if (!p.waitForStarted(10000)) {
            ADD_FAILURE() << "cannot start " << tool.toStdString();
            return run;
        }
        run.pid = p.processId();
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << tool.toStdString() << " did not end";
        }
        run.crashed = p.exitStatus() != QProcess::NormalExit;
        run.exitCode = p.exitCode();
        run.out = p.readAllStandardOutput();
        run.err = p.readAllStandardError();
        return run;
    }

    // tessamy-sim with the arguments; expects success.
    void Sim(const QStringList& args) {
        const ToolRun r = Run(QStringLiteral("tessamy-sim"), args);
        ASSERT_EQ(r.exitCode, 0) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }

    BrokerState State(const QString& broker) const {
        BrokerState state;
        QString error;
        const QByteArray bytes =
            ReadAll(m_home + u'/' + broker.toUpper() + QStringLiteral("/state.tsv"));
        EXPECT_TRUE(BrokerState::Parse(bytes, state, error)) << error.toStdString();
        return state;
    }

    QString WorkFile(const QString& name) const { return m_work + u'/' + name; }

    QTemporaryDir m_dir;
    QString m_home;
    QString m_work;
};
