#include <gtest/gtest.h>

#include <QFileInfo>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <climits>

#include "app/SettingsKeys.h"
#include "monitor/FontDescription.h"
#include "platform/SettingsStore.h"

namespace {

TEST(FontDescription, ParsesExactlyThirteenIntegersAndFormatsThemBack) {
    EXPECT_EQ(FontDescription::Parse(QStringLiteral("-10:0:0:0:400:0:0:0:0:3:2:1:34")),
              FontDescription());
    const QString odd = QStringLiteral("12:5:900:-900:700:1:1:1:186:7:16:5:49");
    ASSERT_TRUE(FontDescription::Parse(odd));
    EXPECT_EQ(FontDescription::Parse(odd)->Format(), odd);

    const char* bad[] = {"",
                         "-10:0:0:0:400:0:0:0:0:3:2:1",
                         "-10:0:0:0:400:0:0:0:0:3:2:1:34:5",
                         "-10:0:0:0:400:0:0:0:0:3:2:1:",
                         "-10:0:0:0:bold:0:0:0:0:3:2:1:34",
                         "-10:0:0:0:99999999999:0:0:0:0:3:2:1:34"};
    for (const char* text : bad)
        EXPECT_FALSE(FontDescription::Parse(QString::fromLatin1(text))) << text;
}

TEST(FontDescription, MapsOntoQFontAndBack) {
    const QFont def = FontDescription::DefaultFont();
    EXPECT_EQ(def.family(), QStringLiteral("Segoe UI"));
    EXPECT_EQ(def.pixelSize(), 10) << "-10: ten pixels of character height";
    EXPECT_EQ(def.weight(), QFont::Normal);
    EXPECT_FALSE(def.italic() || def.underline() || def.strikeOut());

    FontDescription d;
    const std::pair<int, QFont::Weight> weights[] = {
        {100, QFont::Thin}, {700, QFont::Bold}, {900, QFont::Black}, {0, QFont::Normal}};
    for (const auto& [stored, expected] : weights) {
        d.weight = stored;
        EXPECT_EQ(d.ToFont(QStringLiteral("Arial")).weight(), expected) << stored;
    }
    d = *FontDescription::Parse(QStringLiteral("-24:0:0:0:700:1:1:255:186:7:16:5:49"));
    const QFont font = d.ToFont(QStringLiteral("Arial"));
    EXPECT_EQ(font.pixelSize(), 24);
    EXPECT_TRUE(font.italic() && font.underline() && font.strikeOut());
    EXPECT_EQ(FontDescription::FromFont(font, d), d) << "numbers Qt ignores come from the base";

    // A positive height is the whole cell; zero is the default size; nonsense stays usable.
    d.height = 30;
    EXPECT_NEAR(QFontMetricsF(d.ToFont(QStringLiteral("DejaVu Sans"))).height(), 30.0, 3.0);
    d.height = 0;
    EXPECT_EQ(d.ToFont(QStringLiteral("Arial")).pixelSize(), -1);
    d.height = INT_MIN;
    EXPECT_GT(d.ToFont(QStringLiteral("Arial")).pixelSize(), 0);

    // A font chosen in points becomes a negative pixel height.
    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSize(12);
    chosen.setWeight(QFont::DemiBold);
    const FontDescription fromPoints = FontDescription::FromFont(chosen);
    EXPECT_LT(fromPoints.height, 0);
    EXPECT_EQ(fromPoints.weight, 600);
}

TEST(FontDescription, ResetRuleTakesDefaultStoredOrKeepsTheCurrentFont) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("q.conf"));
    SettingsStore store(path);
    AppSettings s(store);
    EXPECT_EQ(FontDescription::FontForReset(s), FontDescription::DefaultFont());
    EXPECT_FALSE(QFileInfo::exists(path)) << "reading writes nothing";

    s.SetText(Setting::Font_Desc, QStringLiteral("-16:0:0:0:700:1:0:0:0:3:2:1:34"));
    EXPECT_FALSE(FontDescription::FontForReset(s)) << "13 numbers but no face: keep the font";
    s.SetText(Setting::Font_Name, QStringLiteral("Arial"));
    const auto stored = FontDescription::FontForReset(s);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->family(), QStringLiteral("Arial"));
    EXPECT_EQ(stored->pixelSize(), 16);
    EXPECT_TRUE(stored->bold() && stored->italic());
    s.SetText(Setting::Font_Desc, QStringLiteral("-16:0:0:0:700:1:0:0:0:3:2:1"));
    EXPECT_FALSE(FontDescription::FontForReset(s)) << "twelve numbers: keep the font";

    // Storing a chosen font over the current description keeps its other numbers.
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(20);
    chosen.setBold(true);
    FontDescription::Store(
        s, chosen, *FontDescription::Parse(QStringLiteral("-12:0:0:0:400:1:0:0:161:7:16:5:18")));
    EXPECT_EQ(s.Text(Setting::Font_Desc), QStringLiteral("-20:0:0:0:700:0:0:0:161:7:16:5:18"));
    EXPECT_EQ(s.Text(Setting::Font_Name), QStringLiteral("DejaVu Serif"));
    FontDescription::StoreDefault(s);
    EXPECT_EQ(s.Text(Setting::Font_Desc), QStringLiteral("-10:0:0:0:400:0:0:0:0:3:2:1:34"));
    EXPECT_EQ(s.Text(Setting::Font_Name), QStringLiteral("Segoe UI"));
}

}  // namespace
