#include "platform/Clock.h"

#include "platform/BlockingWait.h"

QDateTime SystemClock::Now() const { return QDateTime::currentDateTime(); }

void SystemClock::Sleep(int ms) { BlockingWait::Sleep(ms); }
