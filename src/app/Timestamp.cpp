#include "app/Timestamp.h"

#include "platform/Clock.h"

QString FormatTimestamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::asprintf("%d/%02d/%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                             tm.hour(), tm.minute(), tm.second());
}

QString CurrentTimestamp(const Clock& clock) { return FormatTimestamp(clock.Now()); }

QString DateNumberText(const QString& timestamp) {
    const qsizetype slash = timestamp.indexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    return timestamp.left(4) + timestamp.mid(slash + 1, 2) + timestamp.mid(slash + 4, 2);
}
