#pragma once

#include <QString>
#include <cstdint>

#include "history/HistorySnapshot.h"

// The columns of the two views, and the text of each cell, made when it is asked for: the
// views, the CSV export and the command line show the same texts.
class HistoryText {
public:
    enum SessionColumn { User, Machine, Pid, LoggedOn, LoggedOff, Duration, Note, SessionColumns };
    enum EventColumn { Time, Tag, EventPid, EventUser, EventMachine, Text, Source, EventColumns };

    static constexpr const char* kOutage = "Broker not answering";
    static constexpr const char* kStillOn = "still on";
    static constexpr const char* kOngoing = "ongoing";
    static constexpr const char* kAtLeast = "at least ";

    static QString SessionHeading(int column);
    static QString EventHeading(int column);
    static QString SessionCell(const HistorySnapshot& snap, const HistorySession& s, int column,
                               int64_t now);
    static QString EventCell(const HistorySnapshot& snap, const HistoryEvent& e, int column);

    // "H:MM:SS", hours running on past a day.
    static QString DurationText(int64_t seconds);
    static QString TagText(HistoryTag tag);
    // Why a row ends where it does, when the history does not say it directly.
    static QString NoteText(const HistorySession& s);
    // The seconds a row lasted (until `now` while still on); -1 when its start is unknown.
    static int64_t Seconds(const HistorySession& s, int64_t now);
    // Whether the row's end is only the last moment it was known to be on.
    static bool EndUncertain(const HistorySession& s);
};
