#pragma once

#include <QFont>
#include <QString>
#include <array>
#include <optional>

#include "app/SettingsKeys.h"

// The matrix font as stored in "Font_Desc": thirteen integers in the order height, width,
// escapement, orientation, weight, italic, underline, strike-out, character set, output
// precision, clipping precision, quality, pitch and family. Every number is kept as given so
// that a stored description survives a load and save unchanged, even where Qt has no use
// for it.
struct FontDescription {
    static constexpr int kFieldCount = 13;
    // The defaults stand in the settings table, as what an empty entry means.
    static constexpr const char* kDefaultText = Setting::Font_Desc.fallback;
    static constexpr const char* kDefaultFace = Setting::Font_Name.fallback;

    int height = -10;  // < 0: character height in pixels; > 0: cell height; 0: default size
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 400;  // 100 to 900; 0 means normal
    int italic = 0;
    int underline = 0;
    int strikeOut = 0;
    int charSet = 0;
    int outPrecision = 3;
    int clipPrecision = 2;
    int quality = 1;
    int pitchAndFamily = 34;

    // Exactly thirteen decimal integers joined by ":" (blanks around a number are allowed);
    // anything else, including twelve or fourteen numbers, gives nothing.
    static std::optional<FontDescription> Parse(const QString& text);
    // "%d:%d:...:%d" of the thirteen numbers.
    QString Format() const;

    // The Qt font of this description with the given face.
    QFont ToFont(const QString& face) const;
    // The description of a Qt font: size, weight, italic, underline and strike-out come from
    // the font; the numbers Qt has no notion of are taken over from `base`.
    static FontDescription FromFont(const QFont& font, const FontDescription& base);
    static FontDescription FromFont(const QFont& font);  // over the default description

    // The default matrix font: the default description with face "Segoe UI".
    static QFont DefaultFont();

    // The font a matrix reset takes from the stored "Font_Desc" and "Font_Name": the default
    // font when the description is empty; the stored font when it holds thirteen numbers and
    // the face is not empty; otherwise nothing, and the grid keeps the font it has.
    static std::optional<QFont> FontForReset(const QString& storedDescription,
                                             const QString& storedFace);
    static std::optional<QFont> FontForReset(const AppSettings& settings);

    // Stores a chosen font: its description (over the numbers of `base`) and face.
    static void Store(AppSettings& settings, const QFont& font, const FontDescription& base);
    // The same over the stored description, so that numbers Qt has no use for keep their
    // values; over the default description when the stored one cannot be read.
    static void StoreChosen(AppSettings& settings, const QFont& font);
    // Stores the default description and face.
    static void StoreDefault(AppSettings& settings);

    std::array<int, kFieldCount> Fields() const;
    static FontDescription FromFields(const std::array<int, kFieldCount>& fields);

    bool operator==(const FontDescription&) const = default;
};
