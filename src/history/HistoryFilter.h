#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "history/HistorySnapshot.h"

// What the views show: a text filter (words, each found in some column without regard to
// case), a date range, "who was on at" a moment, the tags, and for the command line a part
// of the user id. A row passes when it passes all of them.
struct HistoryCriteria {
    QString text;
    int64_t from = HistoryTime::kUnknown;  // first second of the range; unknown: open
    int64_t to = HistoryTime::kUnknown;    // first second after the range; unknown: open
    int64_t at = HistoryTime::kUnknown;  // sessions on at this moment (the range is then not used)
    // ADD, DEL, REC, and lines not recognised. Sessions come from ADD and DEL lines,
    // outages from REC lines.
    std::array<bool, 4> tags{true, true, true, true};
    QString user;  // sessions whose user id contains it; outages then do not pass

    bool Tag(HistoryTag t) const { return tags[std::size_t(t)]; }
};

// The rows of a snapshot that pass, in row order. Made to run over a year of history within
// a frame or two: the texts of a column are matched once per distinct text, times per day
// and per second of the day, and no cell's text is made unless it can match.
class HistoryFilter {
public:
    static std::vector<uint32_t> Sessions(const HistorySnapshot& snap,
                                          const HistoryCriteria& criteria, int64_t now);
    static std::vector<uint32_t> Events(const HistorySnapshot& snap,
                                        const HistoryCriteria& criteria);
    // The words of a filter text.
    static QStringList Words(const QString& text);
};
