#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

#include "FakeClock.h"
#include "FakeFileChooser.h"
#include "FakeFontChooser.h"
#include "FakePrinterChooser.h"
#include "RecordingPrompter.h"
#include "SimBroker.h"
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "controls/GridCtrl.h"
#include "monitor/QuandrixDlg.h"
#include "platform/SettingsStore.h"
#include "scan/MatrixLayout.h"

// The real monitor window, offscreen, against a simulated Broker in a temporary directory,
// with its own settings file and fakes for the message boxes and the file, font and printer
// set-up dialogs. Modal dialogs go to `answerDialog`, which gets the open dialog and returns
// its result.
class MonitorFixture : public ::testing::Test {
protected:
    static constexpr int kWaitMs = 60000;  // generous: two cores shared with other tests

    void SetUp() override { broker.Create(); }
    void TearDown() override { window.reset(); }

    QString SettingsPath() const { return broker.Root() + QStringLiteral("/profile.ini"); }

    // The Broker connection in the profile, as the settings dialog would have stored it.
    void StoreProfile(quint32 interval = 3600) {
        SettingsStore store(SettingsPath());
        AppSettings s(store);
        s.SetText(Setting::Broker, QString::fromLatin1(SimBroker::kBroker));
        s.SetText(Setting::AdminUserId, QString::fromLatin1(SimBroker::kAdmin));
        s.SetPassword(QString::fromLatin1(SimBroker::kPassword));
        s.SetInt(Setting::Interval, interval);
    }

    // Builds the window; `init` runs its start-up (and the first scan cycle).
    CQuandrixDlg& Open(bool init = true) {
        QuandrixServices services;
        services.prompter = &prompter;
        services.clock = &clock;
        services.fileChooser = &files;
        services.fontChooser = &fonts;
        services.printerChooser = &printers;
        services.settingsPath = SettingsPath();
        if (!realDialogs)
            services.runDialog = [this](QDialog& dialog) {
                dialogsShown.append(dialog.windowTitle());
                if (!answerDialog) {
                    dialog.reject();
                    return static_cast<int>(QDialog::Rejected);
                }
                return answerDialog(dialog);
            };
        services.exitProgram = [this](int code) { exitCodes.append(code); };
        window = std::make_unique<CQuandrixDlg>(broker.WorkDir(), services);
        if (init) window->OnInitDialog();
        return *window;
    }

    // Types `text` into the dialog's first line edit and presses OK (or Find).
    static std::function<int(QDialog&)> TypeAndAccept(const QString& text) {
        return [text](QDialog& dialog) {
            if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setText(text);
            dialog.accept();
            return dialog.result();
        };
    }

    CGridCtrl& Grid() { return window->Grid(); }
    QStringList Entry(int row, int group) {
        QStringList cells;
        for (int k = 0; k < MatrixLayout::kGroupWidth; ++k)
            cells.append(Grid().GetItemText(row, group * MatrixLayout::kGroupWidth + k));
        return cells;
    }
    QString Text(int id) const { return window->ControlText(id); }
    QAction* MenuAction(const QString& text) const {
        for (QAction* a : window->menuBar()->findChildren<QAction*>())
            if (a->text() == text) return a;
        return nullptr;
    }
    // A right-click on a cell as the mouse gives it: the grid's notification, then the
    // context-menu request that pops the row menu up.
    void RightClick(int row, int col) {
        QRect cell;
        ASSERT_TRUE(Grid().GetCellRect(row, col, cell));
        QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, cell.center());
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(),
                                Grid().viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(Grid().viewport(), &event);
        ASSERT_TRUE(window->RowPopup()->isVisible());
    }

    QStringList HistoryLines() const {
        QStringList lines = QString::fromUtf8(ReadAll(window->History().Path())).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }
    QString Now() const { return clock.Now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }
    QString Setting(const char* key) const {
        SettingsStore store(SettingsPath());
        return store.ReadText(QStringLiteral("Settings"), QString::fromLatin1(key));
    }

    void LogOn(const char* user, const char* machine, const char* pid, const char* at) {
        broker.LogOn(QString::fromLatin1(user), QString::fromLatin1(machine),
                     QString::fromLatin1(pid), QString::fromLatin1(at));
    }

    SimBroker broker;
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30, 0))};
    RecordingPrompter prompter;
    FakeFileChooser files;
    FakeFontChooser fonts;
    FakePrinterChooser printers;
    std::function<int(QDialog&)> answerDialog;
    bool realDialogs = false;  // run dialogs modally, for tests that answer them like a user
    QStringList dialogsShown;
    QList<int> exitCodes;
    std::unique_ptr<CQuandrixDlg> window;
};
