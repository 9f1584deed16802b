#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "app/SettingsKeys.h"
#include "controls/GridCtrl.h"
#include "monitor/FontDescription.h"
#include "monitor/MatrixPresentation.h"
#include "platform/SettingsStore.h"
#include "scan/MatrixLayout.h"

// How the matrix looks: the reset, the colour effects and the Find marks, on a grid without
// a window.
namespace {

using MP = MatrixPresentation;

class MatrixPresentationTest : public ::testing::Test {
protected:
    // Fills `rows` rows of entries after a reset; entry (r, g) holds pid r*10+g.
    void Fill(int rows) {
        presentation.ResetMatrixGrid();
        grid.SetRowCount(rows + 1);
        for (int r = 1; r <= rows; ++r)
            for (int g = 0; g < MatrixLayout::kGroupsPerRow; ++g) {
                const int c = g * MatrixLayout::kGroupWidth;
                grid.SetItemText(r, c, QString::number(r * 10 + g));
                grid.SetItemText(r, c + 1, QStringLiteral("USER%1").arg(r * 10 + g));
                grid.SetItemText(r, c + 2, QStringLiteral("PC%1").arg(g));
                grid.SetItemText(r, c + 3, QStringLiteral("2017/11/02 09:0%1:00").arg(g));
            }
    }
    QList<GridColour> Bk(int row, int col) const {
        QList<GridColour> out;
        for (int k = 0; k < 4; ++k) out.append(grid.GetItemBkColour(row, col + k));
        return out;
    }
    QList<GridColour> Fg(int row, int col) const {
        QList<GridColour> out;
        for (int k = 0; k < 4; ++k) out.append(grid.GetItemFgColour(row, col + k));
        return out;
    }
    static QList<GridColour> Four(GridColour c) { return {c, c, c, c}; }
    bool AnyOverlay() const {
        for (int r = 0; r < grid.GetRowCount(); ++r)
            for (int c = 0; c < grid.GetColumnCount(); ++c)
                if (grid.HasOverlay(r, c)) return true;
        return false;
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("q.ini"))};
    AppSettings settings{store};
    CGridCtrl grid;
    MatrixPresentation presentation{grid, settings};
};

TEST_F(MatrixPresentationTest, ResetLeavesHeadingsOptionsAndTheDefaultFont) {
    grid.SetRowCount(5);
    grid.SetColumnCount(3);
    presentation.ResetMatrixGrid();

    ASSERT_EQ(grid.GetRowCount(), 1);
    ASSERT_EQ(grid.GetColumnCount(), 12);
    EXPECT_EQ(grid.GetFixedRowCount(), 1);
    EXPECT_EQ(grid.GetFixedColumnCount(), 0);
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(grid.GetItemText(0, g * 4 + 0), QStringLiteral(" PID  "));
        EXPECT_EQ(grid.GetItemText(0, g * 4 + 1), QStringLiteral("    UserId     "));
        EXPECT_EQ(grid.GetItemText(0, g * 4 + 2), QStringLiteral("        Machine          "));
        EXPECT_EQ(grid.GetItemText(0, g * 4 + 3), QStringLiteral("   DateTime  "));
    }
    EXPECT_EQ(grid.GetTitle(), QStringLiteral("VezAvazaz"));
    EXPECT_EQ(grid.GetBkColor(), 0xE0FFFFu);
    EXPECT_EQ(grid.GetGridLines(), 0);
    EXPECT_TRUE(grid.GetListMode());
    EXPECT_FALSE(grid.IsEditable());
    EXPECT_TRUE(grid.IsSelectable());
    EXPECT_FALSE(grid.GetRowResize());
    EXPECT_TRUE(grid.GetColumnResize());
    EXPECT_TRUE(grid.GetSingleSelection());
    for (int c = 0; c < 12; ++c) EXPECT_TRUE(grid.GetItemFont(0, c).italic()) << c;

    // No stored description: Segoe UI, 10 pixels, normal weight, and nothing written.
    EXPECT_EQ(grid.GetGridFont().family(), QStringLiteral("Segoe UI"));
    EXPECT_EQ(grid.GetGridFont().pixelSize(), 10);
    EXPECT_EQ(grid.GetGridFont().weight(), QFont::Normal);
    EXPECT_TRUE(store.ReadText(QStringLiteral("Settings"), QStringLiteral("Font_Desc")).isEmpty());
    EXPECT_TRUE(store.ReadText(QStringLiteral("Settings"), QStringLiteral("Font_Name")).isEmpty());

    // The heading row is half again as high as the font needs; a full time stamp fits.
    const int fitted = grid.GetCellExtent(0, 0).height();
    EXPECT_EQ(grid.GetRowHeight(0), fitted * 3 / 2);
    grid.SetRowCount(2);
    grid.SetItemText(1, 3, QStringLiteral("2017/11/02 09:01:00"));
    for (int c = 3; c < 12; c += 4)
        EXPECT_GE(grid.GetColumnWidth(c), grid.GetCellExtent(1, 3).width()) << c;
    // The headings' blanks make the other widths: the Machine column is the widest.
    EXPECT_GT(grid.GetColumnWidth(2), grid.GetColumnWidth(1));
    EXPECT_GT(grid.GetColumnWidth(1), grid.GetColumnWidth(0));
}

TEST_F(MatrixPresentationTest, StoredFontIsUsedOnlyWhenWhole) {
    settings.SetText(Setting::Font_Desc, QStringLiteral("-14:0:0:0:700:0:0:0:0:3:2:1:34"));
    settings.SetText(Setting::Font_Name, QStringLiteral("DejaVu Sans"));
    presentation.ResetMatrixGrid();
    EXPECT_EQ(grid.GetGridFont().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(grid.GetGridFont().pixelSize(), 14);
    EXPECT_EQ(grid.GetGridFont().weight(), QFont::Bold);

    // Twelve numbers, or thirteen without a face: the grid keeps the font it has.
    settings.SetText(Setting::Font_Desc, QStringLiteral("-20:0:0:0:400:0:0:0:0:3:2:1"));
    presentation.ResetMatrixGrid();
    EXPECT_EQ(grid.GetGridFont().pixelSize(), 14);
    settings.SetText(Setting::Font_Desc, QStringLiteral("-20:0:0:0:400:0:0:0:0:3:2:1:34"));
    settings.SetText(Setting::Font_Name, QString());
    presentation.ResetMatrixGrid();
    EXPECT_EQ(grid.GetGridFont().pixelSize(), 14);
    EXPECT_EQ(grid.GetGridFont().family(), QStringLiteral("DejaVu Sans"));
}

TEST_F(MatrixPresentationTest, FlashesAndBlinksAreOverlaysThatLeaveStoredColoursAlone) {
    Fill(2);
    grid.SetItemState(1, 4, GVIS_SELECTED);
    presentation.NewEntryFlash(1, 4);
    EXPECT_EQ(grid.GetItemState(1, 4) & GVIS_SELECTED, 0u) << "the group step deselects";
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(grid.HasOverlay(1, 4 + k));
    EXPECT_FALSE(grid.HasOverlay(1, 0));
    EXPECT_EQ(Bk(1, 4), Four(kGridDefaultColour));
    EXPECT_EQ(Fg(1, 4), Four(kGridDefaultColour));

    presentation.ErrorBlink(2, 8);
    presentation.WatchedBlink(2, 0);
    EXPECT_TRUE(grid.HasOverlay(2, 8));
    EXPECT_TRUE(grid.HasOverlay(2, 0));
    EXPECT_EQ(Bk(2, 8), Four(kGridDefaultColour));

    // The overlays end by themselves.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !AnyOverlay(); }, 5000));
    EXPECT_EQ(Bk(1, 4), Four(kGridDefaultColour));

    // A reset drops overlays still showing.
    presentation.ErrorBlink(1, 0);
    presentation.ResetMatrixGrid();
    EXPECT_FALSE(AnyOverlay());
}

TEST_F(MatrixPresentationTest, EffectsSkipTheHeadingRowThePlaceholderAndEmptyGroups) {
    Fill(1);
    presentation.NewEntryFlash(0, 0);
    presentation.StaleColours(0, 0);
    presentation.ErrorBlink(-1, 0);
    presentation.NewEntryFlash(7, 0);  // past the grid
    EXPECT_FALSE(AnyOverlay());
    EXPECT_EQ(grid.GetItemBkColour(0, 0), kGridDefaultColour);

    grid.SetItemText(1, 0, QStringLiteral("0000"));
    presentation.ErrorBlink(1, 0);
    presentation.ErrorHighlight(1, 0);
    EXPECT_FALSE(AnyOverlay()) << "the debug-logging placeholder never blinks as an error";
    EXPECT_EQ(Bk(1, 0), Four(kGridDefaultColour));

    grid.SetItemText(1, 4, QString());
    presentation.WatchedBlink(1, 4);
    presentation.WatchedHighlight(1, 4);
    EXPECT_FALSE(AnyOverlay());
    EXPECT_EQ(Bk(1, 4), Four(kGridDefaultColour));

    // The placeholder is watched like any session.
    presentation.WatchedBlink(1, 0);
    EXPECT_TRUE(grid.HasOverlay(1, 0));
}

TEST_F(MatrixPresentationTest, LastingMarksAreStoredColours) {
    Fill(1);
    presentation.StaleColours(1, 0);
    EXPECT_EQ(Bk(1, 0), Four(MP::kStaleBk));
    EXPECT_EQ(Fg(1, 0), Four(MP::kStaleFg));
    presentation.WatchedHighlight(1, 4);
    EXPECT_EQ(Bk(1, 4), Four(MP::kWatchedBk));
    EXPECT_EQ(Fg(1, 4), Four(MP::kWhite));
    presentation.ErrorHighlight(1, 8);
    EXPECT_EQ(Bk(1, 8), Four(MP::kErrorBk));
    EXPECT_EQ(Fg(1, 8), Four(MP::kWhite));
    EXPECT_FALSE(AnyOverlay());
}

TEST_F(MatrixPresentationTest, FindMarksEveryMatchingGroupAndClearsEarlierMarks) {
    Fill(3);
    grid.SetItemText(1, 5, QStringLiteral("SMITH"));   // UserId
    grid.SetItemText(3, 2, QStringLiteral("smith"));   // Machine: compared in upper case
    grid.SetItemText(2, 11, QStringLiteral("Smith"));  // DateTime: compared as it stands
    grid.SetItemText(2, 7, QStringLiteral("SMITH"));   // DateTime, exactly upper case
    grid.SetItemText(3, 9, QStringLiteral("SMITHS"));  // only a part: no match
    // A stale session keeps its colours through a search.
    grid.SetItemText(2, 0, QStringLiteral("77"));
    grid.SetItemText(2, 3, QStringLiteral("2017/11/01 23:59:59"));
    presentation.StaleColours(2, 0);

    EXPECT_EQ(presentation.MarkFindMatches(QStringLiteral("SMITH"), 20171102), 3);
    EXPECT_EQ(Bk(1, 4), Four(MP::kFindBk));
    EXPECT_EQ(Fg(1, 4), Four(MP::kFindFg));
    EXPECT_EQ(Bk(3, 0), Four(MP::kFindBk));
    EXPECT_EQ(Bk(2, 4), Four(MP::kFindBk));
    EXPECT_EQ(Bk(2, 8), Four(kGridDefaultColour));
    EXPECT_EQ(Bk(3, 8), Four(kGridDefaultColour));
    EXPECT_EQ(Fg(2, 0), Four(MP::kStaleFg));

    // A search that finds nothing takes every mark away.
    EXPECT_EQ(presentation.MarkFindMatches(QStringLiteral("NOBODY"), 20171102), 0);
    for (int r = 1; r <= 3; ++r)
        for (int c : {0, 4, 8}) {
            const bool stale = r == 2 && c == 0;
            EXPECT_EQ(Bk(r, c), Four(stale ? MP::kStaleBk : kGridDefaultColour)) << r << "," << c;
            EXPECT_EQ(Fg(r, c), Four(stale ? MP::kStaleFg : kGridDefaultColour)) << r << "," << c;
        }
}

}  // namespace
