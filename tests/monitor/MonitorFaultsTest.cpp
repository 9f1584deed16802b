#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>

#include "FaultTools.h"
#include "MonitorFixture.h"

// The monitor window meeting faults: what the user sees, that scanning goes on, that no
// history line is lost, and that no tool is left running.
namespace {

class MonitorFaultsTest : public MonitorFixture {
protected:
    QString HistoryPath() const { return window->History().Path(); }
    void Arrive(const char* user, const char* machine, const char* pid, const char* at) {
        broker.AddUser(QString::fromLatin1(user));
        LogOn(user, machine, pid, at);
    }
    QLabel* HistoryProblem() const {
        return window->findChild<QLabel*>(QStringLiteral("historyProblem"));
    }
};

TEST_F(MonitorFaultsTest, DepartingSessionBlinksOnScreenBeforeTheMatrixIsRebuilt) {
    Arrive("alice", "PC1", "100", "2017/11/02 09:01:00");
    Arrive("bob", "PC2", "200", "2017/11/02 09:02:00");
    StoreProfile();
    Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_EQ(Entry(1, 1)[0], QStringLiteral("200"));
    QRect cell;
    ASSERT_TRUE(Grid().GetCellRect(1, 4, cell));
    const QPoint spot = cell.topLeft() + QPoint(2, 2);

    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("200"));
    const QColor pink(250, 100, 150);
    int pinkPhases = 0;
    bool wasPink = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const bool pinkNow = Grid().viewport()->grab().toImage().pixelColor(spot) == pink;
        if (pinkNow && !wasPink) ++pinkPhases;
        wasPink = pinkNow;
    });
    look.start(15);
    window->OnScanOn();
    look.stop();
    EXPECT_GE(pinkPhases, 1) << "the departing entry was never seen blinking";
    EXPECT_EQ(Entry(1, 1), (QStringList{"", "", "", ""})) << "gone after the rebuild";
    EXPECT_TRUE(HistoryLines().last().startsWith(QStringLiteral("DEL : 200        BOB")));
}

TEST_F(MonitorFaultsTest, HistoryFileReplacedByADirectoryThenAFullDisk) {
    Arrive("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreProfile();
    Open();
    ASSERT_NE(HistoryProblem(), nullptr);
    EXPECT_TRUE(HistoryProblem()->isHidden());
    const QByteArray before = ReadAll(HistoryPath());
    ASSERT_TRUE(before.startsWith("ADD : 100"));

    // Someone moves the history away and leaves a directory in its place.
    const QString aside = broker.WorkDir() + QStringLiteral("/aside.log");
    ASSERT_TRUE(QFile::rename(HistoryPath(), aside));
    ASSERT_TRUE(QDir().mkdir(HistoryPath()));
    Arrive("bob", "PC2", "200", "2017/11/02 09:02:00");
    window->OnScanOn();
    EXPECT_EQ(Entry(1, 1)[0], QStringLiteral("200")) << "scanning goes on";
    EXPECT_FALSE(HistoryProblem()->isHidden());
    EXPECT_TRUE(HistoryProblem()->text().contains(QStringLiteral("1 line(s) waiting")));

    // Then the disk is full.
    ASSERT_TRUE(QDir().rmdir(HistoryPath()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), HistoryPath()));
    broker.LogOff(QStringLiteral("PC1"), QStringLiteral("100"));
    window->OnScanOn();
    EXPECT_EQ(Entry(1, 0)[0], QStringLiteral("200"));
    EXPECT_TRUE(HistoryProblem()->text().contains(QStringLiteral("2 line(s) waiting")));

    // Space again: the kept lines come first, in their order.
    ASSERT_TRUE(QFile::remove(HistoryPath()));
    Arrive("carol", "PC3", "300", "2017/11/02 09:03:00");
    window->OnScanOn();
    EXPECT_TRUE(HistoryProblem()->isHidden());
    const QStringList lines = HistoryLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("ADD : 200")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("DEL : 100")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("ADD : 300")));
    EXPECT_EQ(ReadAll(aside), before) << "earlier lines unchanged";

    window->RequestClose();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exitCodes.isEmpty(); }, kWaitMs));
    EXPECT_TRUE(HistoryLines().last().contains(QStringLiteral("SHUTDOWN")));
    EXPECT_TRUE(ChildProcesses().isEmpty());
}

TEST_F(MonitorFaultsTest, CloseDuringAHangingAddressLookupEndsWithinSeconds) {
    const QString bin = broker.Root() + QStringLiteral("/bin");
    const QString runs = broker.Root() + QStringLiteral("/vqry-runs");
    ASSERT_TRUE(WriteScript(bin, QStringLiteral("vqry"),
                            "echo run >> '" + runs.toLocal8Bit() + "'\nexec sleep 60\n"));
    PathFirst path(bin);
    for (const char* user : {"alice", "bob", "carol", "dave", "erin", "frank"}) {
        broker.AddUser(QString::fromLatin1(user));
        LogOn(user, user, "100", "2017/11/02 09:01:00");
    }
    StoreProfile();

    // The close request comes (as SIGTERM's would) while the first lookup hangs.
    QElapsedTimer sinceClose;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!QFile::exists(runs) || sinceClose.isValid()) return;
        sinceClose.start();
        window->RequestClose();
    });
    closer.start(20);
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exitCodes.isEmpty(); }, kWaitMs));
    closer.stop();
    ASSERT_TRUE(sinceClose.isValid());
    EXPECT_LT(sinceClose.elapsed(), 10000) << "not one 20-second limit after another";
    EXPECT_EQ(ReadAll(runs).count("run"), 1) << "the other lookups were skipped";
    EXPECT_EQ(window->Engine().MatrixMap().GetCount(), 6);
    EXPECT_TRUE(HistoryLines().last().contains(QStringLiteral("SHUTDOWN")));
    EXPECT_TRUE(ChildProcesses().isEmpty()) << "the lookup tool was ended";
}

}  // namespace
