#include <gtest/gtest.h>

#include "controls/GridOverlays.h"

TEST(GridOverlaysTest, ShowsInItsIntervalAndTheLastAddedWins) {
    GridOverlays o;
    o.Add(1, 2, {0x0000FF, 0xFFFFFF}, 100, 300);
    o.Add(1, 2, {0x00FF00, 0}, 200, 250);
    EXPECT_FALSE(o.At(1, 2, 99).has_value());
    EXPECT_EQ(o.At(1, 2, 100)->bk, 0x0000FFu);
    EXPECT_EQ(o.At(1, 2, 220)->bk, 0x00FF00u);
    EXPECT_EQ(o.At(1, 2, 250)->bk, 0x0000FFu);
    EXPECT_FALSE(o.At(1, 2, 300).has_value());
    EXPECT_FALSE(o.At(2, 1, 150).has_value());
    o.Add(3, 3, {}, 50, 50);  // empty interval: nothing
    EXPECT_FALSE(o.Has(3, 3));
}

TEST(GridOverlaysTest, AdvanceReportsChangedCellsAndDropsFinishedOverlays) {
    GridOverlays o;
    o.Add(0, 0, {1, 2}, 0, 100);
    o.Add(5, 1, {1, 2}, 200, 300);  // a delayed one: an "on" phase of a blink
    EXPECT_EQ(o.NextChange(), 0);
    EXPECT_EQ(o.Advance(0), QList<CCellID>{CCellID(0, 0)});
    EXPECT_EQ(o.NextChange(), 100);
    EXPECT_TRUE(o.Advance(50).isEmpty());
    EXPECT_EQ(o.Advance(150), QList<CCellID>{CCellID(0, 0)});
    EXPECT_FALSE(o.Has(0, 0));
    EXPECT_TRUE(o.Has(5, 1));
    EXPECT_EQ(o.NextChange(), 200);
    o.Advance(1000);
    EXPECT_TRUE(o.IsEmpty());
    EXPECT_FALSE(o.NextChange().has_value());
}

TEST(GridOverlaysTest, PruneAndClear) {
    GridOverlays o;
    o.Add(1, 1, {}, 0, 10);
    o.Add(4, 1, {}, 0, 20);
    o.Add(1, 3, {}, 0, 30);
    o.Prune(3, 3);
    EXPECT_TRUE(o.Has(1, 1));
    EXPECT_FALSE(o.Has(4, 1));
    EXPECT_FALSE(o.Has(1, 3));
    EXPECT_EQ(o.NextChange(), 0);
    o.Advance(10);
    EXPECT_FALSE(o.NextChange().has_value());  // the pruned cells left no pending changes
    o.Add(2, 2, {}, 0, 10);
    o.Clear();
    EXPECT_TRUE(o.IsEmpty());
}
