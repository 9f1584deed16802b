#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "FaultTools.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "exec/CommandLauncher.h"

namespace {

TEST(CommandLauncherTest, MissingProgramGivesMinusTwoAndNamesTheWholeCommand) {
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    QString result = QStringLiteral("stale");
    const QString command = QStringLiteral("no-such-tool-qv -b BKR -usr admin -cu");
    EXPECT_EQ(launcher.LaunchWinAppFg(result, command), CommandLauncher::kNotFound);
    EXPECT_EQ(result, QString());
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Warning);
    EXPECT_EQ(prompter.shown[0].text,
              QStringLiteral("Executable Not Found: 'no-such-tool-qv -b BKR -usr admin -cu'\n\n"
                             "This executable must be installed.\n"));
}

TEST(CommandLauncherTest, FilesThatCannotRunAreStartFailuresNotMissingPrograms) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("quslist"));
    ASSERT_TRUE(WriteAll(plain, "#!/bin/sh\n"));
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    QString result;
    EXPECT_EQ(launcher.LaunchWinAppFg(result, dir.path()), CommandLauncher::kStartFailed);
    EXPECT_EQ(launcher.LaunchWinAppFg(result, plain + QStringLiteral(" -cu")),
              CommandLauncher::kStartFailed);
    // Found on PATH but not executable: there, yet it cannot run.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toLocal8Bit() + ':' + path);
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QStringLiteral("quslist -cu")),
              CommandLauncher::kStartFailed);
    qputenv("PATH", path);
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QString()), CommandLauncher::kNotFound);
    ASSERT_EQ(prompter.shown.size(), 4);
    EXPECT_EQ(prompter.shown[1].text,
              CommandLauncher::StartFailedMessage(plain + QStringLiteral(" -cu")));
    EXPECT_EQ(prompter.shown[2].text, CommandLauncher::StartFailedMessage(QStringLiteral("quslist -cu")));
    EXPECT_EQ(prompter.shown[3].text, CommandLauncher::NotFoundMessage(QString()));
}

// Messages raised while unattended (a scan cycle) do not wait for the user.
TEST(CommandLauncherTest, UnattendedMessagesDoNotWait) {
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    QString result;
    {
        CommandLauncher::UnattendedScope unattended(launcher);
        launcher.LaunchWinAppFg(result, QStringLiteral("no-such-tool-qv -cu"));
    }
    launcher.LaunchWinAppFg(result, QStringLiteral("no-such-tool-qv -cu"));
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Notice);
    EXPECT_EQ(prompter.shown[1].kind, RecordingPrompter::Kind::Warning);
}

// A tool that leaves a child running behind it: the child goes with the tool, whether the
// tool ends in time or is cut off.
TEST(CommandLauncherTest, WhatAToolLeavesRunningEndsWithIt) {
    QTemporaryDir dir;
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter, 1500);
    for (const char* tail : {"", "; sleep 30"}) {
        const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
        QFile::remove(pidFile);
        LaunchRequest request;
        request.program = QStringLiteral("sh");
        request.arguments = {QStringLiteral("-c"),
                             QStringLiteral("sleep 300 & echo $! > '%1'%2").arg(pidFile, QLatin1String(tail))};
        const LaunchOutcome outcome = launcher.Run(request);
        EXPECT_EQ(outcome.rc, *tail ? CommandLauncher::kTimedOut : CommandLauncher::kOk);
        const QByteArray child = ReadAll(pidFile).trimmed();
        ASSERT_FALSE(child.isEmpty());
        EXPECT_TRUE(WaitUntilGone(child.toLongLong())) << "left running: " << child.constData();
    }
}

TEST(CommandLauncherTest, ToolOutlivingTheLimitIsKilledSilently) {
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter, 300);
    QString result;
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QStringLiteral("sleep 25")),
              CommandLauncher::kTimedOut);
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_EQ(result, QString());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST(CommandLauncherTest, FailingToolStillCountsAsRunAndGivesItsPid) {
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    QString result;
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QStringLiteral("sh -c \"exit 3\"")),
              CommandLauncher::kOk);
    bool ok = false;
    EXPECT_GT(result.toLongLong(&ok), 0);
    EXPECT_TRUE(ok) << result.toStdString();
    EXPECT_TRUE(prompter.shown.isEmpty());

    const LaunchOutcome outcome = launcher.Run({QStringLiteral("sh -c \"exit 3\""), {}, {}});
    EXPECT_EQ(outcome.rc, CommandLauncher::kOk);
    EXPECT_EQ(outcome.exitStatus, 3);
}

TEST(CommandLauncherTest, QuotedArgumentsAndRedirectionsNeverGoThroughAShell) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.txt"));
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    const QString marker = dir.filePath(QStringLiteral("pwned"));
    ASSERT_TRUE(WriteAll(in, "body; $(touch " + marker.toUtf8() + ")\n"));
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    // The second argument holds shell syntax; printf must receive it as one plain word.
    const LaunchOutcome o = launcher.Run(
        {QStringLiteral("printf \"%s|%s\\n\" \"a b; touch ") + marker + QStringLiteral("\" `x`"),
         QString(), out});
    EXPECT_EQ(o.rc, CommandLauncher::kOk);
    EXPECT_EQ(ReadAll(out), QByteArray("a b; touch ") + marker.toUtf8() + "|`x`\n");
    const LaunchOutcome cat = launcher.Run({QStringLiteral("cat"), in, out});
    EXPECT_EQ(cat.rc, CommandLauncher::kOk);
    EXPECT_EQ(ReadAll(out), ReadAll(in));
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(CommandLauncherTest, ArgumentListReachesTheToolWordForWordAndMessagesShowTheCommandLine) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("argv.txt"));
    const QString marker = dir.filePath(QStringLiteral("pwned"));
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    // Quotes, blanks, an empty word, percent signs and shell syntax: none is split or read.
    const QStringList args{
        QStringLiteral("a \"b\" c"), QString(), QStringLiteral("50% %s %1"),
        QStringLiteral("x; touch ") + marker + QStringLiteral(" | $(id) `id` >y")};
    LaunchRequest request;
    request.commandLine = QStringLiteral("this line is only shown");
    request.stdoutFile = out;
    request.program = QStringLiteral("printf");
    request.arguments = QStringList{QStringLiteral("[%s]\n")} + args;
    const LaunchOutcome o = launcher.Run(request);
    EXPECT_EQ(o.rc, CommandLauncher::kOk);
    EXPECT_EQ(o.exitStatus, 0);
    QByteArray expected;
    for (const QString& a : args) expected += "[" + a.toUtf8() + "]\n";
    EXPECT_EQ(ReadAll(out), expected);
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_TRUE(prompter.shown.isEmpty());

    request.program = QStringLiteral("no-such-tool-qv");
    request.commandLine = QStringLiteral("no-such-tool-qv a@b -s \"x y\"");
    EXPECT_EQ(launcher.Run(request).rc, CommandLauncher::kNotFound);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text,
              CommandLauncher::NotFoundMessage(QStringLiteral("no-such-tool-qv a@b -s \"x y\"")));
}

TEST(CommandLauncherTest, StartFailureMessageNamesTheFirstWordOfLongerCommands) {
    EXPECT_EQ(CommandLauncher::StartFailedMessage(QStringLiteral("vsend a b")),
              QStringLiteral("Failed to Launch Task 'vsend a b, FOREGROUND, INDEPENDENT, "
                             "WINSESSIONCHILD' Err=-32\n\nFile Not Found: vsend\n\n"));
    EXPECT_EQ(CommandLauncher::StartFailedMessage(QStringLiteral("vsend")),
              QStringLiteral("Failed to Launch Task 'vsend, FOREGROUND, INDEPENDENT, "
                             "WINSESSIONCHILD' Err=-32\n\n"));
}

TEST(CommandLauncherTest, TimersAndPaintsRunDuringTheWait) {
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QString result;
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QStringLiteral("sleep 0.3")), CommandLauncher::kOk);
    EXPECT_GE(ticks, 5);
}

}  // namespace
