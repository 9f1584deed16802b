#pragma once

#include <QString>

// Login order, as the matrix shows sessions: by date-time, compared as the grid's text sort
// compares it (each character folded to lower case). The usual "YYYY/MM/DD_HH:MM:SS" is also
// held as a number: for texts of that one shape the number compares as the text does, and
// costs no string comparison. Sessions with equal times go by their keys.
class LoginOrderKey {
public:
    // toLower() of a text without capitals shares it, so the usual date-time costs no copy.
    explicit LoginOrderKey(const QString& datetime) : m_folded(datetime.toLower()) {
        ParseNumber(datetime);
    }
    int Compare(const LoginOrderKey& other) const {
        if (m_number >= 0 && other.m_number >= 0)
            return m_number < other.m_number ? -1 : (m_number > other.m_number ? 1 : 0);
        return m_folded.compare(other.m_folded);
    }

private:
    void ParseNumber(const QString& dt) {
        static constexpr char kShape[] = "dddd/dd/dd_dd:dd:dd";
        if (dt.size() != 19) return;
        qint64 n = 0;
        for (int i = 0; i < 19; ++i) {
            const char16_t c = dt[i].unicode();
            if (kShape[i] != 'd') {
                if (c != static_cast<char16_t>(kShape[i])) return;
                continue;
            }
            if (c < u'0' || c > u'9') return;
            n = n * 10 + (c - u'0');
        }
        m_number = n;
    }

    QString m_folded;
    qint64 m_number = -1;
};

// Whether the session (keyA, a) comes before (keyB, b) in login order.
inline bool LoginOrderLess(const LoginOrderKey& a, const QString& keyA, const LoginOrderKey& b,
                           const QString& keyB) {
    const int c = a.Compare(b);
    return c != 0 ? c < 0 : keyA < keyB;
}
