#include "platform/BlockingWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace BlockingWait {

void PumpPaint() {
    if (!QCoreApplication::instance()) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Sleep(int ms) {
    if (ms <= 0) {
        PumpPaint();
        return;
    }
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs < 0 ? 0 : timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        if (!QCoreApplication::instance()) {
            QThread::msleep(5);
            continue;
        }
        // Wake at least every 10 ms so `done` is rechecked even when no event arrives.
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(qMin<qint64>(10, deadline.remainingTime())), &loop,
                           &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

}  // namespace BlockingWait
