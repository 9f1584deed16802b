#pragma once

#include <QDateTime>

#include "platform/Clock.h"

// A clock that tests set and advance; its sleeps return at once and move time forward.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2017, 3, 5), QTime(7, 4, 9)))
        : m_now(std::move(start)) {}

    QDateTime Now() const override { return m_now; }
    void Sleep(int ms) override {
        m_now = m_now.addMSecs(ms);
        m_slept += ms;
    }

    void Set(const QDateTime& t) { m_now = t; }
    void Advance(qint64 ms) { m_now = m_now.addMSecs(ms); }
    qint64 TotalSleptMs() const { return m_slept; }

private:
    QDateTime m_now;
    qint64 m_slept = 0;
};
