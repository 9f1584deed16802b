#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "exec/ProcessEnum.h"

namespace {

// A stand-in process table: <root>/<pid>/exe links to the executable.
void AddProcess(const QTemporaryDir& root, int pid, const QString& exe) {
    const QString dir = root.filePath(QString::number(pid));
    QDir().mkpath(dir);
    QFile::link(exe, dir + QStringLiteral("/exe"));
}

TEST(ProcessFinderTest, MatchesTheBeginningOfTheNameIgnoringCase) {
    QTemporaryDir root;
    AddProcess(root, 40, QStringLiteral("/usr/bin/bash"));
    QDir().mkpath(root.filePath(QStringLiteral("41")));  // no readable executable: invisible
    AddProcess(root, 52, QStringLiteral("/opt/x/QUORVATEL2.EXE"));
    AddProcess(root, 77, QStringLiteral("/opt/x/Quorvatel.exe"));
    QDir().mkpath(root.filePath(QStringLiteral("self")));

    CProcessEnum processes;
    processes.SetProcRoot(root.path());
    EXPECT_EQ(ProcessFinder::FindProcessId(QStringLiteral("Quorvatel"), processes), 52);
    EXPECT_EQ(ProcessFinder::FindProcessId(QStringLiteral("quorvatel.exe"), processes), 77);
    EXPECT_EQ(ProcessFinder::FindProcessId(QStringLiteral("zsh"), processes),
              ProcessFinder::kNotFound);

    processes.SetProcRoot(root.filePath(QStringLiteral("missing")));
    EXPECT_EQ(ProcessFinder::FindProcessId(QStringLiteral("bash"), processes),
              ProcessFinder::kNoSnapshot);
}

TEST(ProcessFinderTest, FindsThisVeryProcessInTheRealTable) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const qint64 pid = ProcessFinder::FindProcessId(self.toUpper());
    // Another copy of this test binary may run in parallel; any match must carry the name.
    ASSERT_GT(pid, 0);
    CProcessEnum processes;
    ASSERT_EQ(processes.TakeSnapshot(), 0);
    bool sawSelf = false;
    for (bool more = processes.First(); more; more = processes.Next())
        if (processes.ProcessId() == QCoreApplication::applicationPid()) {
            sawSelf = true;
            EXPECT_EQ(processes.ModuleName(), self);
        }
    EXPECT_TRUE(sawSelf);
}

TEST(ProcessFinderTest, TerminateRefusesNonsenseIds) {
    EXPECT_FALSE(ProcessFinder::TerminateProcess(0));
    EXPECT_FALSE(ProcessFinder::TerminateProcess(-1));
}

}  // namespace
