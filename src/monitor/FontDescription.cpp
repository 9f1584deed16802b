#include "monitor/FontDescription.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <cmath>

#include "app/SettingsKeys.h"

namespace {

// Pitch and family bits of the description.
constexpr int kFixedPitch = 0x01;
constexpr int kFamilyMask = 0xF0;
constexpr int kFamilyRoman = 0x10;
constexpr int kFamilySwiss = 0x20;
constexpr int kFamilyModern = 0x30;
constexpr int kFamilyScript = 0x40;
constexpr int kFamilyDecorative = 0x50;

// Quality values that say something about anti-aliasing.
constexpr int kNonAntialiased = 3;
constexpr int kAntialiased = 4;

// Qt accepts weights from 1 to 1000.
constexpr int kNormalWeight = 400;
constexpr int kMaxWeight = 1000;

// Larger pixel sizes are not a font anybody can use and upset the font engine.
constexpr int kMaxPixelSize = 2000;

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

qreal ScreenDpi() {
    if (HaveGui()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    }
    return 96.0;
}

QFont::StyleHint HintForFamily(int pitchAndFamily) {
    switch (pitchAndFamily & kFamilyMask) {
        case kFamilyRoman:
            return QFont::Serif;
        case kFamilySwiss:
            return QFont::SansSerif;
        case kFamilyModern:
            return QFont::TypeWriter;
        case kFamilyScript:
            return QFont::Cursive;
        case kFamilyDecorative:
            return QFont::Decorative;
        default:
            return QFont::AnyStyle;
    }
}

// A positive height is the cell height (ascent plus descent); Qt sizes fonts by the em, so
// scale the pixel size until the line fits the cell.
int PixelSizeForCellHeight(QFont font, int cellHeight) {
    if (!HaveGui()) return cellHeight;
    font.setPixelSize(cellHeight);
    const qreal lineHeight = QFontMetricsF(font).height();
    if (lineHeight <= 0) return cellHeight;
    return qMax(1, static_cast<int>(std::lround(cellHeight * cellHeight / lineHeight)));
}

}  // namespace

std::optional<FontDescription> FontDescription::Parse(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != kFieldCount) return std::nullopt;
    std::array<int, kFieldCount> fields{};
    for (int i = 0; i < kFieldCount; ++i) {
        bool ok = false;
        fields[i] = parts[i].trimmed().toInt(&ok, 10);
        if (!ok) return std::nullopt;
    }
    return FromFields(fields);
}

QString FontDescription::Format() const {
    QStringList parts;
    for (int v : Fields()) parts.append(QString::number(v));
    return parts.join(QLatin1Char(':'));
}

std::array<int, FontDescription::kFieldCount> FontDescription::Fields() const {
    return {height,    width,   escapement,   orientation,   weight,  italic,        underline,
            strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily};
}

FontDescription FontDescription::FromFields(const std::array<int, kFieldCount>& f) {
    FontDescription d;
    d.height = f[0];
    d.width = f[1];
    d.escapement = f[2];
    d.orientation = f[3];
    d.weight = f[4];
    d.italic = f[5];
    d.underline = f[6];
    d.strikeOut = f[7];
    d.charSet = f[8];
    d.outPrecision = f[9];
    d.clipPrecision = f[10];
    d.quality = f[11];
    d.pitchAndFamily = f[12];
    return d;
}

QFont FontDescription::ToFont(const QString& face) const {
    QFont font(face);
    font.setStyleHint(HintForFamily(pitchAndFamily),
                      quality == kAntialiased      ? QFont::PreferAntialias
                      : quality == kNonAntialiased ? QFont::NoAntialias
                                                   : QFont::PreferDefault);
    if (pitchAndFamily & kFixedPitch) font.setFixedPitch(true);
    // height == 0 asks for the default size, which the new QFont already has. The magnitude
    // is taken in 64 bits so that INT_MIN cannot overflow.
    const qint64 magnitude = qAbs(static_cast<qint64>(height));
    const int pixels = static_cast<int>(qMin<qint64>(magnitude, kMaxPixelSize));
    if (height < 0) font.setPixelSize(pixels);
    if (height > 0) font.setPixelSize(PixelSizeForCellHeight(font, pixels));
    const int w = weight <= 0 ? kNormalWeight : qMin(weight, kMaxWeight);
    font.setWeight(static_cast<QFont::Weight>(w));
    font.setItalic(italic != 0);
    font.setUnderline(underline != 0);
    font.setStrikeOut(strikeOut != 0);
    return font;
}

FontDescription FontDescription::FromFont(const QFont& font, const FontDescription& base) {
    FontDescription d = base;
    if (font.pixelSize() > 0) {
        d.height = -font.pixelSize();
    } else if (font.pointSizeF() > 0) {
        d.height = -static_cast<int>(std::lround(font.pointSizeF() * ScreenDpi() / 72.0));
    }
    d.weight = static_cast<int>(font.weight());
    // A flag that is still set keeps its stored value, so any non-zero one round-trips.
    const auto flag = [](bool set, int stored) { return set ? (stored != 0 ? stored : 1) : 0; };
    d.italic = flag(font.italic(), base.italic);
    d.underline = flag(font.underline(), base.underline);
    d.strikeOut = flag(font.strikeOut(), base.strikeOut);
    return d;
}

FontDescription FontDescription::FromFont(const QFont& font) {
    return FromFont(font, FontDescription());
}

QFont FontDescription::DefaultFont() {
    return FontDescription().ToFont(QString::fromLatin1(kDefaultFace));
}

std::optional<QFont> FontDescription::FontForReset(const QString& storedDescription,
                                                   const QString& storedFace) {
    if (storedDescription.isEmpty()) return DefaultFont();
    const std::optional<FontDescription> d = Parse(storedDescription);
    if (!d || storedFace.isEmpty()) return std::nullopt;
    return d->ToFont(storedFace);
}

std::optional<QFont> FontDescription::FontForReset(const AppSettings& settings) {
    const QString description = settings.Text(Setting::Font_Desc);
    // The face is read only once the description has been understood.
    if (!description.isEmpty() && !Parse(description)) return std::nullopt;
    return FontForReset(description, settings.Text(Setting::Font_Name));
}

void FontDescription::Store(AppSettings& settings, const QFont& font, const FontDescription& base) {
    settings.SetText(Setting::Font_Desc, FromFont(font, base).Format());
    settings.SetText(Setting::Font_Name, font.family());
}

void FontDescription::StoreChosen(AppSettings& settings, const QFont& font) {
    Store(settings, font, Parse(settings.Text(Setting::Font_Desc)).value_or(FontDescription()));
}

void FontDescription::StoreDefault(AppSettings& settings) {
    settings.SetText(Setting::Font_Desc, QString::fromLatin1(kDefaultText));
    settings.SetText(Setting::Font_Name, QString::fromLatin1(kDefaultFace));
}
