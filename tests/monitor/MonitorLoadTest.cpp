#include <qpa/qwindowsysteminterface.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include "MonitorFixture.h"
#include "scan/UserListReport.h"

// The window under strain: a Broker that hangs, an empty matrix, a very large one and one
// that changes on every scan.
namespace {

using Dlg = CQuandrixDlg;

// Counts the paints of a widget that happen while `during` holds.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* widget, std::function<bool()> during) : m_during(std::move(during)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_during()) ++count;
        return false;
    }
    int count = 0;

private:
    std::function<bool()> m_during;
};

class MonitorLoadTest : public MonitorFixture {
protected:
    // Every entry on show, in grid order, and the check that they are the matrix map's
    // sessions in login order, three to a row.
    void ExpectGridShowsTheMatrixInLoginOrder() {
        QStringList shown;
        QString lastWhen;
        for (int row = 1; row < Grid().GetRowCount(); ++row)
            for (int col = 0; col < 12; col += 4) {
                const QString pid = Grid().GetItemText(row, col);
                if (pid.isEmpty()) continue;
                const QString machine = Grid().GetItemText(row, col + 2);
                const QString when = Grid().GetItemText(row, col + 3);
                EXPECT_LE(lastWhen, when) << "login order at row " << row;
                lastWhen = when;
                shown.append(machine + QLatin1Char('/') + pid);
                ASSERT_TRUE(window->Engine().MatrixMap().Contains(shown.last()))
                    << shown.last().toStdString();
            }
        EXPECT_EQ(shown.size(), window->Engine().MatrixMap().GetCount());
        EXPECT_EQ(QSet<QString>(shown.begin(), shown.end()).size(), shown.size())
            << "no session twice";
        EXPECT_EQ(Grid().GetRowCount(), 1 + (shown.size() + 2) / 3);
        EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QString::number(shown.size()));
    }
};

TEST_F(MonitorLoadTest, WindowRepaintsDuringAHangingToolRunAndInputWaitsForTheCycle) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    Open();
    ASSERT_EQ(Entry(1, 0)[0], QStringLiteral("100"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    broker.Condition(
        {QStringLiteral("hang"), QStringLiteral("--hang-seconds"), QStringLiteral("30")});
    window->Launcher().SetTimeoutMs(1500);

    bool cycleRunning = false;
    PaintCounter paints(Grid().viewport(), [&] { return cycleRunning; });
    auto* off = static_cast<QPushButton*>(window->Control(Dlg::IDC_OFF));
    int offClicks = 0;
    bool clickedDuringCycle = false;
    QObject::connect(off, &QPushButton::clicked, [&] {
        ++offClicks;
        clickedDuringCycle = cycleRunning;
    });
    int keysSeen = 0;
    bool keyDuringCycle = false;
    struct KeyWatch : QObject {
        std::function<void()> onKey;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (o->isWidgetType() && e->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(e)->key() == Qt::Key_Down)
                onKey();
            return false;
        }
    } keyWatch;
    keyWatch.onKey = [&] {
        ++keysSeen;
        keyDuringCycle = cycleRunning;
    };
    // Wherever the key goes (the click on OFF takes the focus), it is seen.
    qApp->installEventFilter(&keyWatch);

    // A click on OFF and a key, queued by the window system while the tool hangs, and two
    // repaint requests.
    QWindow* handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPointF at = off->mapTo(window.get(), off->rect().center());
    const QPointF global = window->mapToGlobal(at.toPoint());
    QTimer::singleShot(300, [&] {
        Grid().viewport()->update();
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            handle, at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            handle, at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            handle, QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            handle, QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    });
    QTimer::singleShot(800, [&] { Grid().viewport()->update(); });

    QElapsedTimer elapsed;
    elapsed.start();
    cycleRunning = true;
    window->OnScanOn();
    cycleRunning = false;
    EXPECT_GE(elapsed.elapsed(), 1400) << "the cycle waited for the tool";

    EXPECT_GT(paints.count, 0) << "the matrix was repainted during the wait";
    EXPECT_EQ(offClicks, 0) << "the click waited for the cycle";
    EXPECT_EQ(keysSeen, 0);
    EXPECT_EQ(Entry(1, 1), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));

    ASSERT_TRUE(QTest::qWaitFor([&] { return offClicks == 1 && keysSeen == 1; }, kWaitMs))
        << offClicks << " clicks, " << keysSeen << " keys";
    qApp->removeEventFilter(&keyWatch);
    EXPECT_FALSE(clickedDuringCycle);
    EXPECT_FALSE(keyDuringCycle);
    EXPECT_FALSE(window->Engine().ScanEnabled()) << "the click took effect after the cycle";
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
}

TEST_F(MonitorLoadTest, ACloseRequestDuringAHangingRunEndsTheToolAndThenTheCycle) {
    broker.AddUser(QStringLiteral("alice"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    Open();
    broker.Condition(
        {QStringLiteral("hang"), QStringLiteral("--hang-seconds"), QStringLiteral("30")});
    window->Launcher().SetTimeoutMs(1500);

    // A termination request arrives while the tool hangs (as SIGTERM's notifier would).
    QTimer::singleShot(300, window.get(), &CQuandrixDlg::RequestClose);
    window->OnScanOn();
    EXPECT_TRUE(exitCodes.isEmpty()) << "not in the middle of the cycle";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exitCodes.isEmpty(); }, kWaitMs));
    const QStringList lines = HistoryLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_FALSE(lines[lines.size() - 2].startsWith(QStringLiteral("REC : Error")))
        << "a run ended by the close is no failure of the Broker";
    EXPECT_TRUE(lines.last().contains(QStringLiteral("SHUTDOWN")))
        << "nothing is written after the SHUTDOWN line";
}

TEST_F(MonitorLoadTest, EmptyMatrix) {
    StoreProfile();
    Open();
    EXPECT_EQ(Grid().GetRowCount(), 1);
    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QStringLiteral("0"));
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
    answerDialog = TypeAndAccept(QStringLiteral("x"));
    window->OnFind();
    window->OnExport();
    EXPECT_TRUE(files.calls.isEmpty());

    // A right-click beside the cells of the empty matrix chooses all clients.
    QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, Grid().viewport()->rect().center());
    EXPECT_EQ(window->RowMenu(), (RowMenuState{true, false}));
    EXPECT_EQ(window->Engine().WatchedEntry(), CCellID(1, 2));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(MonitorLoadTest, TenThousandSessionsThatKeepChanging) {
    broker.Sim({QStringLiteral("create"), QString::fromLatin1(SimBroker::kBroker),
                QStringLiteral("--users"), QStringLiteral("40"), QStringLiteral("--sessions"),
                QStringLiteral("10000"), QStringLiteral("--stale"), QStringLiteral("100"),
                QStringLiteral("--admin"), QString::fromLatin1(SimBroker::kAdmin),
                QStringLiteral("--password"), QString::fromLatin1(SimBroker::kPassword),
                QStringLiteral("--replace")});
    // Sessions are dated up to the real today; the window's clock goes along.
    clock.Set(QDateTime::currentDateTime());
    StoreProfile();
    Open();
    ASSERT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
    // A generated session that happens to carry the listing tool's own pid is filtered out
    // with the tool's own session.
    const QByteArray ownTag = "/" + window->Engine().OwnSessionPid().toLatin1() + " ";
    const int sharingOwnPid =
        static_cast<int>(ReadAll(broker.WorkDir() + QStringLiteral("/QusList.log")).count(ownTag)) - 1;
    EXPECT_EQ(Text(Dlg::IDC_SESSION_COUNT), QString::number(10000 - sharingOwnPid));
    ExpectGridShowsTheMatrixInLoginOrder();

    // Sessions come and go on every listing.
    broker.Sim({QStringLiteral("churn"), QString::fromLatin1(SimBroker::kBroker),
                QStringLiteral("on"), QStringLiteral("--seed"), QStringLiteral("5")});
    for (int i = 0; i < 3; ++i) window->OnScanOn();
    ExpectGridShowsTheMatrixInLoginOrder();

    // The commands stay usable on the large matrix.
    answerDialog = TypeAndAccept(QStringLiteral("PC001"));
    window->OnFind();
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("Scanner\nPaused"));
    files.answers << broker.Root() + QStringLiteral("/big.csv");
    window->OnExport();
    EXPECT_EQ(ReadAll(broker.Root() + QStringLiteral("/big.csv")).count('\n'),
              window->Engine().MatrixMap().GetCount() + 1);
    window->RequestClose();
    EXPECT_EQ(exitCodes, QList<int>{0});
}

}  // namespace
