#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include "FaultTools.h"
#include "MonitorFixture.h"
#include "app/MonitorLock.h"
#include "app/QuandrixApp.h"
#include "exec/CommandLauncher.h"
#include "platform/MessageBoxPrompter.h"

// The monitor against listing tools that are missing, cannot run or leave processes behind,
// a directory it cannot write in, and commands that must not hold scanning up.
namespace {

using Dlg = CQuandrixDlg;

class ToolFaultsTest : public MonitorFixture {
protected:
    // A directory of crafted tools, put first on PATH in place of the stand-ins.
    void UseTools(const QString& dir, bool withStandIns) {
        QByteArray path = dir.toLocal8Bit();
        if (withStandIns) path += ':' + QByteArray(QV_SIM_BIN_DIR);
        qputenv("PATH", path + ":/usr/bin:/bin");
    }
    QTemporaryDir tools;
};

// Nobody may be at the screen: a listing tool that is missing or cannot run shows its box
// without waiting, and every scan goes on being recorded and counted, so the alert can go out.
TEST_F(ToolFaultsTest, AMissingOrUnrunnableListingToolIsCountedAndNeverStopsScanning) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    UseTools(tools.path(), false);
    Open();

    const QString failure = QStringLiteral("Failed to Respond");
    EXPECT_EQ(Entry(1, 0), (QStringList{"Error", "Broker", failure, Now()}));
    EXPECT_EQ(window->Engine().ContigFailCount(), 1);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Notice);
    EXPECT_TRUE(
        prompter.shown[0].text.startsWith(QStringLiteral("Executable Not Found: 'quslist ")));
    const QStringList before = HistoryLines();

    // A listing tool that is there but may not be run: a start failure, counted the same way.
    ASSERT_TRUE(WriteAll(tools.filePath(QStringLiteral("quslist")), "#!/bin/sh\nexit 0\n"));
    window->OnScanOn();
    EXPECT_EQ(window->Engine().ContigFailCount(), 2);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].kind, RecordingPrompter::Kind::Notice);
    EXPECT_TRUE(
        prompter.shown[1].text.startsWith(QStringLiteral("Failed to Launch Task 'quslist ")));
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // The tools come back: the Broker's sessions show, and nothing written before is lost.
    QFile::remove(tools.filePath(QStringLiteral("quslist")));
    UseTools(tools.path(), true);
    clock.Advance(60000);
    window->OnScanOn();
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("100"));
    EXPECT_EQ(window->Engine().ContigFailCount(), 0);
    EXPECT_EQ(HistoryLines().mid(0, before.size()), before);
    EXPECT_TRUE(HistoryLines().last().startsWith(QStringLiteral("ADD : 100 ")));
}

// The real box for such a notice: shown at once, and one at a time until it is dismissed.
TEST(NoticeBoxTest, OneBoxUntilItIsDismissed) {
    MessageBoxPrompter prompter;
    const auto boxes = [] {
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++shown;
        return shown;
    };
    prompter.Notice(QStringLiteral("Executable Not Found: 'quslist'"));
    prompter.Notice(QStringLiteral("Executable Not Found: 'quslist'"));
    EXPECT_EQ(boxes(), 1);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(boxes(), 0);
    prompter.Notice(QStringLiteral("Executable Not Found: 'quslist'"));
    EXPECT_EQ(boxes(), 1);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
}

// A listing tool that leaves a process running behind it, on every scan.
TEST_F(ToolFaultsTest, ProcessesAToolLeavesBehindEndWithIt) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    const QString pidFile = tools.filePath(QStringLiteral("left.pid"));
    ASSERT_TRUE(WriteScript(tools.path(), QStringLiteral("quslist"),
                            "sleep 300 &\necho $! >> '" + pidFile.toLocal8Bit() + "'\nexec '" +
                                QByteArray(QV_SIM_BIN_DIR) + "/quslist' \"$@\"\n"));
    UseTools(tools.path(), true);
    Open();
    window->OnScanOn();
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("100"));
    const QList<QByteArray> left = ReadAll(pidFile).split('\n');
    ASSERT_GE(left.size(), 2);
    for (const QByteArray& pid : left) {
        if (!pid.isEmpty()) {
            EXPECT_TRUE(WaitUntilGone(pid.toLongLong())) << "left running: " << pid.constData();
        }
    }
}

// The About box holds nothing up: a session that logs on meanwhile is scanned and logged.
TEST_F(ToolFaultsTest, ScanningGoesOnWhileTheAboutBoxIsOpen) {
    broker.AddUser(QStringLiteral("alice"));
    StoreProfile(1);
    Open();
    bool seen = false;
    answerDialog = [&](QDialog& dialog) {
        LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
        seen = QTest::qWaitFor([&] { return Entry(1, 0)[0] == QLatin1String("100"); }, kWaitMs);
        dialog.reject();
        return static_cast<int>(QDialog::Rejected);
    };
    window->OnAbout();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(HistoryLines().last().startsWith(QStringLiteral("ADD : 100 ")));
}

// Nothing to export: with only a failure entry on show, no dialog, no file, no message.
TEST_F(ToolFaultsTest, ExportWithNoSessionWritesNothing) {
    StoreProfile();
    broker.Condition({QStringLiteral("down")});
    Open();
    ASSERT_EQ(Entry(1, 0)[0], QStringLiteral("Error"));
    window->OnExport();
    EXPECT_TRUE(files.calls.isEmpty());
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
    EXPECT_TRUE(QDir(broker.WorkDir()).entryList({QStringLiteral("*.csv")}).isEmpty());
}

// A damaged profile: the monitor starts, takes what it can read, and the defaults for the rest.
TEST_F(ToolFaultsTest, ADamagedProfileStillStartsAMonitorThatScans) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    QFile profile(SettingsPath());
    ASSERT_TRUE(profile.open(QIODevice::Append));
    QByteArray garbage(
        "\n[Settings\nInterval=99999999999\nContigFailLimit=-4\n\x01\xff\xfe=\x80\n"
        "[EMAILLIST]\nCount=4000000000\n0=1\n");
    garbage.append('\0');
    profile.write(garbage);
    profile.close();

    Open();
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("100"));
    EXPECT_EQ(window->Engine().Settings().interval, 10u);
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

// A directory the monitor cannot write in is not taken for another monitor's.
TEST_F(ToolFaultsTest, ADirectoryThatCannotBeWrittenInIsSaidSo) {
    StoreProfile();
    // /proc takes no files, even from root.
    QDir::setCurrent(QStringLiteral("/proc"));
    QuandrixServices services;
    services.prompter = &prompter;
    services.settingsPath = SettingsPath();
    CQuandrixApp app(services);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.MainWindow(), nullptr);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, MonitorLock::CannotWriteMessage(QStringLiteral("/proc")));
    EXPECT_TRUE(
        prompter.shown[0].text.startsWith(QStringLiteral("Quorvatel cannot write in /proc.")));
    QDir::setCurrent(broker.WorkDir());
}

}  // namespace
