#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/AppendOnlyArray.h"

// The texts of one column (user ids, machines, PIDs, the rest of the lines), each kept once
// and named by a number: a year of history repeats a few thousand users and machines over
// millions of lines. Id 0 is the empty text.
//
// One thread interns; any thread may read the texts of the ids it was handed (see
// AppendOnlyArray).
class StringPool {
public:
    StringPool();
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    // The id of `bytes` (UTF-8), adding it when new. Kept for display with every control
    // character made visible as U+FFFD, as the history writer does. 0 when the pool is full.
    uint32_t Intern(std::string_view bytes);

    const QString& Text(uint32_t id) const { return m_texts[id]; }
    // The writer's count.
    uint32_t Size() const { return uint32_t(m_texts.Size()); }

private:
    void Grow();

    // Most pools stay small: a few thousand users and machines.
    AppendOnlyArray<QString, 12> m_texts;
    // The writer's index: the bytes of every text one after the other, and an open-addressed
    // table of ids (0: free) with their hashes.
    std::string m_bytes;
    std::vector<uint64_t> m_offsets;  // start of each text in m_bytes, and one past the last
    std::vector<uint32_t> m_slots;
    std::vector<uint32_t> m_slotHashes;
};
