#include <gtest/gtest.h>

#include <QDateTime>
#include <QThread>

#include "platform/Clock.h"

// The clock keeps its last conversion to local time: it must still give the time of each call.
TEST(SystemClockTest, GivesTheLocalTimeOfEachCall) {
    SystemClock clock;
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime first = clock.Now();
    const QDateTime again = clock.Now();
    EXPECT_EQ(first.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(first.offsetFromUtc(), before.offsetFromUtc());
    EXPECT_LE(before, first);
    EXPECT_LE(first, again);
    QThread::msleep(20);
    const QDateTime later = clock.Now();
    EXPECT_GE(first.msecsTo(later), 20);
    EXPECT_LE(later, QDateTime::currentDateTime());
}
