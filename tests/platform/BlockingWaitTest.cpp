#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "platform/BlockingWait.h"

TEST(BlockingWaitTest, TimersKeepRunningWhileWaiting) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QElapsedTimer elapsed;
    elapsed.start();
    BlockingWait::Sleep(120);
    EXPECT_GE(elapsed.elapsed(), 115);
    EXPECT_GE(ticks, 3) << "the local loop must deliver timers and paints during a wait";
}

TEST(BlockingWaitTest, WaitUntilReturnsWhenDoneOrAtTheLimit) {
    bool flag = false;
    QTimer::singleShot(30, [&] { flag = true; });
    EXPECT_TRUE(BlockingWait::WaitUntil([&] { return flag; }, 5000));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(BlockingWait::WaitUntil([] { return false; }, 50));
    EXPECT_GE(elapsed.elapsed(), 45);
}
