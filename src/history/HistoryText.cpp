#include "history/HistoryText.h"

#include <algorithm>

QString HistoryText::SessionHeading(int column) {
    switch (column) {
        case User:
            return QStringLiteral("User");
        case Machine:
            return QStringLiteral("Machine");
        case Pid:
            return QStringLiteral("PID");
        case LoggedOn:
            return QStringLiteral("Logged on");
        case LoggedOff:
            return QStringLiteral("Logged off");
        case Duration:
            return QStringLiteral("Duration");
        case Note:
            return QStringLiteral("Note");
        default:
            return QString();
    }
}

QString HistoryText::EventHeading(int column) {
    switch (column) {
        case Time:
            return QStringLiteral("Time");
        case Tag:
            return QStringLiteral("Tag");
        case EventPid:
            return QStringLiteral("PID");
        case EventUser:
            return QStringLiteral("User");
        case EventMachine:
            return QStringLiteral("Machine");
        case Text:
            return QStringLiteral("Rest of the line");
        case Source:
            return QStringLiteral("File and line");
        default:
            return QString();
    }
}

bool HistoryText::EndUncertain(const HistorySession& s) {
    switch (s.ended) {
        case SessionEnd::ShutDown:
        case SessionEnd::MonitorStopped:
        case SessionEnd::HistoryGap:
        case SessionEnd::NextLogOn:
            return true;
        default:
            return false;
    }
}

int64_t HistoryText::Seconds(const HistorySession& s, int64_t now) {
    if (!s.StartKnown()) return -1;
    return std::max<int64_t>(0, s.EndOr(now) - s.start);
}

QString HistoryText::DurationText(int64_t seconds) {
    if (seconds < 0) return QString();
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString HistoryText::TagText(HistoryTag tag) {
    switch (tag) {
        case HistoryTag::Add:
            return QStringLiteral("ADD");
        case HistoryTag::Del:
            return QStringLiteral("DEL");
        case HistoryTag::Rec:
            return QStringLiteral("REC");
        case HistoryTag::Other:
            break;
    }
    return QString();
}

QString HistoryText::NoteText(const HistorySession& s) {
    QString why;
    switch (s.ended) {
        case SessionEnd::ShutDown:
            why = QStringLiteral("the monitor was shut down");
            break;
        case SessionEnd::MonitorStopped:
            why = QStringLiteral("the monitor stopped");
            break;
        case SessionEnd::HistoryGap:
            why = QStringLiteral("the history was not written for a while");
            break;
        case SessionEnd::NextLogOn:
            why = QStringLiteral("ended before this PID logged on again");
            break;
        default:
            break;
    }
    if (s.outage) {
        QString text = s.failures == 1 ? QStringLiteral("1 failed scan")
                                       : QStringLiteral("%1 failed scans").arg(s.failures);
        if (!why.isEmpty()) text += QStringLiteral("; its end is not in the history: ") + why;
        return text;
    }
    if (!why.isEmpty()) return QStringLiteral("log-off not in the history: ") + why;
    if (!s.StartKnown()) return QStringLiteral("log-on not in the history");
    return QString();
}

QString HistoryText::SessionCell(const HistorySnapshot& snap, const HistorySession& s, int column,
                                 int64_t now) {
    const HistoryStore& store = *snap.store;
    switch (column) {
        case User:
            return s.outage ? QString::fromLatin1(kOutage) : store.users.Text(s.user);
        case Machine:
            return store.machines.Text(s.machine);
        case Pid:
            return s.outage ? QString() : store.pids.Text(s.pid);
        case LoggedOn:
            return HistoryTime::Text(s.start);
        case LoggedOff:
            if (s.ended == SessionEnd::StillOn)
                return QString::fromLatin1(s.outage ? kOngoing : kStillOn);
            return HistoryTime::Text(s.end);
        case Duration: {
            const int64_t seconds = Seconds(s, now);
            if (seconds < 0) return QString();
            return (EndUncertain(s) ? QString::fromLatin1(kAtLeast) : QString()) +
                   DurationText(seconds);
        }
        case Note:
            return NoteText(s);
        default:
            return QString();
    }
}

QString HistoryText::EventCell(const HistorySnapshot& snap, const HistoryEvent& e, int column) {
    const HistoryStore& store = *snap.store;
    switch (column) {
        case Time:
            return (e.flags & HistoryEvent::kOwnTime) ? HistoryTime::Text(e.time) : QString();
        case Tag:
            return TagText(e.tag);
        case EventPid:
            return store.pids.Text(e.pid);
        case EventUser:
            return store.users.Text(e.user);
        case EventMachine:
            return store.machines.Text(e.machine);
        case Text:
            return store.texts.Text(e.text);
        case Source:
            return store.files[e.file] + QLatin1Char(':') + QString::number(e.line);
        default:
            return QString();
    }
}
