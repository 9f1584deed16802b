#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <string_view>

// The history's times as whole seconds of the local calendar ("civil" seconds from
// 1970/01/01 00:00:00), read from and written as "YYYY/MM/DD HH:MM:SS". The files carry no
// time zone, so neither do these: a difference of two of them is the duration the clock on
// the wall showed.
class HistoryTime {
public:
    static constexpr int64_t kUnknown = INT64_MIN;
    static constexpr int64_t kSecondsPerDay = 86400;
    static constexpr int kTextLength = 19;  // "YYYY/MM/DD HH:MM:SS"

    // Exactly "YYYY/MM/DD HH:MM:SS" at the start of `text`, a real date and time.
    static bool Parse(std::string_view text, int64_t& out);
    // What a person or a script types: "YYYY/MM/DD", "YYYY-MM-DD", either followed by a
    // blank or "T" and "HH:MM" or "HH:MM:SS". `dateOnly` says whether the time was left out.
    static bool ParseInput(QStringView text, int64_t& out, bool* dateOnly = nullptr);

    static int64_t FromDate(const QDate& date);
    static int64_t FromDateTime(const QDateTime& t);
    static QDate ToDate(int64_t t);

    // Writes the 19 characters of "YYYY/MM/DD HH:MM:SS" to `out`.
    static void Format(int64_t t, char* out);
    static QString Text(int64_t t);

    static int64_t Day(int64_t t) { return FloorDiv(t, kSecondsPerDay); }
    static int SecondOfDay(int64_t t) { return int(t - Day(t) * kSecondsPerDay); }
    static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);

private:
    static int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b) < 0 ? 1 : 0); }
};
