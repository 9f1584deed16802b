#include <QApplication>
#include <QImage>
#include <QLabel>

#include "MonitorFixture.h"
#include "monitor/SessionGraph.h"
#include "monitor/SessionSeries.h"

namespace {

using Dlg = CQuandrixDlg;

// More than a day of scans a second apart: the series stays bounded, the highest count of
// the last 24 hours survives every merge, failures stay gaps, and today's peak is exact.
TEST(SessionSeriesTest, HundredThousandScansStayBoundedWithPeakAndGapsKept) {
    const QDateTime start(QDate(2017, 3, 5), QTime(0, 0, 0));
    const auto at = [&](int scan) { return start.addSecs(scan); };
    constexpr int kScans = 100000;
    constexpr int kOldSpike = 10000;  // on the first day, later than 24 hours ago
    constexpr int kSpike = 90000;     // the next day, 01:00:00
    constexpr int kLoneFailure = 20000;
    constexpr int kOutage = 95000;  // ten failed scans

    SessionSeries series;
    int largest = 0;
    for (int scan = 0; scan < kScans; ++scan) {
        if (scan == kLoneFailure || (scan >= kOutage && scan < kOutage + 10))
            series.AddFailed(at(scan));
        else
            series.AddAnswered(at(scan), scan == kOldSpike ? 700
                                         : scan == kSpike  ? 500
                                                           : 10 + scan % 37);
        largest = std::max(largest, series.Size());
    }
    EXPECT_LE(largest, SessionSeries::kMaxPoints);
    EXPECT_GT(series.Size(), SessionSeries::kMaxPoints / 2);

    const auto& points = series.Points();
    const qint64 lastMs = at(kScans - 1).toMSecsSinceEpoch();
    EXPECT_EQ(points.back().lastMs, lastMs);
    EXPECT_GE(points.front().lastMs, lastMs - SessionSeries::kSpanMs) << "older than a day";
    for (size_t i = 1; i < points.size(); ++i) ASSERT_LT(points[i - 1].lastMs, points[i].firstMs);
    for (const auto& p : points) ASSERT_LT(p.lastMs - p.firstMs, SessionSeries::kSlotMs);
    EXPECT_EQ(points.back().answered, 1) << "the newest scans keep a point each";

    // The 700 fell out of the day; the 500 is the highest, at its own time.
    EXPECT_EQ(series.MaxCount(), 500);
    const SessionSeries::Point* spike = series.PointNear(at(kSpike).toMSecsSinceEpoch());
    ASSERT_NE(spike, nullptr);
    EXPECT_EQ(spike->peak, 500);
    EXPECT_EQ(spike->peakMs, at(kSpike).toMSecsSinceEpoch());
    EXPECT_EQ(series.TodayPeak(), 500);
    EXPECT_EQ(series.TodayPeakTime(), at(kSpike));

    // Every failure is still inside a gap, however far it was merged.
    int failed = 0;
    for (const auto& p : points) failed += p.failed;
    EXPECT_EQ(failed, 11);
    for (int scan : {kLoneFailure, kOutage, kOutage + 9}) {
        const SessionSeries::Point* p = series.PointNear(at(scan).toMSecsSinceEpoch());
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->Gap()) << scan;
    }
    const SessionSeries::Point* after = series.PointNear(at(kOutage + 200).toMSecsSinceEpoch());
    EXPECT_FALSE(after->Gap()) << "the gap ends with the outage";
}

class SessionGraphWindowTest : public MonitorFixture {
protected:
    // The graph sits in the column between the users text and the history box, clear of every
    // other control, and what the window shows there is the graph's own drawing.
    void ExpectGraphInItsColumn(const char* when) {
        SCOPED_TRACE(when);
        QApplication::processEvents();
        const SessionGraph& graph = window->Graph();
        const QRect g = graph.geometry();
        const QRect status = window->Control(Dlg::IDC_STATUS)->geometry();
        EXPECT_TRUE(graph.isVisible());
        EXPECT_GE(g.height(), 100);
        EXPECT_EQ(g.left(), status.left());
        EXPECT_EQ(g.right(), status.right());
        EXPECT_GT(g.top(), window->Control(Dlg::IDC_DATABASE_USERS)->geometry().bottom());
        EXPECT_LT(g.bottom(), window->Control(Dlg::IDC_HISTORY)->geometry().top());
        EXPECT_LE(g.right(), window->centralWidget()->width());
        for (QWidget* w :
             window->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w != &graph && w->isVisible()) {
                EXPECT_FALSE(w->geometry().intersects(g)) << w->objectName().toStdString();
            }
        }

        const QImage shot = window->centralWidget()->grab().toImage();
        const QImage own = window->Graph().grab().toImage().convertToFormat(shot.format());
        ASSERT_EQ(own.size(), g.size());
        EXPECT_EQ(shot.copy(g), own);
    }

    static int PixelsOf(const QImage& image, const QColor& colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (QColor(image.pixel(x, y)).rgb() == colour.rgb()) ++n;
        return n;
    }
};

TEST_F(SessionGraphWindowTest, GraphStaysInItsColumnEmptyFilledAndGrown) {
    // No Broker set up: no scan, an empty graph.
    Open();
    EXPECT_TRUE(window->Graph().Series().Empty());
    EXPECT_EQ(window->Graph().Caption(), QStringLiteral("Peak today: -"));
    ExpectGraphInItsColumn("empty, smallest size");
    window.reset();

    broker.AddUser(QStringLiteral("alice"));
    broker.AddUser(QStringLiteral("bob"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    LogOn("bob", "PC2", "200", "2017/11/02 09:02:00");
    StoreProfile();
    Open();  // 2 sessions at 09:30:00
    clock.Advance(60000);
    LogOn("alice", "PC3", "101", "2017/11/02 09:31:00");
    window->Engine().RunScanCycle();  // 3 at 09:31:00
    broker.Condition({QStringLiteral("down")});
    for (int i = 0; i < 2; ++i) {
        clock.Advance(60000);
        window->Engine().RunScanCycle();
    }
    broker.Condition({QStringLiteral("up")});
    clock.Advance(60000);
    window->Engine().RunScanCycle();  // 3 again at 09:34:00

    const SessionGraph& graph = window->Graph();
    EXPECT_EQ(graph.Series().Size(), 5);
    EXPECT_EQ(graph.Caption(), QStringLiteral("Peak today: 3 at 09:31:00"));
    ExpectGraphInItsColumn("filled, smallest size");
    const QImage drawn = window->Graph().grab().toImage();
    EXPECT_GT(PixelsOf(drawn, QColor(230, 60, 60)), 0) << "the failed scans' mark";

    // The pointer over the last scan tells its time and count.
    const QRect plot = graph.rect().adjusted(0, graph.fontMetrics().height(), 0, 0);
    EXPECT_EQ(graph.ToolTipAt(QPoint(plot.right() - 6, plot.center().y())),
              QStringLiteral("09:34:00  3 sessions"));

    window->resize(window->size() + QSize(500, 300));
    QTest::qWait(0);
    ASSERT_EQ(window->centralWidget()->width(), 1320 + 500);
    ExpectGraphInItsColumn("grown");
}

}  // namespace
