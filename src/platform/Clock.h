#pragma once

#include <QDateTime>

// The current local time and the program's short pauses, behind a seam so that tests can
// set the date (midnight, day changes) and never wait.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() const = 0;
    // Pauses for ms milliseconds; the real clock keeps the window painted meanwhile.
    virtual void Sleep(int ms) = 0;
};

class SystemClock : public Clock {
public:
    // The system clock is read at every call. Its conversion to local time, which costs far
    // more, is kept for the millisecond it was made for.
    QDateTime Now() const override;
    void Sleep(int ms) override;
};
