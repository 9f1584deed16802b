#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

#include <csignal>

#include "FaultTools.h"
#include "MonitorFixture.h"
#include "app/QuandrixApp.h"
#include "app/TraceLog.h"
#include "debuglog/VantraceDlg.h"

// Server debug logging as an administrator drives it: through the row menu, Edit >
// "VanTrace..." and the Stop button of the real window, against the simulated Broker and
// the stand-in vantrace, which records every request the Broker carried out.
namespace {

using Dlg = CQuandrixDlg;

class VantraceEndToEndTest : public MonitorFixture {
protected:
    struct Request {
        bool start = true;
        QString user;
        QString machine;
        QString level = QStringLiteral("5");
        QString types = QStringLiteral("(ALL)");
    };
    // What the dialog showed when it opened.
    struct Shown {
        QString user;
        QString machine;
        bool start = false;
    };

    // Answers the debug-logging dialog like a user: types, picks and presses Commit.
    std::function<int(QDialog&)> Commit(const Request& r) {
        return [this, r](QDialog& dialog) {
            auto* d = qobject_cast<CVantraceDlg*>(&dialog);
            if (!d) {
                dialog.reject();
                return dialog.result();
            }
            const auto edit = [d](const char* name) {
                return d->findChild<QLineEdit*>(QString::fromLatin1(name));
            };
            const auto combo = [d](const char* name) {
                return d->findChild<QComboBox*>(QString::fromLatin1(name));
            };
            const auto radio = [d](const char* name) {
                return d->findChild<QRadioButton*>(QString::fromLatin1(name));
            };
            shown = {edit("userId")->text(), edit("machineName")->text(),
                     radio("start")->isChecked()};
            edit("userId")->setText(r.user);
            edit("machineName")->setText(r.machine);
            combo("logLevel")->setCurrentText(r.level);
            combo("transTypes")->setCurrentText(r.types);
            radio(r.start ? "start" : "stop")->setChecked(true);
            d->accept();
            return d->result();
        };
    }

    // The requests the Broker carried out, oldest first, without their times.
    QStringList Requests() {
        const QString out = QString::fromUtf8(
            broker.Sim({QStringLiteral("show"), QString::fromLatin1(SimBroker::kBroker)}));
        QStringList requests;
        const qsizetype at = out.indexOf(QStringLiteral("Debug-logging requests"));
        for (const QString& line : out.mid(at).split('\n', Qt::SkipEmptyParts).mid(1))
            requests.append(line.trimmed().mid(20));  // after "YYYY/MM/DD HH:MM:SS "
        return requests;
    }

    QString HistoryText() const {
        return QString::fromUtf8(
            ReadAll(broker.WorkDir() + QStringLiteral("/QuorvatelHistory.log")));
    }
    QString TraceText() const {
        return QString::fromUtf8(ReadAll(broker.WorkDir() + QStringLiteral("/QuorvatelTrace.log")));
    }
    void SetDebug(const QString& value) {
        SettingsStore store(SettingsPath());
        AppSettings(store).SetText(Setting::Debug, value);
    }

    QAction* EditMenuItem(CQuandrixDlg& w, const QString& text) {
        for (QAction* a : w.menuBar()->findChildren<QAction*>())
            if (a->text() == text) return a;
        return nullptr;
    }

    RowMenuState PopupItems() const {
        return {window->VantraceAction()->isEnabled(), window->SendMessageAction()->isEnabled()};
    }
    bool StopEnabled() const { return window->Control(Dlg::IDC_STOP_VANTRACE)->isEnabled(); }
    void Scan() { window->Engine().RunScanCycle(); }

    Shown shown;
};

TEST_F(VantraceEndToEndTest, AllClientsFromTheEditMenuAreSwitchedOffBySigtermBeforeShutdown) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    SetDebug(QStringLiteral("1"));

    QuandrixServices services;
    services.prompter = &prompter;
    services.clock = &clock;
    services.settingsPath = SettingsPath();
    services.runDialog = [this](QDialog& d) { return answerDialog(d); };
    services.exitProgram = [this](int code) { exitCodes.append(code); };
    CQuandrixApp app(services);
    ASSERT_TRUE(app.InitInstance());
    CQuandrixDlg& w = *app.MainWindow();

    answerDialog = Commit({});
    EditMenuItem(w, QStringLiteral("VanTrace..."))->trigger();
    EXPECT_EQ(shown.user, QString());
    EXPECT_TRUE(shown.start);

    EXPECT_EQ(Requests(), QStringList{"ON level 5 types ALL all clients by admin"});
    EXPECT_EQ(w.Watched(), (WatchedSession{"0000", "VANTRACE", "_ALL_LOGGING_5", Now()}));
    EXPECT_EQ(w.ControlText(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging ON"));
    EXPECT_EQ(w.ControlText(Dlg::IDC_WATCH_PID), QStringLiteral("0000 \tLog Level 5"));
    EXPECT_EQ(w.ControlText(Dlg::IDC_WATCH_MACHINE), QStringLiteral("_ALL_LOGGING_5"));
    EXPECT_TRUE(w.Control(Dlg::IDC_STOP_VANTRACE)->isEnabled());
    EXPECT_TRUE(w.Engine().WatchBlinkRunning());
    EXPECT_TRUE(w.Engine().Scanning());
    // The placeholder entry survives the scan that followed, after alice's session.
    QStringList placeholder;
    for (int k = 4; k < 8; ++k) placeholder.append(w.Grid().GetItemText(1, k));
    EXPECT_EQ(placeholder, (QStringList{"0000", "VANTRACE", "_ALL_LOGGING_5", Now()}));

    const QString logPath = broker.WorkDir() + QStringLiteral("/vantrace.log");
    const QString on =
        "REC : 0000       VANTRACE             _ALL_LOGGING_5       2017/11/02 09:30:00   - "
        "vantrace ON 5\n";
    EXPECT_TRUE(
        HistoryText().contains("REC : Execute:   vantrace -b TESBKR01 -usr admin -pw ****** -o \"" +
                               logPath + "\" bkrproc:ON:5:ALL:\n"))
        << HistoryText().toStdString();
    EXPECT_TRUE(HistoryText().contains(on));

    // The administrator's session ends the monitor while logging runs.
    clock.Advance(60000);
    std::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exitCodes.isEmpty(); }, kWaitMs));
    EXPECT_EQ(Requests(), (QStringList{"ON level 5 types ALL all clients by admin",
                                       "OFF level 5 types ALL all clients by admin"}));
    const QStringList lines = HistoryText().split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.last(), "REC : 0000       QUORVATEL            SHUTDOWN             " + Now());
    EXPECT_EQ(lines[lines.size() - 2],
              "REC : 0000       VANTRACE             _ALL_LOGGING_5       2017/11/02 09:31:00   - "
              "vantrace OFF");
    EXPECT_EQ(lines[lines.size() - 3],
              "REC : Execute:   vantrace -b TESBKR01 -usr admin -pw ****** -o \"" + logPath +
                  "\" bkrproc:OFF:5:ALL:");
    EXPECT_EQ(w.ControlText(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));

    // The password went to the tool only.
    const QString password = QString::fromLatin1(SimBroker::kPassword);
    EXPECT_FALSE(HistoryText().contains(password));
    EXPECT_FALSE(TraceText().contains(password));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

TEST_F(VantraceEndToEndTest, AUserWhoIsNotLoggedOnIsWaitedForFollowedAndStoppedWithTheButton) {
    broker.AddUser(QStringLiteral("bob"));
    StoreProfile();
    Open();

    // Beside the cells of the empty matrix the row menu offers logging for all clients.
    const QPoint beside(20, Grid().viewport()->height() - 20);
    QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, beside);
    QContextMenuEvent event(QContextMenuEvent::Mouse, beside,
                            Grid().viewport()->mapToGlobal(beside));
    QApplication::sendEvent(Grid().viewport(), &event);
    EXPECT_TRUE(window->RowPopup()->isVisible());
    EXPECT_EQ(PopupItems(), (RowMenuState{true, false}));
    window->RowPopup()->hide();

    answerDialog = Commit({true, QStringLiteral("bob"), QStringLiteral("pc7"), QStringLiteral("3"),
                           QStringLiteral("QUERY_ITEM")});
    window->OnVantraceMenu();
    EXPECT_EQ(Requests(), QStringList{"ON level 3 types QUERY_ITEM machine PC7 by admin"});
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging WAITING"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_USER), QStringLiteral("BOB"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_MACHINE), QStringLiteral("PC7"));
    EXPECT_TRUE(StopEnabled());
    EXPECT_EQ(HistoryLines().last(), "REC :            BOB                  PC7                  " +
                                         Now() + "   - vantrace READY WAIT ON USER LOGIN: BOB");
    EXPECT_EQ(Setting("LogLevel"), QStringLiteral("3"));
    EXPECT_EQ(Setting("TransTypes"), QStringLiteral("QUERY_ITEM"));

    // bob logs on: ON, with his session's line.
    LogOn("bob", "PC7", "150", "2017/11/02 09:35:00");
    clock.Advance(60000);
    Scan();
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging ON"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_PID), QStringLiteral("150 \tLog Level 3"));
    EXPECT_EQ(HistoryLines().last(),
              "REC : 150        BOB                  PC7                  2017/11/02 09:35:00   - "
              "vantrace ON 3");

    // He logs off: PAUSED, and logging stays requested ...
    broker.LogOff(QStringLiteral("PC7"), QStringLiteral("150"));
    Scan();
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging PAUSED"));
    EXPECT_TRUE(HistoryLines().last().endsWith(QStringLiteral("   - vantrace PAUSED")));
    EXPECT_TRUE(window->Engine().TraceActive());
    // ... so his next log-on is ON again.
    LogOn("bob", "PC7", "151", "2017/11/02 09:40:00");
    Scan();
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging ON"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_PID), QStringLiteral("151 \tLog Level 3"));
    EXPECT_EQ(Requests().size(), 1) << "the Broker is asked once; the monitor follows the user";

    // The Stop button: one OFF request for PC7, the OFF line, the group back to OFF, and a
    // scan at once.
    QFile::remove(broker.WorkDir() + QStringLiteral("/QusList.log"));
    clock.Advance(60000);
    QTest::mouseClick(window->Control(Dlg::IDC_STOP_VANTRACE), Qt::LeftButton);
    EXPECT_EQ(Requests(), (QStringList{"ON level 3 types QUERY_ITEM machine PC7 by admin",
                                       "OFF level 3 types QUERY_ITEM machine PC7 by admin"}));
    EXPECT_TRUE(
        HistoryLines().contains("REC : 151        BOB                  PC7                  " +
                                Now() + "   - vantrace OFF"));
    EXPECT_TRUE(QFile::exists(broker.WorkDir() + QStringLiteral("/QusList.log")));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_PID), QStringLiteral("Pid"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_USER), QStringLiteral("UserId"));
    EXPECT_FALSE(StopEnabled());
    EXPECT_FALSE(window->Engine().TraceActive());
    EXPECT_FALSE(window->Engine().WatchBlinkRunning());
    EXPECT_TRUE(window->Engine().Scanning());

    // Exit with nothing to stop asks the Broker nothing more.
    window->RequestClose();
    EXPECT_EQ(Requests().size(), 2);
    EXPECT_TRUE(HistoryLines().last().contains(QStringLiteral("SHUTDOWN")));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

TEST_F(VantraceEndToEndTest, TheRowMenuStartsAndStopsASessionAndFailuresLeaveLoggingOff) {
    broker.AddUser(QStringLiteral("alice"));
    broker.AddUser(QStringLiteral("carol"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    LogOn("carol", "PC2", "200", "2017/11/02 09:02:00");
    StoreProfile();
    Open();

    // A DateTime cell offers nothing.
    RightClick(1, 3);
    EXPECT_EQ(PopupItems(), (RowMenuState{false, false}));
    window->RowPopup()->hide();

    // alice's user id: both items; "Vantrace ..." opens the dialog on her session.
    RightClick(1, 1);
    EXPECT_EQ(PopupItems(), (RowMenuState{true, true}));
    answerDialog = Commit({true, QStringLiteral("ALICE"), QStringLiteral("PC1")});
    window->VantraceAction()->trigger();
    EXPECT_FALSE(window->RowPopup()->isVisible());
    EXPECT_EQ(shown.user, QStringLiteral("ALICE"));
    EXPECT_EQ(shown.machine, QStringLiteral("PC1"));
    EXPECT_TRUE(shown.start);
    EXPECT_EQ(Requests(), QStringList{"ON level 5 types ALL machine PC1 by admin"});
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging ON"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_PID), QStringLiteral("100 \tLog Level 5"));
    EXPECT_EQ(Text(Dlg::IDC_WATCH_DATETIME), Now());
    EXPECT_TRUE(HistoryLines().contains(
        "REC : 100        ALICE                PC1                  2017/11/02 09:01:00   - "
        "vantrace ON 5"));
    EXPECT_TRUE(StopEnabled());

    // While alice is traced, carol can only be sent a message.
    RightClick(1, 5);
    EXPECT_EQ(PopupItems(), (RowMenuState{false, true}));
    window->RowPopup()->hide();

    // Stop from the dialog: one OFF request, for alice's machine, and one OFF line.
    RightClick(1, 2);
    EXPECT_EQ(PopupItems(), (RowMenuState{true, true}));
    clock.Advance(60000);
    answerDialog = Commit({false, QStringLiteral("ALICE"), QStringLiteral("PC1")});
    window->VantraceAction()->trigger();
    EXPECT_FALSE(shown.start) << "Stop is offered while logging runs";
    EXPECT_EQ(Requests(), (QStringList{"ON level 5 types ALL machine PC1 by admin",
                                       "OFF level 5 types ALL machine PC1 by admin"}));
    EXPECT_EQ(HistoryLines().filter(QStringLiteral("vantrace OFF")),
              QStringList{"REC : 100        ALICE                PC1                  " + Now() +
                          "   - vantrace OFF"});
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));
    EXPECT_FALSE(window->Engine().TraceActive());

    // A tool that cannot be started switched nothing on: the failure entry, logging off.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", broker.Root().toLocal8Bit() + "/no-tools");
    RightClick(1, 1);
    answerDialog = Commit({true, QStringLiteral("ALICE"), QStringLiteral("PC1")});
    window->VantraceAction()->trigger();
    qputenv("PATH", path);
    EXPECT_EQ(Entry(1, 2), (QStringList{"Error", "VANTRACE", "Logging Failed", Now()}));
    EXPECT_FALSE(window->Engine().TraceActive());
    EXPECT_FALSE(window->Engine().WatchBlinkRunning());
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));
    EXPECT_FALSE(StopEnabled());
    EXPECT_TRUE(window->Engine().Scanning());
    EXPECT_EQ(Requests().size(), 2);
    // The failure entry offers nothing.
    RightClick(1, 9);
    EXPECT_EQ(PopupItems(), (RowMenuState{false, false}));
    window->RowPopup()->hide();
    prompter.shown.clear();  // the launcher's own box about the missing tool

    // A Broker that takes the request but never carries it out.
    broker.Condition({QStringLiteral("silent")});
    RightClick(1, 1);
    window->VantraceAction()->trigger();
    EXPECT_EQ(prompter.Texts(), QStringList{"Broker did not respond to vantrace logging request."});
    EXPECT_EQ(prompter.shown.first().kind, RecordingPrompter::Kind::Warning);
    EXPECT_FALSE(window->Engine().TraceActive());
    EXPECT_TRUE(window->Engine().Scanning());
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));
    EXPECT_EQ(Requests().size(), 2);
    // Listing still works meanwhile.
    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("200"));
    Scan();
    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QStringLiteral("1"));

    // Logging that the Broker confirmed, then no answer to the stop at exit: nothing waits
    // for the user, and the history does not claim logging went off.
    broker.Condition({QStringLiteral("up")});
    RightClick(1, 1);
    window->VantraceAction()->trigger();
    ASSERT_TRUE(window->Engine().TraceActive());
    broker.Condition({QStringLiteral("silent")});
    prompter.shown.clear();
    window->RequestClose();
    EXPECT_EQ(exitCodes, QList<int>{0});
    EXPECT_EQ(prompter.Texts(), QStringList{"Broker did not respond to vantrace logging request."});
    EXPECT_EQ(prompter.shown.first().kind, RecordingPrompter::Kind::Notice);
    const QStringList lines = HistoryLines();
    EXPECT_EQ(lines[lines.size() - 2],
              "REC : 100        ALICE                PC1                  " + Now() +
                  "   - vantrace Set Logging OFF Failed");
    EXPECT_TRUE(lines.last().contains(QStringLiteral("SHUTDOWN")));
}

// Stop in the dialog switches off what the dialog names, here all clients while one session
// is watched: one request, and the watch ends.
TEST_F(VantraceEndToEndTest, StopInTheDialogSwitchesOffTheMachineItNames) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    Open();
    answerDialog = Commit({true, QStringLiteral("ALICE"), QStringLiteral("PC1")});
    window->OnVantraceMenu();
    ASSERT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging ON"));
    answerDialog = Commit({false, QString(), QString()});
    window->OnVantraceMenu();
    EXPECT_EQ(Requests(), (QStringList{"ON level 5 types ALL machine PC1 by admin",
                                       "OFF level 5 types ALL all clients by admin"}));
    EXPECT_EQ(HistoryLines().filter(QStringLiteral("vantrace OFF")),
              QStringList{"REC : 0000       VANTRACE             _ALL_LOGGING_5       " + Now() +
                          "   - vantrace OFF"});
    EXPECT_EQ(Text(Dlg::IDC_WATCH_GROUP), QStringLiteral("Vantrace Logging OFF"));
    EXPECT_FALSE(window->Engine().TraceActive());
}

// Only a log this run wrote, read without waiting, confirms a request: not a FIFO (it would
// hold the monitor until written into), nor an old log that could not be removed.
TEST_F(VantraceEndToEndTest, AFifoOrALeftOverLogConfirmsNothingAndTheTraceSaysWhy) {
    StoreProfile();
    Open();
    TraceLog::SetEnabled(true);
    const auto traceOff = qScopeGuard([] { TraceLog::SetEnabled(false); });
    const QString bin = broker.Root() + QStringLiteral("/bin"), log = window->Vantrace().LogPath();
    PathFirst path(bin);
    const QString success = QStringLiteral("VANTRACE HAS BEEN EXECUTED SUCCESSFULLY.");
    ASSERT_TRUE(WriteScript(bin, QStringLiteral("vantrace.exe"), "mkfifo \"$8\"\n"));
    QProcess writer;  // writes the success line into the FIFO as soon as it is there
    writer.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                        "while [ ! -p \"$0\" ]; do sleep "
                                        "0.1; done; echo " +
                                            success + " > \"$0\"",
                                        log});
    answerDialog = Commit({});
    window->OnVantraceMenu();
    ASSERT_TRUE(WriteScript(bin, QStringLiteral("vantrace.exe"), "exit 0\n"));
    QFile::remove(log);
    ASSERT_TRUE(WriteAll(log, success.toLatin1()));
    {
        ReadOnlyDirectory readOnly(broker.WorkDir(), {QStringLiteral("vantrace.log")});
        if (!readOnly.Locked()) GTEST_SKIP() << "files cannot be made unremovable here";
        window->OnVantraceMenu();
    }
    EXPECT_EQ(prompter.Texts(), QStringList(2, VantraceController::kNoResponse));
    EXPECT_FALSE(window->Engine().TraceActive());
    EXPECT_TRUE(window->Engine().Scanning());
    const QString trace = TraceText();
    EXPECT_TRUE(trace.contains(log + " is not a regular file")) << trace.toStdString();
    EXPECT_TRUE(trace.contains(log + " is left from an earlier run"));
}

}  // namespace
