#pragma once

#include <QString>

// Login order, as the matrix shows sessions: by date-time, compared as the grid's text sort
// compares it (each character folded to lower case). The usual "YYYY/MM/DD_HH:MM:SS" is also
// held as a number: for texts of that one shape the number compares as the text does, and
// costs no string comparison. Sessions with equal times go by their keys.
class LoginOrderKey {
public:
    explicit LoginOrderKey(const QString& datetime) : m_text(datetime) {
        // Folding is only needed for other shapes: the usual one has no letters, and asking
        // Qt to fold it would still cost a look-up per character.
        if (!ParseNumber(datetime)) m_text = datetime.toLower();
    }
    // The time stamp as a number, or -1 for a text of another shape.
    qint64 Number() const { return m_number; }
    int Compare(const LoginOrderKey& other) const {
        if (m_number >= 0 && other.m_number >= 0)
            return m_number < other.m_number ? -1 : (m_number > other.m_number ? 1 : 0);
        return m_text.compare(other.m_text);
    }

private:
    bool ParseNumber(const QString& dt) {
        static constexpr char kShape[] = "dddd/dd/dd_dd:dd:dd";
        if (dt.size() != 19) return false;
        qint64 n = 0;
        for (int i = 0; i < 19; ++i) {
            const char16_t c = dt[i].unicode();
            if (kShape[i] != 'd') {
                if (c != static_cast<char16_t>(kShape[i])) return false;
                continue;
            }
            if (c < u'0' || c > u'9') return false;
            n = n * 10 + (c - u'0');
        }
        m_number = n;
        return true;
    }

    QString m_text;  // folded to lower case
    qint64 m_number = -1;
};

// Whether the session (keyA, a) comes before (keyB, b) in login order.
inline bool LoginOrderLess(const LoginOrderKey& a, const QString& keyA, const LoginOrderKey& b,
                           const QString& keyB) {
    const int c = a.Compare(b);
    return c != 0 ? c < 0 : keyA < keyB;
}
