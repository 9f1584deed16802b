#pragma once

#include <cstdint>
#include <vector>

#include "history/HistorySnapshot.h"

// Puts the rows a filter kept in the order of a column, as the views show them: times by
// time, durations by length, PIDs by number, texts alphabetically without regard to case.
// Equal rows keep their order. A million rows take a radix sort of one key each.
class HistoryOrder {
public:
    static void Sessions(const HistorySnapshot& snap, std::vector<uint32_t>& rows, int column,
                         bool descending, int64_t now);
    // The "File and line" column is the order the lines were read in.
    static void Events(const HistorySnapshot& snap, std::vector<uint32_t>& rows, int column,
                       bool descending);
};
