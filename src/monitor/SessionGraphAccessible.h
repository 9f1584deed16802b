#pragma once

#include <QAccessibleWidget>
#include <QString>

class SessionGraph;
class SessionSeries;

// The session graph for a screen reader: a chart named for what it shows, whose description
// says in words what the picture shows: today's peak and when, the current count and the
// gaps of failed scans. The description is made when asked, not at every scan.
class SessionGraphAccessible : public QAccessibleWidget {
public:
    static constexpr const char* kName = "Sessions in the last 24 hours";

    explicit SessionGraphAccessible(SessionGraph* graph);

    // Registers the factory that gives every SessionGraph this interface; once is enough.
    static void Install();
    // The graph got a scan: a listening client learns that the description changed.
    static void SeriesChanged(SessionGraph& graph);
    // The description of a series, for example "Peak today: 12 at 09:31:00. Now 10
    // sessions. Failed scans: 09:40:00 - 09:42:00, 10:05:00."
    static QString Describe(const SessionSeries& series);

    QString text(QAccessible::Text t) const override;
};
