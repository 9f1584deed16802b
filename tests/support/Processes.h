#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QThread>

// True when process `pid` has ended: it is gone, or only its exit status is left to collect.
inline bool ProcessEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// Waits up to `ms` for process `pid` to end.
inline bool WaitUntilGone(qint64 pid, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!ProcessEnded(pid)) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}
