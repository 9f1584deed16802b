#include "monitor/SessionGraphAccessible.h"

#include <QDateTime>
#include <QStringList>

#include "controls/AccessibleClient.h"
#include "monitor/SessionGraph.h"

namespace {

// Enough gaps to tell what happened lately without reading out a whole bad day.
constexpr int kGapsTold = 5;

QString TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

QAccessibleInterface* GraphFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("SessionGraph") && object && object->isWidgetType())
        return new SessionGraphAccessible(static_cast<SessionGraph*>(object));
    return nullptr;
}

}  // namespace

SessionGraphAccessible::SessionGraphAccessible(SessionGraph* graph)
    : QAccessibleWidget(graph, QAccessible::Chart) {}

void SessionGraphAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(GraphFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void SessionGraphAccessible::SeriesChanged(SessionGraph& graph) {
    if (!AccessibleClient::Listening()) return;
    QAccessibleEvent event(&graph, QAccessible::DescriptionChanged);
    AccessibleClient::Send(event);
}

QString SessionGraphAccessible::Describe(const SessionSeries& series) {
    if (series.Empty()) return QStringLiteral("No scan yet.");
    QStringList sentences;
    if (series.TodayPeak() >= 0)
        sentences.append(QStringLiteral("Peak today: %1 at %2.")
                             .arg(series.TodayPeak())
                             .arg(series.TodayPeakTime().toString(QStringLiteral("HH:mm:ss"))));
    else
        sentences.append(QStringLiteral("No scan answered today."));

    const SessionSeries::Point& last = series.Points().back();
    if (last.Gap())
        sentences.append(QStringLiteral("The last scan failed."));
    else
        sentences.append(QStringLiteral("Now %1 sessions.").arg(last.peak));

    // Each run of failed scans once, newest last.
    QStringList gaps;
    const auto& points = series.Points();
    for (size_t i = 0; i < points.size(); ++i) {
        if (!points[i].Gap()) continue;
        const qint64 from = points[i].firstMs;
        while (i + 1 < points.size() && points[i + 1].Gap()) ++i;
        const qint64 to = points[i].lastMs;
        gaps.append(to > from ? TimeText(from) + QStringLiteral(" - ") + TimeText(to)
                              : TimeText(from));
    }
    if (!gaps.isEmpty()) {
        const qsizetype all = gaps.size();
        if (all > kGapsTold) gaps = gaps.mid(all - kGapsTold);
        sentences.append(
            all > kGapsTold
                ? QStringLiteral("%1 gaps of failed scans, the last: %2.")
                      .arg(all)
                      .arg(gaps.join(QStringLiteral(", ")))
                : QStringLiteral("Failed scans: %1.").arg(gaps.join(QStringLiteral(", "))));
    } else {
        sentences.append(QStringLiteral("No scan failed."));
    }
    return sentences.join(QLatin1Char(' '));
}

QString SessionGraphAccessible::text(QAccessible::Text t) const {
    QString text = QAccessibleWidget::text(t);
    if (!text.isEmpty()) return text;
    if (t == QAccessible::Name) return QString::fromLatin1(kName);
    if (t == QAccessible::Description)
        return Describe(static_cast<SessionGraph*>(widget())->Series());
    return text;
}
