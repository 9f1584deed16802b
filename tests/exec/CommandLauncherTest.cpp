#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

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

TEST(CommandLauncherTest, DirectoriesAndNonExecutableFilesAreNotFound) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(WriteAll(plain, "#!/bin/sh\n"));
    RecordingPrompter prompter;
    CommandLauncher launcher(prompter);
    QString result;
    EXPECT_EQ(launcher.LaunchWinAppFg(result, dir.path()), CommandLauncher::kNotFound);
    EXPECT_EQ(launcher.LaunchWinAppFg(result, plain), CommandLauncher::kNotFound);
    EXPECT_EQ(launcher.LaunchWinAppFg(result, QString()), CommandLauncher::kNotFound);
    EXPECT_EQ(prompter.shown.size(), 3u);
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
