#pragma once

#include <QDateTime>
#include <QString>

class Clock;

// "YYYY/MM/DD HH:MM:SS" in local time: the date-time of every history line and status text.
QString FormatTimestamp(const QDateTime& t);
QString CurrentTimestamp(const Clock& clock);

// YYYYMMDD taken from a time stamp text: the first four characters, the two after the
// first "/", and the two three places further. Empty when the text holds no "/".
QString DateNumberText(const QString& timestamp);
