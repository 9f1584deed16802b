#include "app/Timestamp.h"

#include "platform/Clock.h"

QString FormatTimestamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(d.year())
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(tm.hour(), 2, 10, QLatin1Char('0'))
        .arg(tm.minute(), 2, 10, QLatin1Char('0'))
        .arg(tm.second(), 2, 10, QLatin1Char('0'));
}

QString CurrentTimestamp(const Clock& clock) { return FormatTimestamp(clock.Now()); }

QString DateNumberText(const QString& timestamp) {
    const qsizetype slash = timestamp.indexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    return timestamp.left(4) + timestamp.mid(slash + 1, 2) + timestamp.mid(slash + 4, 2);
}
