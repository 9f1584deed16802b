#pragma once

#include <QString>

// The stored administrator password is scrambled with a fixed 80-byte key; the same call
// scrambles and unscrambles. Characters past the key's end are kept as they are, and so is
// every character outside 7-bit ASCII (the 7-bit mask would otherwise destroy it).
QString ScramblePassword(const QString& text);

inline constexpr int kPasswordKeyLength = 80;
