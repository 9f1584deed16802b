#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A 64-bit hash of a stream of bytes that does not depend on how the stream was cut into
// pieces: the reader uses it to know that bytes it read before are still where it finds them
// now (a file renamed into an archive, or appended to one). Not for security.
class StreamHash {
public:
    void Add(const char* data, std::size_t n) {
        m_length += n;
        if (m_carryLen) {
            while (n && m_carryLen < 8) {
                m_carry[m_carryLen++] = *data++;
                --n;
            }
            if (m_carryLen < 8) return;
            Mix(Word(m_carry));
            m_carryLen = 0;
        }
        for (; n >= 8; n -= 8, data += 8) Mix(Word(data));
        for (std::size_t i = 0; i < n; ++i) m_carry[m_carryLen++] = data[i];
    }

    uint64_t Value() const {
        uint64_t h = m_state;
        char last[8] = {};
        std::memcpy(last, m_carry, m_carryLen);
        h = Step(h, Word(last) ^ (uint64_t(m_carryLen) << 56));
        h = Step(h, m_length);
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdULL;
        return h ^ (h >> 33);
    }

private:
    static uint64_t Word(const char* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static uint64_t Step(uint64_t h, uint64_t w) {
        h ^= w * 0x9E3779B97F4A7C15ULL;
        h = (h << 29) | (h >> 35);
        return h * 0xC2B2AE3D27D4EB4FULL + 0x165667B19E3779F9ULL;
    }
    void Mix(uint64_t w) { m_state = Step(m_state, w); }

    uint64_t m_state = 0x27D4EB2F165667C5ULL;
    uint64_t m_length = 0;
    char m_carry[8] = {};
    std::size_t m_carryLen = 0;
};
