#include "history/StringPool.h"

namespace {

uint64_t Hash(std::string_view s) {
    // FNV-1a: the texts are short, a byte at a time is quick enough.
    uint64_t h = 1469598103934665603ULL;
    for (const char c : s) {
        h ^= uint8_t(c);
        h *= 1099511628211ULL;
    }
    return h ^ (h >> 32);
}

QString Visible(std::string_view bytes) {
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            c = QChar(char16_t(0xFFFD));
    }
    return text;
}

}  // namespace

StringPool::StringPool() : m_offsets{0, 0}, m_slots(1024, 0), m_slotHashes(1024, 0) {
    m_texts.PushBack(QString());
}

void StringPool::Grow() {
    const std::size_t size = m_slots.size() * 2;
    std::vector<uint32_t> table(size, 0);
    std::vector<uint32_t> hashes(size, 0);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i]) continue;
        std::size_t at = m_slotHashes[i] & (size - 1);
        while (table[at]) at = (at + 1) & (size - 1);
        table[at] = m_slots[i];
        hashes[at] = m_slotHashes[i];
    }
    m_slots.swap(table);
    m_slotHashes.swap(hashes);
}

uint32_t StringPool::Intern(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto h = uint32_t(Hash(bytes));
    const std::size_t mask = m_slots.size() - 1;
    std::size_t at = h & mask;
    while (const uint32_t id = m_slots[at]) {
        if (m_slotHashes[at] == h) {
            const std::string_view known(m_bytes.data() + m_offsets[id],
                                         std::size_t(m_offsets[id + 1] - m_offsets[id]));
            if (known == bytes) return id;
        }
        at = (at + 1) & mask;
    }
    if (m_texts.Full()) return 0;
    const auto id = uint32_t(m_texts.Size());
    m_texts.PushBack(Visible(bytes));
    m_bytes.append(bytes);
    m_offsets.push_back(m_bytes.size());
    m_slots[at] = id;
    m_slotHashes[at] = h;
    if (std::size_t(id) * 2 > m_slots.size()) Grow();
    return id;
}
