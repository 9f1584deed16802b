#pragma once

#include <QString>
#include <cstdint>

#include "history/AppendOnlyArray.h"
#include "history/HistoryTime.h"
#include "history/StringPool.h"

// What a history line was, by its tag.
enum class HistoryTag : uint8_t { Add, Del, Rec, Other };

// One line of a history file, kept small: its texts are ids of the store's pools.
struct HistoryEvent {
    int64_t time = HistoryTime::kUnknown;  // a line without a time of its own: the one before
    uint32_t pid = 0;
    uint32_t user = 0;
    uint32_t machine = 0;
    uint32_t text = 0;  // the rest of the line; the whole line when it was not recognised
    uint32_t line = 0;  // 1-based, in its file
    uint16_t file = 0;  // index into the store's file names
    HistoryTag tag = HistoryTag::Other;
    uint8_t flags = 0;

    static constexpr uint8_t kOwnTime = 1;  // the line carries its time
};

// How a row of the Sessions view ended.
enum class SessionEnd : uint8_t {
    LoggedOff,       // a DEL line
    StillOn,         // nothing ended it yet
    ShutDown,        // the monitor was shut down while it was on
    MonitorStopped,  // the monitor started again without it and without a shutdown line
    HistoryGap,      // the history was not written for a while (switched off, or a restart)
    NextLogOn,       // the same PID logged on again on that machine: the log-off was not written
    Answered,        // an outage: the Broker answered again
};

// A row of the Sessions view: a session from log-on to log-off, or an outage of the Broker
// from its first failed scan to its next answer.
struct HistorySession {
    int64_t start = HistoryTime::kUnknown;  // unknown: the log-on is not in the history
    int64_t end = HistoryTime::kUnknown;    // meaningless while StillOn
    uint32_t pid = 0;
    uint32_t user = 0;     // an outage: the failure's source
    uint32_t machine = 0;  // an outage: the failure text
    uint32_t firstEvent = 0;
    uint32_t lastEvent = 0;
    uint32_t failures = 0;  // an outage: its failed scans
    SessionEnd ended = SessionEnd::StillOn;
    bool outage = false;

    bool StartKnown() const { return start != HistoryTime::kUnknown; }
    // The end shown and used for overlaps: `now` while still on.
    int64_t EndOr(int64_t now) const { return ended == SessionEnd::StillOn ? now : end; }
};

// Everything read from the history files. One thread (the reader) appends; others read the
// parts below the counts of a HistorySnapshot. Finished sessions are appended once and never
// change; sessions still on live in the snapshot.
class HistoryStore {
public:
    StringPool pids;
    StringPool users;
    StringPool machines;
    StringPool texts;
    AppendOnlyArray<HistoryEvent> events;
    AppendOnlyArray<HistorySession> sessions;
    AppendOnlyArray<QString, 8> files;  // names, as the events refer to them
};
