#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsView>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>

#include "MonitorFixture.h"
#include "PdfText.h"
#include "controls/ViewPrintPreview.h"
#include "platform/PrinterChooser.h"

// Printing the login matrix from the File menu to a PDF file, read back with poppler, and
// the print preview beside the running monitor.
namespace {

using Dlg = CQuandrixDlg;

class MonitorPrintTest : public MonitorFixture {
protected:
    void SetUp() override {
        MonitorFixture::SetUp();
        printers.pdfPath = broker.Root() + QStringLiteral("/matrix.pdf");
    }

    void CreateSessions(int sessions) {
        broker.Sim({QStringLiteral("create"), QString::fromLatin1(SimBroker::kBroker),
                    QStringLiteral("--users"), QStringLiteral("40"), QStringLiteral("--sessions"),
                    QString::number(sessions), QStringLiteral("--stale"), QStringLiteral("0"),
                    QStringLiteral("--admin"), QString::fromLatin1(SimBroker::kAdmin),
                    QStringLiteral("--password"), QString::fromLatin1(SimBroker::kPassword),
                    QStringLiteral("--replace")});
        // Sessions are dated up to the real today; the window's clock goes along.
        clock.Set(QDateTime::currentDateTime());
    }

    QMenu* FileMenu() { return window->menuBar()->findChildren<QMenu*>().value(0); }
    QAction* FileAction(const QString& text) {
        for (QAction* a : FileMenu()->actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    void Print() { FileAction(QStringLiteral("&Print...\tCtrl+P"))->trigger(); }

    // The page count by the rule, from the printer's own page and font measures: the grid
    // is as wide as the page less four average characters each side; what is left of the
    // page's height below header, headings and footer holds rows until they overflow it.
    int PagesByTheRule() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QFont font(QStringLiteral("Times New Roman"));
        font.setStyleHint(QFont::Serif);
        font.setPixelSize(9);
        const QFontMetrics fm(font, &printer);
        const int cw = fm.horizontalAdvance(
                           QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXY")) /
                       52;
        const int lw = int(Grid().GetTotalWidth()) + 8 * cw;
        const int lh = int((qint64(lw) * printer.height() * 2 + printer.width()) /
                           (2 * qint64(printer.width())));
        const int space = lh - 6 * fm.height() - Grid().GetFixedRowHeight();
        int pages = 1, sum = 0;
        for (int row = Grid().GetFixedRowCount(); row < Grid().GetRowCount(); ++row) {
            sum += Grid().GetRowHeight(row);
            if (sum > space) ++pages, sum = Grid().GetRowHeight(row);
        }
        return pages;
    }

    // Each session's pid is printed once: as often across the pages as sessions carry it.
    void ExpectEverySessionPrintedOnce(const QStringList& pages) {
        QMap<QString, int> printed;
        for (const QString& page : pages)
            for (const QString& line : page.split(QLatin1Char('\n'))) {
                if (line.contains(QLatin1String("Page "))) continue;  // the footer's date
                for (const QString& token : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    ++printed[token];
            }
        QMap<QString, int> sessions;
        for (const auto& [key, record] : window->Engine().MatrixMap()) ++sessions[record.Pid];
        ASSERT_FALSE(sessions.isEmpty());
        for (auto it = sessions.cbegin(); it != sessions.cend(); ++it)
            ASSERT_EQ(printed.value(it.key()), it.value()) << "pid " << it.key().toStdString();
    }

    void ExpectPageFrame(const QString& page, int number, int count) {
        EXPECT_TRUE(page.contains(QLatin1String("VezAvazaz"))) << page.toStdString();
        for (int col = 0; col < Grid().GetColumnCount(); ++col)
            EXPECT_TRUE(page.contains(Grid().GetItemText(0, col).trimmed())) << col;
        EXPECT_TRUE(page.contains(QStringLiteral("Page %1 of %2").arg(number).arg(count)))
            << page.toStdString();
    }

    // Dark lines across a third of the page's width, and down a tenth of its height.
    struct Lines {
        int horizontal = 0;
        int vertical = 0;
    };
    Lines LongLines(int page) {
        const QImage image =
            PdfText::Render(printers.pdfPath, page, broker.Root() + QStringLiteral("/page"))
                .convertToFormat(QImage::Format_Grayscale8);
        const auto dark = [&image](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
        // Runs of neighbouring pixel lines that are each dark over more than `least`.
        const auto count = [](int n, int length, int least, auto isDark) {
            int found = 0;
            bool previous = false;
            for (int i = 0; i < n; ++i) {
                int d = 0;
                for (int j = 0; j < length; ++j) d += isDark(i, j) ? 1 : 0;
                const bool line = d > least;
                if (line && !previous) ++found;
                previous = line;
            }
            return found;
        };
        const int w = image.width(), h = image.height();
        return {count(h, w, w / 3, [&](int y, int x) { return dark(x, y); }),
                count(w, h, h / 10, [&](int x, int y) { return dark(x, y); })};
    }
};

TEST_F(MonitorPrintTest, PrintsTheMatrixFromTheFileMenuToAPdfFile) {
    StoreProfile();
    Open();
    QStringList items;
    for (QAction* a : FileMenu()->actions()) items << a->text();
    EXPECT_EQ(items, (QStringList{"&Print...\tCtrl+P", "Print Pre&view...", "P&rint Setup...", "",
                                  "&History...", "", "E&xit"}));

    // No printer chosen yet: the set-up comes first, and cancelling it cancels the print.
    printers.accept = false;
    Print();
    EXPECT_EQ(printers.calls, 1);
    EXPECT_FALSE(QFileInfo::exists(printers.pdfPath));
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // The empty matrix: one page with the title, the headings and the footer.
    printers.accept = true;
    Print();
    EXPECT_EQ(printers.calls, 2);
    ASSERT_EQ(PdfText::Pages(printers.pdfPath), 1);
    ExpectPageFrame(PdfText::Page(printers.pdfPath, 1), 1, 1);

    // One session, then forty: the chosen printer is kept, the rule gives the pages.
    for (int sessions : {1, 40}) {
        CreateSessions(sessions);
        window->OnScanOn();
        ASSERT_FALSE(window->Engine().MatrixMap().IsEmpty());
        QFile::remove(printers.pdfPath);
        Print();
        EXPECT_EQ(printers.calls, 2);
        const int pages = PagesByTheRule();
        ASSERT_EQ(PdfText::Pages(printers.pdfPath), pages);
        const QStringList text = PdfText::AllPages(printers.pdfPath);
        ASSERT_EQ(text.size(), pages);
        ExpectPageFrame(text.first(), 1, pages);
        ExpectEverySessionPrintedOnce(text);
    }

    // Grid lines as the mode says; the header and footer rules and the headings' borders
    // stay in every mode.
    Grid().SetGridLines(3);
    Print();
    const Lines both = LongLines(1);
    Grid().SetGridLines(0);
    Print();
    const Lines none = LongLines(1);
    EXPECT_GE(both.horizontal - none.horizontal, Grid().GetRowCount() - 1);
    EXPECT_GE(both.vertical, Grid().GetColumnCount());
    EXPECT_GE(none.horizontal, 2);
    EXPECT_LE(none.horizontal, 4);
    EXPECT_EQ(none.vertical, 0);

    // A printer that cannot start: a clear message, nothing written, scanning goes on.
    printers.pdfPath = broker.Root() + QStringLiteral("/no such folder/matrix.pdf");
    FileAction(QStringLiteral("P&rint Setup..."))->trigger();
    EXPECT_EQ(printers.calls, 3);
    EXPECT_TRUE(printers.openedOnFile.endsWith(QLatin1String("/matrix.pdf")));
    Print();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Warning);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("Failed to start printing on \"") +
                                          printers.pdfPath +
                                          QStringLiteral("\". Nothing was printed."));
    EXPECT_FALSE(QFileInfo::exists(printers.pdfPath));
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
}

TEST_F(MonitorPrintTest, TenThousandSessionsPrintAndPreviewPageByPage) {
    CreateSessions(10000);
    StoreProfile();
    Open();
    ASSERT_GT(Grid().GetRowCount(), 3000);
    printers.accept = true;
    Print();
    const int pages = PagesByTheRule();
    ASSERT_GT(pages, 10);
    ASSERT_EQ(PdfText::Pages(printers.pdfPath), pages);
    const QStringList text = PdfText::AllPages(printers.pdfPath);
    ASSERT_EQ(text.size(), pages);
    ExpectPageFrame(text.first(), 1, pages);
    ExpectPageFrame(text.last(), pages, pages);
    ExpectEverySessionPrintedOnce(text);

    // The preview shows the same pages.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    FileAction(QStringLiteral("Print Pre&view..."))->trigger();
    CViewPrintPreview* preview = Grid().Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("Print Preview"));
    EXPECT_EQ(preview->PageCount(), pages);

    // A second request brings the same window forward.
    window->activateWindow();
    FileAction(QStringLiteral("Print Pre&view..."))->trigger();
    EXPECT_EQ(Grid().Preview(), preview);
    EXPECT_EQ(window->findChildren<CViewPrintPreview*>().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == preview; }, kWaitMs));

    // Closing it brings the monitor back.
    preview->CloseAction()->trigger();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }, kWaitMs));
    EXPECT_FALSE(Grid().IsPreviewActive());
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));

    // The preview's own Print closes it and prints as the monitor's Print does.
    QFile::remove(printers.pdfPath);
    FileAction(QStringLiteral("Print Pre&view..."))->trigger();
    ASSERT_NE(Grid().Preview(), nullptr);
    Grid().Preview()->PrintAction()->trigger();
    EXPECT_FALSE(Grid().IsPreviewActive());
    EXPECT_EQ(PdfText::Pages(printers.pdfPath), pages);
    EXPECT_EQ(printers.calls, 1);
    EXPECT_EQ(Text(Dlg::IDC_STATUS), QStringLiteral("\nScanning"));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

// Print Setup keeps the printer and its settings, never a page range: none is offered.
TEST(PrintSetupTest, OffersNoPageRange) {
    QPrinter printer;
    bool rangeHidden = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        rangeHidden = dialog->findChild<QWidget*>(QStringLiteral("gbPrintRange"))->isHidden();
        dialog->close();
    });
    DialogPrinterChooser().ChoosePrinter(nullptr, printer);
    EXPECT_TRUE(rangeHidden);
}

// The preview opens at least as large as the monitor window (within the screen), even where
// nothing maximises it, at the top of its first page, shown whole, with the tool bar's
// buttons; paging keeps them right, and scanning goes on while it is open.
TEST_F(MonitorPrintTest, ThePreviewOpensLargeOnItsFirstPageWholeAndScanningGoesOn) {
    CreateSessions(300);
    StoreProfile(1);
    Open();
    window->show();
    FileAction(QStringLiteral("Print Pre&view..."))->trigger();
    CViewPrintPreview* preview = Grid().Preview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
    const QRect room = preview->screen()->availableGeometry();
    const QRect shown = preview->frameGeometry();
    EXPECT_TRUE(room.contains(shown));
    EXPECT_EQ(shown.size().expandedTo(window->frameGeometry().size().boundedTo(room.size())),
              shown.size());
    EXPECT_EQ(preview->PreviewWidget()->zoomMode(), QPrintPreviewWidget::FitInView);
    const QScrollBar* vertical = preview->findChild<QGraphicsView*>()->verticalScrollBar();
    EXPECT_EQ(vertical->value(), vertical->minimum()) << "at the top";
    const QList<QAction*> bar = preview->findChild<QToolBar*>()->actions();
    QStringList buttons;
    for (QAction* a : bar) buttons.append(a->text());
    EXPECT_EQ(buttons, (QStringList{"&Print...", "&Next Page", "Pre&v Page", "&Two Page",
                                    "Zoom &In", "Zoom &Out", "&Close"}));
    const auto paging = [&] {
        return std::tuple(preview->CurrentPage(), bar[1]->isEnabled(), bar[2]->isEnabled());
    };
    EXPECT_EQ(paging(), std::tuple(1, true, false)) << "page, Next Page, Prev Page";
    QTest::keyClick(preview, Qt::Key_PageDown);
    EXPECT_EQ(paging(), std::tuple(2, false, true));

    // A session that logs on meanwhile is scanned in.
    EXPECT_EQ(Text(CQuandrixDlg::IDC_STATUS), QStringLiteral("\nScanning"));
    broker.AddUser(QStringLiteral("zed"));
    LogOn("zed", "PC99", "99999", "2017/11/02 09:01:00");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Grid().GetItemText(1, 0) == "99999"; }, kWaitMs));
}

}  // namespace
