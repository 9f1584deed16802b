#include "app/Timestamp.h"

#include <cstdio>

#include "platform/Clock.h"

QString FormatTimestamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    // snprintf rather than QString::asprintf: every history line takes a time stamp, and
    // Qt's formatter costs several times more.
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", d.year(),
                                d.month(), d.day(), tm.hour(), tm.minute(), tm.second());
    return QString::fromLatin1(text, qBound(0, n, static_cast<int>(sizeof text) - 1));
}

QString CurrentTimestamp(const Clock& clock) { return FormatTimestamp(clock.Now()); }

QString DateNumberText(const QString& timestamp) {
    const qsizetype slash = timestamp.indexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    return timestamp.left(4) + timestamp.mid(slash + 1, 2) + timestamp.mid(slash + 4, 2);
}
