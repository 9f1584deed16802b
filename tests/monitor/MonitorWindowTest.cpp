#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSizeGrip>
#include <QTimer>

#include "MonitorFixture.h"
#include "debuglog/AboutDlg.h"

// The monitor window as a user meets it: started offscreen against a simulated Broker, with
// what it shows checked after each command.
namespace {

using Dlg = CQuandrixDlg;

class MonitorWindowTest : public MonitorFixture {
protected:
    // Four sessions of three users, logged on in this order: 100, 200, 250, 251 (pids no
    // listing tool can have; see SimBroker).
    void FourSessions() {
        broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
        broker.AddUser(QStringLiteral("Bob"));
        broker.AddUser(QStringLiteral("smith"), QStringLiteral("smith@example.com"));
        LogOn("Bob", "pc2", "200", "2017/11/02 09:02:00");
        LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
        LogOn("smith", "PC3", "251", "2017/11/02 09:04:00");
        LogOn("smith", "PC9", "250", "2017/11/02 09:03:00");
    }
    bool Checked(int id) { return static_cast<QPushButton*>(window->Control(id))->isChecked(); }
};

TEST_F(MonitorWindowTest, StartUpShowsTheMatrixInLoginOrderWithItsStatusTexts) {
    FourSessions();
    StoreProfile();
    Open();

    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("Quorvatel 4.01 - Broker: TESBKR01    - Working Directory: ") +
                  broker.WorkDir());
    EXPECT_EQ(Grid().GetItemText(0, 1), QStringLiteral("    UserId     "));
    EXPECT_EQ(Grid().GetItemText(0, 11), QStringLiteral("   DateTime  "));
    EXPECT_EQ(Entry(1, 0), (QStringList{"100", "ALICE", "PC1", "2017/11/02 09:01:00"}));
    EXPECT_EQ(Entry(1, 1), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    EXPECT_EQ(Entry(1, 2), (QStringList{"250", "SMITH", "PC9", "2017/11/02 09:03:00"}));
    EXPECT_EQ(Entry(2, 0), (QStringList{"251", "SMITH", "PC3", "2017/11/02 09:04:00"}));
    EXPECT_EQ(Grid().GetRowCount(), 3);

    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QStringLiteral("4"));
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
    EXPECT_TRUE(Checked(Dlg::IDC_ON));
    EXPECT_FALSE(Checked(Dlg::IDC_OFF));
    EXPECT_EQ(Text(Dlg::IDC_DATABASE_USERS),
              QStringLiteral("Nbr of Active Users in\nthe Database: 3"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging Status"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_PID), QStringLiteral("Pid"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_USER), QStringLiteral("UserId"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_MACHINE), QStringLiteral("Machine"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_DATETIME), QStringLiteral("DateTime"));
    EXPECT_EQ(Text(Dlg::IDC_ALERTS), QStringLiteral("EMAIL ALERTS DISABLED"));
    EXPECT_EQ(Text(Dlg::IDC_HISTORY), QStringLiteral("Enable History Logging"));
    EXPECT_TRUE(static_cast<QAbstractButton*>(window->Control(Dlg::IDC_HISTORY))->isChecked());
    EXPECT_EQ(Text(Dlg::IDC_EXPORT), QStringLiteral("Snapshot Export..."));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
    EXPECT_TRUE(dialogsShown.isEmpty());

    // Only the commands that work are offered.
    for (const char* item : {"E&xit", "&Settings...", "VanTrace...", "&Change Matrix Font...",
                             "&Reset Font", "&Find...\tCtrl+F", "&About ..."})
        EXPECT_NE(MenuAction(QString::fromLatin1(item)), nullptr) << item;
    // ON, OFF, export and the stop of debug logging, which has nothing to stop yet.
    EXPECT_EQ(window->findChildren<QPushButton*>().size(), 4);
    EXPECT_FALSE(window->Control(Dlg::IDC_STOP_VANTRACE)->isEnabled());

    // The history tells the same story.
    const QStringList lines = HistoryLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0],
              "ADD : 100        ALICE                PC1                  2017/11/02 09:01:00");
}

TEST_F(MonitorWindowTest, OnOffDepartingSessionsAndAFailingBroker) {
    FourSessions();
    StoreProfile();
    Open();

    QTest::mouseClick(window->Control(Dlg::IDC_OFF), Qt::LeftButton);
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    EXPECT_FALSE(Checked(Dlg::IDC_ON));
    EXPECT_TRUE(Checked(Dlg::IDC_OFF));
    EXPECT_FALSE(window->Engine().Scanning());
    QTest::mouseClick(window->Control(Dlg::IDC_OFF), Qt::LeftButton);
    EXPECT_TRUE(Checked(Dlg::IDC_OFF)) << "a second OFF keeps it pressed";

    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("200"));
    clock.Advance(60000);
    QTest::mouseClick(window->Control(Dlg::IDC_ON), Qt::LeftButton);
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
    EXPECT_TRUE(Checked(Dlg::IDC_ON));
    EXPECT_EQ(Entry(1, 1)[0], QStringLiteral("250")) << "the departed session is gone";
    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QStringLiteral("3"));
    EXPECT_EQ(HistoryLines().last(),
              "DEL : 200        BOB                  PC2                  " + Now());

    broker.Condition({QStringLiteral("down")});
    window->OnScanOn();
    EXPECT_EQ(Entry(1, 2)[0], QStringLiteral("251"));
    EXPECT_EQ(Entry(2, 0), (QStringList{"Error", "TESBKR01", "Fail Broker Connect", Now()}));
    EXPECT_TRUE(window->Engine().ErrorBlinkRunning());
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // Right-clicks: a DateTime cell and the failure entry enable nothing; a user id does.
    QRect cell;
    const auto rightClick = [&](int row, int col) {
        ASSERT_TRUE(Grid().GetCellRect(row, col, cell));
        QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, cell.center());
    };
    rightClick(1, 3);
    EXPECT_EQ(window->RowMenu(), (RowMenuState{false, false}));
    rightClick(2, 1);
    EXPECT_EQ(window->RowMenu(), (RowMenuState{false, false}));
    rightClick(2, 2);
    EXPECT_EQ(window->RowMenu(), (RowMenuState{false, false}));
    rightClick(1, 5);
    EXPECT_EQ(window->RowMenu(), (RowMenuState{true, true}));
    EXPECT_EQ(window->Watched(), (WatchedSession{"250", "SMITH", "PC9", "2017/11/02 09:03:00"}));
    EXPECT_EQ(window->Engine().WatchedEntry(), CCellID(1, 6));
    // The clicked cell's text becomes the search text.
    EXPECT_EQ(window->SearchText(), QStringLiteral("SMITH"));

    // Back up: the failure entry goes with one DEL line.
    broker.Condition({QStringLiteral("up")});
    clock.Advance(60000);
    window->OnScanOn();
    EXPECT_EQ(Entry(2, 0)[0], QString());
    EXPECT_EQ(HistoryLines().last(),
              "DEL : Error      TESBKR01             Fail Broker Connect  " + Now());
    EXPECT_EQ(window->Engine().ContigFailCount(), 0);
}

TEST_F(MonitorWindowTest, FindMarksEveryMatchingGroupAndLeavesTheScannerPaused) {
    FourSessions();
    StoreProfile();
    Open();

    answerDialog = [this](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find"));
        EXPECT_EQ(dialog.findChild<QLineEdit*>()->text(), QString()) << "nothing remembered yet";
        return TypeAndAccept(QStringLiteral("smith"))(dialog);
    };
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(dialogsShown, QStringList{"Find"});
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    EXPECT_FALSE(window->Engine().Scanning());
    EXPECT_EQ(Setting("SearchText"), QStringLiteral("smith"));
    EXPECT_EQ(window->SearchText(), QStringLiteral("SMITH"));
    const auto marked = [this](int row, int col) {
        return Grid().GetItemBkColour(row, col) == MatrixPresentation::kFindBk;
    };
    EXPECT_TRUE(marked(1, 8));
    EXPECT_TRUE(marked(2, 0));
    EXPECT_FALSE(marked(1, 0));
    EXPECT_FALSE(marked(1, 4));

    // The next Find opens on the remembered text; Cancel changes nothing.
    answerDialog = [](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>()->text(), QStringLiteral("SMITH"));
        dialog.reject();
        return static_cast<int>(QDialog::Rejected);
    };
    MenuAction(QStringLiteral("&Find...\tCtrl+F"))->trigger();
    EXPECT_EQ(dialogsShown.size(), 2);
    EXPECT_TRUE(marked(1, 8));

    // ON rebuilds the matrix: the marks go and scanning resumes.
    window->OnScanOn();
    EXPECT_FALSE(marked(1, 8));
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
}

TEST_F(MonitorWindowTest, FontCommandsWriteFontDescAndTheNextStartReadsIt) {
    FourSessions();
    StoreProfile();
    Open();
    EXPECT_TRUE(Setting("Font_Desc").isEmpty()) << "nothing written before a font command";

    fonts.answer = QFont(QStringLiteral("DejaVu Serif"));
    fonts.answer.setPixelSize(16);
    fonts.answer.setBold(true);
    MenuAction(QStringLiteral("&Change Matrix Font..."))->trigger();
    ASSERT_EQ(fonts.opened.size(), 1);
    EXPECT_EQ(fonts.opened[0].pixelSize(), 10) << "the dialog opens on the matrix font";
    EXPECT_EQ(Setting("Font_Desc"), QStringLiteral("-16:0:0:0:700:0:0:0:0:3:2:1:34"));
    EXPECT_EQ(Setting("Font_Name"), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(Grid().GetGridFont().pixelSize(), 16);
    EXPECT_TRUE(Grid().GetItemFont(0, 2).italic());
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning")) << "resumed";

    // Cancel keeps everything.
    fonts.accept = false;
    window->OnChangeFont();
    EXPECT_EQ(Setting("Font_Desc"), QStringLiteral("-16:0:0:0:700:0:0:0:0:3:2:1:34"));

    // A new window reads the stored font at its first reset.
    window.reset();
    Open();
    EXPECT_EQ(Grid().GetGridFont().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(Grid().GetGridFont().pixelSize(), 16);
    EXPECT_EQ(Grid().GetItemFont(1, 1).pixelSize(), 16);

    // Reset Font stores the default and rebuilds the matrix with a scan.
    broker.LogOff(QStringLiteral("PC1"), QStringLiteral("100"));
    MenuAction(QStringLiteral("&Reset Font"))->trigger();
    EXPECT_EQ(Setting("Font_Desc"), QStringLiteral("-10:0:0:0:400:0:0:0:0:3:2:1:34"));
    EXPECT_EQ(Setting("Font_Name"), QStringLiteral("Segoe UI"));
    EXPECT_EQ(Grid().GetGridFont().pixelSize(), 10);
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("200")) << "a scan ran";
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
}

TEST_F(MonitorWindowTest, SettingsDialogOpensByItselfOnAnEmptyProfile) {
    FourSessions();
    realDialogs = true;  // the real dialog, run modally
    bool sawDialog = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || sawDialog) return;
        sawDialog = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Monitor Settings"));
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("broker"))->text(), QString());
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("interval"))->text(),
                  QStringLiteral("10"));
        dialog->findChild<QLineEdit*>(QStringLiteral("broker"))->setText(SimBroker::kBroker);
        dialog->findChild<QLineEdit*>(QStringLiteral("adminUserId"))->setText(SimBroker::kAdmin);
        dialog->findChild<QLineEdit*>(QStringLiteral("password"))->setText(SimBroker::kPassword);
        dialog->findChild<QLineEdit*>(QStringLiteral("interval"))->setText(QStringLiteral("600"));
        dialog->accept();
    });
    poll.start(20);
    Open();
    EXPECT_FALSE(sawDialog) << "the dialog opens after start-up, not inside it";
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    EXPECT_EQ(Grid().GetRowCount(), 1);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return sawDialog && !QApplication::activeModalWidget(); }, kWaitMs));

    // The values are stored and taken over, but scanning waits for ON.
    EXPECT_EQ(Setting("Broker"), QStringLiteral("TESBKR01"));
    EXPECT_EQ(window->Engine().Settings().interval, 600u);
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Broker: TESBKR01 ")));
    EXPECT_EQ(Grid().GetRowCount(), 1);
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    window->OnScanOn();
    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QStringLiteral("4"));
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("100"));
}

TEST_F(MonitorWindowTest, SettingsCommandTakesTheNewValuesAndAlwaysScans) {
    FourSessions();
    StoreProfile();
    {
        SettingsStore store(SettingsPath());
        AppSettings s(store);
        s.SetText(Setting::EmailAlertsEnabled, QStringLiteral("1"));
        s.SetText(Setting::ContigFailLimit, QStringLiteral("3"));
    }
    Open();
    EXPECT_EQ(Text(Dlg::IDC_ALERTS), QStringLiteral("* EMAIL ALERTS ENABLED *"));
    EXPECT_EQ(window->Engine().ContigFailLimit(), 3);

    // Cancel: nothing changes, but a cycle runs at once.
    broker.LogOff(QStringLiteral("PC1"), QStringLiteral("100"));
    MenuAction(QStringLiteral("&Settings..."))->trigger();
    EXPECT_EQ(dialogsShown, QStringList{"Monitor Settings"});
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("200"));

    // OK with another Broker: caption and scanner follow; the unknown Broker fails.
    answerDialog = TypeAndAccept(QStringLiteral("OTHERBKR"));
    window->OnSettings();
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Broker: OTHERBKR    -")));
    EXPECT_EQ(window->Engine().Settings().broker, QStringLiteral("OTHERBKR"));
    EXPECT_EQ(Setting("Broker"), QStringLiteral("OTHERBKR"));
    EXPECT_EQ(Entry(2, 0)[1], QStringLiteral("OTHERBKR")) << "a failure entry for it";

    // About shows the version.
    answerDialog = [](QDialog& dialog) {
        EXPECT_TRUE(dialog.findChildren<QLabel*>().size() >= 2);
        bool version = false;
        for (QLabel* l : dialog.findChildren<QLabel*>())
            version = version || l->text() == QStringLiteral("Version 4.01");
        EXPECT_TRUE(version);
        dialog.accept();
        return dialog.result();
    };
    MenuAction(QStringLiteral("&About ..."))->trigger();
    EXPECT_EQ(dialogsShown.last(), QStringLiteral("About"));
}

TEST_F(MonitorWindowTest, SnapshotExportWritesTheMatrixByteForByte) {
    const QString header = QString::fromLatin1(Dlg::kExportHeader) + QLatin1Char('\n');
    broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    broker.AddUser(QStringLiteral("christopher.longname"));
    StoreProfile();
    Open();

    // An empty matrix: nothing is asked and nothing written; scanning goes on.
    QTest::mouseClick(window->Control(Dlg::IDC_EXPORT), Qt::LeftButton);
    EXPECT_TRUE(files.calls.isEmpty());
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // One session is exported like any number of them.
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    window->OnScanOn();
    const QString first = broker.Root() + QStringLiteral("/out/first");
    QDir().mkpath(broker.Root() + QStringLiteral("/out"));
    files.answers << first;
    window->OnExport();
    ASSERT_EQ(files.calls.size(), 1);
    EXPECT_EQ(files.calls[0].defaultName, QStringLiteral("ZuDU.csv"));
    EXPECT_EQ(files.calls[0].directory, broker.WorkDir());
    EXPECT_EQ(files.calls[0].filter, QStringLiteral("CSV Files (*.csv)"));
    EXPECT_EQ(QString::fromUtf8(ReadAll(first + QStringLiteral(".csv"))),
              header +
                  "100   ,ALICE          ,PC1                      , 2017/11/02_09:01:00,"
                  "alice@example.com\n");
    EXPECT_EQ(prompter.Texts(), QStringList{first + ".csv Exported Successfully."});
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // Several sessions, in login order; the folder is remembered.
    LogOn("christopher.longname", "WORKSTATION-WITH-A-LONG-NAME", "9234567", "2017/11/02 08:00:00");
    LogOn("alice", "PC7", "270", "2017/11/02 09:01:00");
    window->OnScanOn();
    files.answers << broker.Root() + QStringLiteral("/out/second.txt");
    window->OnExport();
    ASSERT_EQ(files.calls.size(), 2);
    EXPECT_EQ(files.calls[1].directory, broker.Root() + QStringLiteral("/out"));
    EXPECT_EQ(QString::fromUtf8(ReadAll(broker.Root() + QStringLiteral("/out/second.txt"))),
              header +
                  "923456,CHRISTOPHER.LON,WORKSTATION-WITH-A-LONG-N, 2017/11/02_08:00:00,\n"
                  "100   ,ALICE          ,PC1                      , 2017/11/02_09:01:00,"
                  "alice@example.com\n"
                  "270   ,ALICE          ,PC7                      , 2017/11/02_09:01:00,"
                  "alice@example.com\n");

    // After OFF an export leaves the scanner off.
    window->OnScanOff();
    window->OnExport();  // Cancel
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    EXPECT_FALSE(window->Engine().Scanning());
}

TEST_F(MonitorWindowTest, ExitAndTheCloseBoxWriteTheShutdownLineAndEndTheProgram) {
    FourSessions();
    StoreProfile();
    Open();

    // Esc closes nothing.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(&Grid(), Qt::Key_Escape);
    EXPECT_TRUE(exitCodes.isEmpty());
    EXPECT_TRUE(window->isVisible());

    clock.Advance(5000);
    MenuAction(QStringLiteral("E&xit"))->trigger();
    EXPECT_EQ(exitCodes, QList<int>{0});
    EXPECT_EQ(HistoryLines().last(),
              "REC : 0000       QUORVATEL            SHUTDOWN             " + Now());
    EXPECT_FALSE(window->Engine().Scanning());
    EXPECT_FALSE(window->Engine().ScanEnabled());
    EXPECT_TRUE(window->Closed());
    // Nothing runs after it.
    const int lines = static_cast<int>(HistoryLines().size());
    window->OnScanOn();
    window->RequestClose();
    EXPECT_EQ(HistoryLines().size(), lines);
    EXPECT_EQ(exitCodes, QList<int>{0});
}

TEST_F(MonitorWindowTest, CloseBoxWithHistoryOffEndsWithoutALine) {
    FourSessions();
    StoreProfile();
    Open();
    QTest::mouseClick(window->Control(Dlg::IDC_HISTORY), Qt::LeftButton);
    EXPECT_EQ(Setting("EnableHistoryLogging"), QStringLiteral("0"));
    const QStringList before = HistoryLines();

    EXPECT_FALSE(window->close()) << "the window stays until the program ends";
    EXPECT_EQ(exitCodes, QList<int>{0});
    EXPECT_EQ(HistoryLines(), before);

    // Switching the history back on in a new window starts an empty file.
    window.reset();
    exitCodes.clear();
    Open();
    EXPECT_FALSE(window->History().Enabled());
    QTest::mouseClick(window->Control(Dlg::IDC_HISTORY), Qt::LeftButton);
    EXPECT_TRUE(window->History().Enabled());
    EXPECT_EQ(Setting("EnableHistoryLogging"), QStringLiteral("1"));
    window->RequestClose();
    EXPECT_EQ(HistoryLines().size(), 1);
    EXPECT_TRUE(HistoryLines()[0].contains(QStringLiteral("SHUTDOWN")));
}

TEST_F(MonitorWindowTest, ResizingMovesTheControlsAndNeverShrinksBelowTheStart) {
    StoreProfile();
    Open();
    QWidget* client = window->centralWidget();
    const QSize start = client->size();
    EXPECT_EQ(client->minimumSize(), start);
    const QRect grid = Grid().geometry();
    const QRect off = window->Control(Dlg::IDC_OFF)->geometry();
    const QWidget* grip = client->findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    const QRect corner = grip->geometry();
    EXPECT_EQ(corner.bottomRight(), QPoint(start.width() - 1, start.height() - 1));

    window->resize(window->size() + QSize(100, 50));
    QTest::qWait(0);
    ASSERT_EQ(client->size(), start + QSize(100, 50));
    EXPECT_EQ(Grid().geometry(), grid.adjusted(0, 0, 100, 50));
    EXPECT_EQ(window->Control(Dlg::IDC_OFF)->geometry(), off.translated(100, 50));
    EXPECT_EQ(grip->geometry(), corner.translated(100, 50)) << "the size grip stays in the corner";

    window->resize(window->size() - QSize(400, 300));
    QTest::qWait(0);
    EXPECT_EQ(client->size(), start);
    EXPECT_EQ(Grid().geometry(), grid);
}

TEST_F(MonitorWindowTest, CopyTakesTheSelectedRowToTheClipboard) {
    FourSessions();
    StoreProfile();
    Open();
    QRect cell;
    ASSERT_TRUE(Grid().GetCellRect(1, 1, cell));
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(window->SearchText(), QStringLiteral("ALICE"));
    QApplication::clipboard()->clear();
    QTest::keyClick(&Grid(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("100\tALICE\tPC1\t2017/11/02 09:01:00\t200\t")))
        << copied.toStdString();
}

}  // namespace

TEST_F(MonitorWindowTest, EmailSettingsDialogsReachTheWindowWhenTheyEnd) {
    StoreProfile();
    {
        SettingsStore store(SettingsPath());
        store.WriteInt(QStringLiteral("BCDEMAILLIST"), QStringLiteral("Count"), 1);
        store.WriteText(QStringLiteral("BCDEMAILLIST"), QStringLiteral("0"),
                        QStringLiteral("1:ops@example.com"));
    }
    broker.Condition({QStringLiteral("down")});
    Open();
    window->OnScanOn();
    EXPECT_EQ(window->Engine().ContigFailCount(), 2);
    EXPECT_EQ(Text(Dlg::IDC_ALERTS), QStringLiteral("EMAIL ALERTS DISABLED"));
    EXPECT_EQ(window->BrokerGoingDownRecipients().GetCount(), 1);

    // The same limit applied: the count goes on. Alerts, stored on by the dialog, show.
    const auto applyThenClose = [this](const char* limit) {
        answerDialog = [limit](QDialog& dialog) {
            auto* box = dialog.findChild<QComboBox*>(QStringLiteral("contigFailLimit"));
            box->setCurrentIndex(box->findText(QString::fromLatin1(limit)));
            dialog.findChild<QPushButton*>(QStringLiteral("apply"))->click();
            dialog.findChild<QPushButton*>(QStringLiteral("close"))->click();
            return dialog.result();
        };
    };
    applyThenClose("6");
    MenuAction(QStringLiteral("Broker Alert Settings..."))->trigger();
    EXPECT_EQ(dialogsShown.last(), QStringLiteral("Email Alerts Setting"));
    EXPECT_EQ(Text(Dlg::IDC_ALERTS), QStringLiteral("* EMAIL ALERTS ENABLED *"));
    EXPECT_EQ(window->Engine().ContigFailCount(), 3) << "and the scan after the dialog counts";

    // A new limit starts the count afresh (the scan after the dialog fails once more).
    applyThenClose("9");
    window->OnEmailAlertSettings();
    EXPECT_EQ(window->Engine().ContigFailLimit(), 9);
    EXPECT_EQ(window->Engine().ContigFailCount(), 1);
    EXPECT_EQ(prompter.Texts().filter(QStringLiteral("Data Saved in Registry.")).size(), 2);

    // A broadcast list applied in its dialog is the list the window mails next.
    answerDialog = [](QDialog& dialog) {
        if (dialog.windowTitle() == QStringLiteral("Enter recipient email address")) {
            dialog.findChild<QLineEdit*>()->setText(QStringLiteral("desk@example.com"));
            dialog.accept();
            return dialog.result();
        }
        dialog.findChild<QPushButton*>(QStringLiteral("add"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("apply"))->click();
        dialog.reject();
        return dialog.result();
    };
    MenuAction(QStringLiteral("Broadcast Going Down Settings..."))->trigger();
    EXPECT_TRUE(window->BrokerGoingDownRecipients().Contains(QStringLiteral("desk@example.com")));
    EXPECT_EQ(window->BrokerGoingDownRecipients().GetCount(), 2);
    answerDialog = {};
    MenuAction(QStringLiteral("Broadcast General Message Settings..."))->trigger();
    EXPECT_EQ(dialogsShown.last(), QStringLiteral("Broadcast General Message Email Settings"));
    EXPECT_TRUE(window->GeneralMessageRecipients().IsEmpty());
    EXPECT_EQ(window->Engine().ContigFailCount(), 3) << "every command ends with a scan";
}
