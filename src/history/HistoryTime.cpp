#include "history/HistoryTime.h"

#include <QRegularExpression>

namespace {

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool ValidDate(int y, int m, int d) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

int64_t Compose(int y, int mo, int d, int h, int mi, int s) {
    return HistoryTime::DaysFromCivil(y, unsigned(mo), unsigned(d)) * HistoryTime::kSecondsPerDay +
           h * 3600 + mi * 60 + s;
}

struct Civil {
    int64_t y;
    unsigned m, d;
};

Civil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {int64_t(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

}  // namespace

int64_t HistoryTime::DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

bool HistoryTime::Parse(std::string_view s, int64_t& out) {
    if (s.size() < std::size_t(kTextLength)) return false;
    if (s[4] != '/' || s[7] != '/' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
    int y, mo, d, h, mi, sec;
    if (!Digits(s, 0, 4, y) || !Digits(s, 5, 2, mo) || !Digits(s, 8, 2, d) ||
        !Digits(s, 11, 2, h) || !Digits(s, 14, 2, mi) || !Digits(s, 17, 2, sec))
        return false;
    if (!ValidDate(y, mo, d) || h > 23 || mi > 59 || sec > 59) return false;
    out = Compose(y, mo, d, h, mi, sec);
    return true;
}

bool HistoryTime::ParseInput(QStringView text, int64_t& out, bool* dateOnly) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})([/-])(\d{1,2})\2(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed().toString());
    if (!m.hasMatch()) return false;
    const int y = m.capturedView(1).toInt();
    const int mo = m.capturedView(3).toInt();
    const int d = m.capturedView(4).toInt();
    const bool noTime = !m.hasCaptured(5);
    const int h = noTime ? 0 : m.capturedView(5).toInt();
    const int mi = noTime ? 0 : m.capturedView(6).toInt();
    const int s = m.hasCaptured(7) ? m.capturedView(7).toInt() : 0;
    if (!ValidDate(y, mo, d) || h > 23 || mi > 59 || s > 59) return false;
    out = Compose(y, mo, d, h, mi, s);
    if (dateOnly) *dateOnly = noTime;
    return true;
}

int64_t HistoryTime::FromDate(const QDate& date) {
    return DaysFromCivil(date.year(), unsigned(date.month()), unsigned(date.day())) *
           kSecondsPerDay;
}

int64_t HistoryTime::FromDateTime(const QDateTime& t) {
    const QTime time = t.time();
    return FromDate(t.date()) + time.hour() * 3600 + time.minute() * 60 + time.second();
}

QDate HistoryTime::ToDate(int64_t t) {
    const Civil c = CivilFromDays(Day(t));
    return QDate(int(c.y), int(c.m), int(c.d));
}

void HistoryTime::Format(int64_t t, char* out) {
    const Civil c = CivilFromDays(Day(t));
    const int s = SecondOfDay(t);
    const auto two = [](char* p, unsigned v) {
        p[0] = char('0' + v / 10 % 10);
        p[1] = char('0' + v % 10);
    };
    const auto y = unsigned(c.y < 0 ? 0 : c.y % 10000);
    two(out, y / 100);
    two(out + 2, y % 100);
    out[4] = '/';
    two(out + 5, c.m);
    out[7] = '/';
    two(out + 8, c.d);
    out[10] = ' ';
    two(out + 11, unsigned(s / 3600));
    out[13] = ':';
    two(out + 14, unsigned(s / 60 % 60));
    out[16] = ':';
    two(out + 17, unsigned(s % 60));
}

QString HistoryTime::Text(int64_t t) {
    if (t == kUnknown) return QString();
    char buf[kTextLength];
    Format(t, buf);
    return QString::fromLatin1(buf, kTextLength);
}
