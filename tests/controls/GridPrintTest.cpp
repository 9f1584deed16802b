#include <gtest/gtest.h>

#include <QBuffer>
#include <QDataStream>
#include <QPageLayout>
#include <QPrinter>

#include "controls/GridPrintLayout.h"
#include "controls/GridSizeList.h"
#include "controls/PrinterDef.h"

namespace {

GridSizeList Heights(std::initializer_list<int> sizes) {
    GridSizeList list;
    for (int h : sizes) {
        list.Resize(list.Count() + 1, h);
    }
    return list;
}

using Rows = std::pair<int, int>;
Rows RowsOf(const GridPrintLayout& layout, int page) {
    const GridPrintLayout::Rows r = layout.RowsOfPage(page);
    return {r.first, r.end};
}

}  // namespace

// Page counts worked out by hand. cw 5, ch 10, a 200-pixel grid on a 1000 x 1414 page:
// LW = 200 + 8 x 5 = 240, LH = 240 x 1414 / 1000 = 339.36 -> 339, and with a 20-pixel
// heading row S = 339 - 6 x 10 - 20 = 259.
TEST(GridPrintLayoutTest, PagesFollowTheRowSpaceAndATallRowGetsAnEmptyPageOfItsOwn) {
    const GridPrintMetrics metrics{5, 10, 1000, 1414};

    // Ten 50-pixel rows: five fit (250), the sixth would make 300.
    GridSizeList rows = Heights({20, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50});
    GridPrintLayout ten(rows, 1, 200, 20, metrics);
    EXPECT_EQ(ten.LogicalWidth(), 240);
    EXPECT_EQ(ten.LogicalHeight(), 339);
    EXPECT_EQ(ten.RowSpace(), 259);
    EXPECT_EQ(ten.PageCount(), 2);
    EXPECT_EQ(RowsOf(ten, 1), Rows(1, 6));
    EXPECT_EQ(RowsOf(ten, 2), Rows(6, 11));

    // A 300-pixel row, taller than the space, then one more 50: the tall row starts page 3,
    // where it does not fit, and the last row goes on page 4.
    GridSizeList tall = Heights({20, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 300, 50});
    GridPrintLayout withTall(tall, 1, 200, 20, metrics);
    EXPECT_EQ(withTall.PageCount(), 4);
    EXPECT_EQ(RowsOf(withTall, 3), Rows(11, 11));
    EXPECT_EQ(RowsOf(withTall, 4), Rows(12, 13));

    // A tall first row: page 1 holds nothing, page 2 only that row, which does not print.
    GridSizeList tallFirst = Heights({20, 260});
    GridPrintLayout first(tallFirst, 1, 200, 20, metrics);
    EXPECT_EQ(first.PageCount(), 2);
    EXPECT_EQ(RowsOf(first, 1), Rows(1, 1));
    EXPECT_EQ(RowsOf(first, 2), Rows(1, 1));

    // A row exactly as tall as the space fits; only the heading row: one page, no rows.
    GridSizeList exact = Heights({20, 259});
    EXPECT_EQ(GridPrintLayout(exact, 1, 200, 20, metrics).PageCount(), 1);
    GridSizeList headingsOnly = Heights({20});
    GridPrintLayout empty(headingsOnly, 1, 200, 20, metrics);
    EXPECT_EQ(empty.PageCount(), 1);
    EXPECT_EQ(RowsOf(empty, 1), Rows(1, 1));

    // The logical height rounds halves up: 240 x 1001 / 480 = 500.5.
    EXPECT_EQ(GridPrintLayout(rows, 1, 200, 20, GridPrintMetrics{5, 10, 480, 1001}).LogicalHeight(),
              501);
}

// The chosen printer survives the archive and gives a new printer the same output.
TEST(PrinterDefTest, TheChoiceRoundTripsThroughTheArchiveAndConfiguresAPrinter) {
    CPrinterDef none;
    EXPECT_EQ(none.GetDeviceName(), QStringLiteral("< none >"));
    EXPECT_EQ(none.GetDriverName(), QString());
    EXPECT_EQ(none.GetPortName(), QString());

    QPrinter chosen(QPrinter::HighResolution);
    chosen.setOutputFormat(QPrinter::PdfFormat);
    chosen.setOutputFileName(QStringLiteral("/tmp/matrix \u00e9.pdf"));
    chosen.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                     QMarginsF(7, 8, 9, 10), QPageLayout::Millimeter));
    CPrinterDef def;
    def.Capture(chosen);
    EXPECT_EQ(def.GetDriverName(), QStringLiteral("PDF"));
    EXPECT_EQ(def.GetPortName(), QStringLiteral("/tmp/matrix \u00e9.pdf"));

    QByteArray archive;
    {
        QDataStream out(&archive, QIODevice::WriteOnly);
        def.Serialize(out);
    }
    // Lengths first, then the bytes, for each block.
    QDataStream in(archive);
    CPrinterDef restored;
    restored.Deserialize(in);
    EXPECT_EQ(restored.DevNames(), def.DevNames());
    EXPECT_EQ(restored.DevMode(), def.DevMode());

    QPrinter printer(QPrinter::HighResolution);
    restored.Configure(printer);
    EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(printer.outputFileName(), QStringLiteral("/tmp/matrix \u00e9.pdf"));
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A5);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);

    // An archive that claims more than it holds leaves the object as it was.
    QByteArray damaged;
    {
        QDataStream out(&damaged, QIODevice::WriteOnly);
        out << quint32(1u << 30);
    }
    QDataStream bad(damaged);
    restored.Deserialize(bad);
    EXPECT_EQ(restored.DevNames(), def.DevNames());
}
