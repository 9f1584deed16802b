#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>

#include "FixedTextMetrics.h"
#include "controls/GridModel.h"

namespace {

QStringList ColumnTexts(const GridModel& m, int col) {
    QStringList texts;
    for (int r = 0; r < m.GetRowCount(); ++r) texts << m.GetItemText(r, col);
    return texts;
}

GridModel ModelWithColumn(const QStringList& texts) {
    GridModel m;
    m.SetColumnCount(2);
    m.SetRowCount(int(texts.size()));
    for (int r = 0; r < texts.size(); ++r) {
        m.SetItemText(r, 0, texts[r]);
        m.SetItemText(r, 1, QString::number(r));  // remembers where each row came from
    }
    return m;
}

}  // namespace

TEST(GridModelTest, NewCellsInheritTheFormatOfTheCellAbove) {
    GridModel m;
    m.SetColumnCount(3);
    m.SetRowCount(2);
    EXPECT_EQ(m.GetItemFormat(0, 0), 0u);
    m.SetItemFormat(1, 0, DT_SINGLELINE | DT_VCENTER);
    m.SetItemFormat(1, 2, DT_RIGHT);
    ASSERT_TRUE(m.SetRowCount(5));  // several rows at once: the last old row propagates down
    for (int r = 2; r < 5; ++r) {
        EXPECT_EQ(m.GetItemFormat(r, 0), DT_SINGLELINE | DT_VCENTER) << r;
        EXPECT_EQ(m.GetItemFormat(r, 1), 0u) << r;
        EXPECT_EQ(m.GetItemFormat(r, 2), DT_RIGHT) << r;
    }
    // New cells start otherwise blank, with the default font.
    EXPECT_EQ(m.GetItemImage(4, 0), -1);
    EXPECT_EQ(m.GetItemBkColour(4, 0), kGridDefaultColour);
    EXPECT_EQ(m.GetItemFgColour(4, 0), kGridDefaultColour);
    EXPECT_EQ(m.GetItemFont(4, 0), m.GetDefaultFont());
    // A new column starts at format 0 in row 0 and so in every row below it.
    m.SetColumnCount(4);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(m.GetItemFormat(r, 3), 0u);
    EXPECT_EQ(m.GetRowHeight(4), m.GetDefaultRowHeight());
    EXPECT_EQ(m.GetColumnWidth(3), m.GetDefaultColumnWidth());
}

TEST(GridModelTest, ShrinkingBelowTheFixedCountLowersIt) {
    GridModel m;
    ASSERT_TRUE(m.SetFixedRowCount(3));  // grows the store to hold them
    EXPECT_EQ(m.GetRowCount(), 3);
    ASSERT_TRUE(m.SetFixedColumnCount(2));
    EXPECT_EQ(m.GetColumnCount(), 2);
    m.SetRowCount(1);
    m.SetColumnCount(0);
    EXPECT_EQ(m.GetFixedRowCount(), 1);
    EXPECT_EQ(m.GetFixedColumnCount(), 0);
    EXPECT_FALSE(m.SetRowCount(-1));
    EXPECT_FALSE(m.SetFixedRowCount(-2));
    EXPECT_EQ(m.GetRowCount(), 1);
    m.SetColumnCount(2);
    m.DeleteAllItems();
    EXPECT_EQ(m.GetRowCount() + m.GetColumnCount() + m.GetFixedRowCount(), 0);
    EXPECT_EQ(m.GetTotalHeight(), 0);
}

TEST(GridModelTest, SelectedMapFollowsTheStateBit) {
    GridModel m;
    m.SetColumnCount(3);
    m.SetRowCount(4);
    m.SetItemState(1, 1, GVIS_SELECTED);
    m.SetItemState(1, 1, GVIS_SELECTED | GVIS_READONLY);  // already selected: no second entry
    m.SetItemState(2, 2, GVIS_SELECTED);
    m.SetItemState(3, 0, GVIS_SELECTED);
    EXPECT_EQ(m.GetSelectedCount(), 3);
    EXPECT_EQ(m.GetSelectionBounds(), CCellRange(1, 0, 3, 2));

    m.SetItemState(2, 2, GVIS_READONLY);  // cleared
    EXPECT_FALSE(m.IsCellSelected(2, 2));
    GridItem item;
    item.row = 3;
    item.col = 0;
    item.mask = GVIF_STATE;
    item.state = 0;
    m.SetItem(item);  // through SetItem too
    EXPECT_EQ(m.GetSelectedCount(), 1);

    m.SetItemState(3, 2, GVIS_SELECTED);
    m.SetRowCount(2);     // deleting a selected cell drops it
    m.SetColumnCount(1);  // and so does losing its column
    EXPECT_EQ(m.GetSelectedCount(), 0);
    EXPECT_FALSE(m.GetSelectionBounds().IsValid());
}

TEST(GridModelTest, InvalidCellsAnswerNeutrally) {
    GridModel m;
    m.SetColumnCount(2);
    m.SetRowCount(2);
    for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}, {INT_MAX, INT_MIN}}) {
        EXPECT_FALSE(m.SetItemText(r, c, "x"));
        EXPECT_FALSE(m.SetItemState(r, c, GVIS_SELECTED));
        EXPECT_FALSE(m.SetItemBkColour(r, c, 1));
        EXPECT_FALSE(m.SetItemFont(r, c, QFont()));
        EXPECT_EQ(m.GetItemText(r, c), QString());
        EXPECT_EQ(m.GetItemState(r, c), 0u);
        EXPECT_EQ(m.GetItemFormat(r, c), 0u);
        EXPECT_EQ(m.GetItemImage(r, c), -1);
        EXPECT_EQ(m.GetItemBkColour(r, c), 0u);
        EXPECT_EQ(m.GetItemFgColour(r, c), 0u);
        EXPECT_EQ(m.GetItemFont(r, c), m.GetDefaultFont());
        GridItem item;
        item.row = r;
        item.col = c;
        item.mask = 0xFF;
        EXPECT_FALSE(m.SetItem(item));
        EXPECT_FALSE(m.GetItem(item));
    }
    EXPECT_EQ(m.GetSelectedCount(), 0);
    EXPECT_EQ(m.GetRowHeight(-1), -1);
    EXPECT_EQ(m.GetColumnWidth(2), -1);
    EXPECT_FALSE(m.AutoSizeColumn(5, m.ExtentsOf(FixedTextMetrics())));
    EXPECT_FALSE(m.AutoSizeRow(-1, m.ExtentsOf(FixedTextMetrics())));
}

TEST(GridModelTest, SizesRefuseNegativeValuesAndKeepTheirSums) {
    GridModel m;
    m.SetColumnCount(3);
    m.SetRowCount(4);
    m.SetFixedRowCount(1);
    m.SetFixedColumnCount(1);
    m.SetRowHeight(0, 20);
    m.SetRowHeight(2, 5);
    EXPECT_FALSE(m.SetRowHeight(2, -1));
    EXPECT_EQ(m.GetRowHeight(2), 5);
    EXPECT_FALSE(m.SetColumnWidth(3, 10));
    m.SetColumnWidth(0, 50);
    EXPECT_EQ(m.GetFixedRowHeight(), 20);
    EXPECT_EQ(m.GetFixedColumnWidth(), 50);
    EXPECT_EQ(m.GetTotalHeight(), 20 + 10 + 5 + 10);
    EXPECT_EQ(m.GetTotalWidth(), 50 + 30 + 30);
}

TEST(GridModelTest, FontChangeOverwritesCellFontsAndRecomputesDefaults) {
    GridModel m;
    m.SetColumnCount(2);
    m.SetRowCount(2);
    QFont italic("DejaVu Sans", 9);
    italic.setItalic(true);
    m.SetItemFont(1, 1, italic);
    m.SetColumnWidth(0, 77);

    QFont grid("DejaVu Sans", 12);
    m.SetFont(grid, FixedTextMetrics());
    EXPECT_EQ(m.GetItemFont(1, 1), grid);
    EXPECT_EQ(m.GetItemFont(0, 0), grid);
    EXPECT_EQ(m.GetMargin(), 3);
    EXPECT_EQ(m.GetDefaultRowHeight(), 13 + 2 + 2 * 3);
    EXPECT_EQ(m.GetDefaultColumnWidth(), 12 * 7 + 2 * 3);
    EXPECT_EQ(m.GetColumnWidth(0), 77);  // existing sizes stay
    m.SetRowCount(3);
    EXPECT_EQ(m.GetRowHeight(2), 21);
    EXPECT_EQ(m.GetItemFont(2, 0), grid);
}

TEST(GridModelTest, AutoSizeMeasuresFixedCellsSemiBoldWithMarginsAndImages) {
    FixedTextMetrics metrics;
    GridModel m;
    m.SetFont(QFont("DejaVu Sans", 10), metrics);  // margin 3
    m.SetColumnCount(2);
    m.SetRowCount(3);
    m.SetFixedRowCount(1);
    m.SetItemText(0, 0, "PID");       // fixed: 3 * 8 + 12 = 36
    m.SetItemText(1, 0, "12345");     // 5 * 7 + 12 = 47
    m.SetItemText(2, 1, "a\nbb\nc");  // 2 * 7 + 12 = 26 wide, 3 * 13 + 6 = 45 high
    m.SetImageSizes({QSize(16, 30)});
    m.SetItemImage(1, 1, 0);  // empty text: 12 + 16 + 1 = 29 wide, max(6, 31) high
    m.SetItemImage(2, 0, 7);  // no such image: ignored

    m.AutoSize(m.ExtentsOf(metrics));
    EXPECT_EQ(m.GetColumnWidth(0), 47);
    EXPECT_EQ(m.GetColumnWidth(1), 29);
    EXPECT_EQ(m.GetRowHeight(0), 19);
    EXPECT_EQ(m.GetRowHeight(1), 31);
    EXPECT_EQ(m.GetRowHeight(2), 45);

    m.SetItemText(0, 0, "PIDPIDPID");  // 72 + 12
    EXPECT_TRUE(m.AutoSizeColumn(0, m.ExtentsOf(metrics)));
    EXPECT_EQ(m.GetColumnWidth(0), 84);
    m.SetItemText(1, 1, "x\ny");
    EXPECT_TRUE(m.AutoSizeRow(1, m.ExtentsOf(metrics)));
    EXPECT_EQ(m.GetRowHeight(1), 32);
}

TEST(GridModelTest, SortIsCaseBlindAndKeepsTheSelectionSortOrderOfEqualKeys) {
    GridModel asc = ModelWithColumn({"b", "A", "a", "C"});
    asc.SetItemBkColour(1, 0, 0x123456);
    asc.SetRowHeight(1, 40);
    ASSERT_TRUE(asc.SortTextItems(0, true, 0, -1));
    EXPECT_EQ(ColumnTexts(asc, 0), QStringList({"A", "a", "b", "C"}));
    EXPECT_EQ(ColumnTexts(asc, 1), QStringList({"1", "2", "0", "3"}));
    EXPECT_EQ(asc.GetItemBkColour(0, 0), 0x123456u);  // attributes and heights move along
    EXPECT_EQ(asc.GetRowHeight(0), 40);

    GridModel desc = ModelWithColumn({"b", "A", "a", "C"});
    ASSERT_TRUE(desc.SortTextItems(0, false, 0, -1));
    EXPECT_EQ(ColumnTexts(desc, 0), QStringList({"C", "b", "a", "A"}));

    // A span leaves the rows outside it alone.
    GridModel span = ModelWithColumn({"z", "c", "b", "a", "0"});
    ASSERT_TRUE(span.SortTextItems(0, true, 1, 4));
    EXPECT_EQ(ColumnTexts(span, 0), QStringList({"z", "a", "b", "c", "0"}));
}

TEST(GridModelTest, SortRefusals) {
    GridModel m = ModelWithColumn({"b", "a"});
    EXPECT_FALSE(m.SortTextItems(2, true, 0, -1));
    EXPECT_FALSE(m.SortTextItems(-1, true, 0, -1));
    EXPECT_FALSE(m.SortTextItems(0, true, 1, 1));
    EXPECT_FALSE(m.SortTextItems(0, true, 2, -1));
    EXPECT_FALSE(m.SortTextItems(0, true, 0, 3));
    EXPECT_FALSE(m.SortTextItems(0, true, -1, 2));
    EXPECT_EQ(ColumnTexts(m, 0), QStringList({"b", "a"}));
}

// The sort replays a selection sort quickly; it must leave equal keys exactly where the
// plain selection sort would, whatever the mix of duplicates.
TEST(GridModelTest, SortMatchesAPlainSelectionSortOnRandomDuplicates) {
    auto selectionSort = [](QStringList texts, bool ascending) {
        QStringList order;
        for (int i = 0; i < texts.size(); ++i) order << QString::number(i);
        for (int p = 0; p < texts.size(); ++p) {
            QString best = GridModel::FoldForSort(texts[p]);
            int bestRow = -1;
            for (int i = p + 1; i < texts.size(); ++i) {
                const QString t = GridModel::FoldForSort(texts[i]);
                if (ascending ? best > t : best < t) {
                    best = t;
                    bestRow = i;
                }
            }
            if (bestRow >= 0) {
                texts.swapItemsAt(p, bestRow);
                order.swapItemsAt(p, bestRow);
            }
        }
        return order;
    };
    QRandomGenerator rng(42);
    const QStringList alphabet = {"a", "A", "b", "B", "_", "1", "ab", "aB", ""};
    for (int round = 0; round < 40; ++round) {
        QStringList texts;
        const int n = 1 + int(rng.bounded(60));
        for (int i = 0; i < n; ++i) texts << alphabet[int(rng.bounded(alphabet.size()))];
        for (bool ascending : {true, false}) {
            GridModel m = ModelWithColumn(texts);
            ASSERT_TRUE(m.SortTextItems(0, ascending, 0, -1));
            ASSERT_EQ(ColumnTexts(m, 1), selectionSort(texts, ascending))
                << texts.join(',').toStdString();
        }
    }
}

TEST(GridModelTest, ModifiedFlags) {
    GridModel m;
    m.SetColumnCount(3);
    m.SetRowCount(3);
    m.SetModified(true, 2, 1);
    EXPECT_TRUE(m.GetItemState(2, 1) & GVIS_MODIFIED);
    EXPECT_TRUE(m.GetModified());
    m.SetModified(true, 0, 0);  // row and column 0 are cells like any other
    EXPECT_TRUE(m.GetItemState(0, 0) & GVIS_MODIFIED);
    m.SetModified(false, 2, 1);
    EXPECT_FALSE(m.GetItemState(2, 1) & GVIS_MODIFIED);
    EXPECT_TRUE(m.GetItemState(0, 0) & GVIS_MODIFIED);
    m.SetModified(false);  // the grid is no longer modified: no cell is
    EXPECT_FALSE(m.GetItemState(0, 0) & GVIS_MODIFIED);

    m.SetItemState(1, 1, GVIS_READONLY);
    EXPECT_FALSE(m.IsCellEditable(true, 1, 1));
    EXPECT_TRUE(m.IsCellEditable(true, 1, 2));
    EXPECT_FALSE(m.IsCellEditable(false, 1, 2));
    EXPECT_FALSE(m.IsCellEditable(true, 3, 0));
}
