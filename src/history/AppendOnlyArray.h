#pragma once

#include <cstddef>
#include <memory>

// An array that only grows, kept in fixed chunks so that an element never moves once it is
// written. One thread appends; other threads may read every element below a count the
// writer handed them (through a signal or a lock, which orders the writes before the reads),
// while the writer goes on appending behind it.
template <typename T, std::size_t ChunkBits = 15>
class AppendOnlyArray {
public:
    static constexpr std::size_t kChunkBits = ChunkBits;
    static constexpr std::size_t kChunkSize = std::size_t(1) << kChunkBits;
    static constexpr std::size_t kMaxChunks = 8192;
    static constexpr std::size_t kCapacity = kChunkSize * kMaxChunks;

    AppendOnlyArray() : m_chunks(std::make_unique<std::unique_ptr<T[]>[]>(kMaxChunks)) {}
    AppendOnlyArray(const AppendOnlyArray&) = delete;
    AppendOnlyArray& operator=(const AppendOnlyArray&) = delete;

    // False when the array is full; nothing is stored then.
    bool PushBack(T value) {
        if (m_size >= kCapacity) return false;
        const std::size_t chunk = m_size >> kChunkBits;
        // The table of chunks never moves; only a new slot in it is written.
        if (!m_chunks[chunk]) m_chunks[chunk] = std::make_unique<T[]>(kChunkSize);
        m_chunks[chunk][m_size & (kChunkSize - 1)] = std::move(value);
        ++m_size;
        return true;
    }

    const T& operator[](std::size_t i) const {
        return m_chunks[i >> kChunkBits][i & (kChunkSize - 1)];
    }
    // The writer's count; readers use the count they were handed.
    std::size_t Size() const { return m_size; }
    bool Full() const { return m_size >= kCapacity; }

private:
    std::unique_ptr<std::unique_ptr<T[]>[]> m_chunks;
    std::size_t m_size = 0;
};
