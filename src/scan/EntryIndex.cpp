#include "scan/EntryIndex.h"

#include "scan/UserListReport.h"

namespace {

// A 64-bit hash over UTF-16 code units, fed one at a time.
class Hasher {
public:
    void Add(char16_t unit) {
        m_h = (m_h + unit + 1) * 0x9E3779B97F4A7C15ull;
        m_h ^= m_h >> 29;
    }
    void Add(QStringView text) {
        for (const QChar c : text) Add(c.unicode());
    }
    quint64 Done() const {
        quint64 h = m_h;  // the finalizer of MurmurHash3
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 33;
        return h;
    }

private:
    quint64 m_h = 0x243F6A8885A308D3ull;
};

bool IsAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

void AddUpperAscii(Hasher& h, const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        h.Add(u >= u'a' && u <= u'z' ? char16_t(u - 32) : u);
    }
}

}  // namespace

quint64 EntryIndex::HashOf(const QString& a, const QString* b) {
    Hasher h;
    if (IsAscii(a) && (!b || IsAscii(*b))) {
        AddUpperAscii(h, a);
        if (b) {
            h.Add(u'/');
            AddUpperAscii(h, *b);
        }
        return h.Done();
    }
    // Upper-casing other text may change its length; it is done as the scanner does it.
    h.Add(UserListReport::UpperCase(a));
    if (b) {
        h.Add(u'/');
        h.Add(UserListReport::UpperCase(*b));
    }
    return h.Done();
}
