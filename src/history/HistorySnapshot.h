#pragma once

#include <QStringList>
#include <memory>
#include <vector>

#include "history/HistoryStore.h"

// The history as far as it was read, handed from the reader to whoever shows it. Rows of the
// Sessions view are numbered: first the finished sessions of the store, then the pending ones
// (still on, or whose end may still be learnt) in this snapshot.
struct HistorySnapshot {
    std::shared_ptr<const HistoryStore> store;
    uint32_t eventCount = 0;
    uint32_t finishedCount = 0;
    std::vector<HistorySession> pending;
    // Files that were damaged, foreign or unreadable, and reloads: said in the status line.
    QStringList notes;
    // A new value: the store was read afresh, and row numbers changed.
    uint64_t generation = 0;
    qint64 bytesRead = 0;  // all the reader took from the files so far
    // The earliest and latest times the lines carry.
    int64_t oldest = HistoryTime::kUnknown;
    int64_t newest = HistoryTime::kUnknown;

    uint32_t SessionCount() const { return finishedCount + uint32_t(pending.size()); }
    const HistorySession& Session(uint32_t row) const {
        return row < finishedCount ? store->sessions[row] : pending[row - finishedCount];
    }
    const HistoryEvent& Event(uint32_t row) const { return store->events[row]; }
};
