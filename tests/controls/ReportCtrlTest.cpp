#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "controls/ReportCtrl.h"

namespace {

QStringList Column0(const CReportCtrl& list) {
    QStringList texts;
    for (int row = 0; row < list.GetItemCount(); ++row) texts.append(list.GetItemText(row, 0));
    return texts;
}

void ClickHeader(CReportCtrl& list, int column) {
    QHeaderView* header = list.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST(ReportCtrlTest, ColumnsSortByKindAndHeaderClicksReverse) {
    CReportCtrl list;
    ASSERT_TRUE(list.SetColumnHeader(QStringLiteral("Email address, 292;")));
    EXPECT_EQ(list.GetColumnCount(), 1);
    EXPECT_EQ(list.columnWidth(0), 292);
    EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Email address"));
    EXPECT_EQ(list.InsertItem(0, QStringLiteral("x")), 0);

    // Two definitions, centred and right-aligned; replacing the columns drops the rows.
    ASSERT_TRUE(list.SetColumnHeader(QStringLiteral("Pid,  60, 1;;Share, , 2;")));
    EXPECT_EQ(list.GetItemCount(), 0);
    ASSERT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(list.columnWidth(0), 60);
    EXPECT_EQ(list.columnWidth(1), 100);
    const auto alignment = [&](int column) {
        return list.model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(0), Qt::AlignHCenter);
    EXPECT_EQ(alignment(1), Qt::AlignRight);
    EXPECT_FALSE(list.SetColumnHeader(QStringLiteral(";;")));
    EXPECT_EQ(list.InsertItem(0, QStringLiteral("x")), -1) << "no columns, no rows";

    list.SetColumnHeader(QStringLiteral("Value;"));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy sorted(&list, &CReportCtrl::Sorted);

    // Hexadecimal when every text is one.
    for (const char* text : {"10", "A0", "9"}) list.InsertItem(0, QString::fromLatin1(text));
    list.SetItemSelected(1, true);  // "A0"
    ClickHeader(list, 0);
    EXPECT_EQ(Column0(list), (QStringList{"9", "10", "A0"}));
    EXPECT_TRUE(list.IsItemSelected(2)) << "the selection moves with its row";
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_SELECTED), 1);
    ClickHeader(list, 0);
    EXPECT_EQ(Column0(list), (QStringList{"A0", "10", "9"}));
    ClickHeader(list, 0);
    EXPECT_EQ(Column0(list), (QStringList{"9", "10", "A0"}));
    ASSERT_EQ(sorted.size(), 3);
    EXPECT_EQ(sorted[1], (QList<QVariant>{0, false}));

    // Decimal numbers, a percent sign allowed; then text, capitals first.
    list.DeleteAllItems();
    for (const char* text : {"12.5%", "-3", "2.25%", "1e1"}) list.InsertItem(0, text);
    list.SortItems(0);
    EXPECT_EQ(Column0(list), (QStringList{"-3", "2.25%", "1e1", "12.5%"}));
    list.DeleteAllItems();
    for (const char* text : {"bob@x.org", "Zoe@x.org", "ann@x.org", "Ann@x.org", ""})
        list.InsertItem(0, text);
    list.SortItems(0);
    EXPECT_EQ(Column0(list), (QStringList{"", "Ann@x.org", "Zoe@x.org", "ann@x.org", "bob@x.org"}));
    EXPECT_LT(CReportCtrl::CompareItemTexts(QStringLiteral("ff"), QStringLiteral("100")), 0);
    EXPECT_EQ(CReportCtrl::CompareItemTexts(QStringLiteral("0A"), QStringLiteral("a")), 0);
}

TEST(ReportCtrlTest, SpaceLeavesTheBoxAndAClickOnItTogglesAndSelectsItsRow) {
    CReportCtrl list;
    list.SetColumnHeader(QStringLiteral("Email address, 292;"));
    list.SetGridLines(true);
    list.SetCheckboxMode(CReportCtrl::RC_CHKBOX_NORMAL);
    for (const char* text : {"c@x", "b@x", "a@x"}) list.InsertItem(0, text);
    list.SetCheck(2, true);
    list.resize(400, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy changed(&list, &CReportCtrl::CheckChanged);

    // Select rows 0 and 2, focus row 1; Space changes nothing.
    list.SetItemSelected(0, true);
    list.SetItemSelected(2, true);
    list.selectionModel()->setCurrentIndex(list.model()->index(1, 0),
                                           QItemSelectionModel::NoUpdate);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_FALSE(list.GetCheck(1));
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_CHECKED), 1);
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_SELECTED | CReportCtrl::RC_ITEM_CHECKED), 1);
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_FOCUSED | CReportCtrl::RC_ITEM_UNSELECTED), 1);

    // A click on row 1's box ticks it and makes it the only selected row.
    const QRect cell = list.visualRect(list.model()->index(1, 0));
    const int indicator = list.style()->pixelMetric(QStyle::PM_IndicatorWidth);
    const QPoint box(cell.left() + 3 + indicator / 2, cell.center().y());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box);
    EXPECT_TRUE(list.GetCheck(1));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 1);
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_SELECTED), 1);
    EXPECT_TRUE(list.IsItemSelected(1));
    // A click on the text beside the box selects without ticking.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      QPoint(cell.center().x(), cell.center().y()));
    EXPECT_TRUE(list.GetCheck(1));
    EXPECT_EQ(changed.size(), 1);

    EXPECT_EQ(list.DeleteAllItems(CReportCtrl::RC_ITEM_CHECKED), 2);
    EXPECT_EQ(Column0(list), QStringList{"a@x"});
    EXPECT_FALSE(list.GetCheck(0));
}

}  // namespace
