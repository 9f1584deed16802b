#include "platform/TextHelpers.h"

int LeadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 n = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80; ++i) {
        n = n * 10 + (text[i].unicode() - '0');
        if (n > 0x7FFFFFFF) n = 0x80000000LL;  // saturate like the C library
    }
    if (negative) n = -n;
    return static_cast<int>(qBound<qint64>(-0x7FFFFFFFLL - 1, n, 0x7FFFFFFF));
}
