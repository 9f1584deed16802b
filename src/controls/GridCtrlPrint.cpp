#include "controls/GridCtrl.h"

#include <QApplication>
#include <QMetaMethod>
#include <QPainter>
#include <QPrinter>
#include <QScopedValueRollback>
#include <ctime>

#include "controls/ViewPrintPreview.h"
#include "platform/MessageBoxPrompter.h"
#include "platform/PrinterChooser.h"

// CGridCtrl: printing, the printer set-up and the print preview.

// ---------------------------------------------------------------- printing

namespace {

// The printer font: a 9-unit serif; where Times New Roman is missing the closest installed
// serif stands in.
QFont MakePrinterFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(9);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// The sample the average character width is measured on: the first 52 of its characters.
constexpr char kWidthSample[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ";
constexpr int kWidthSampleLength = 52;

// The locale's representation of the local date and time.
QString LocalDateTimeText() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);  // one thread: the shared result is safe
    if (!local) return QString();
    char text[128];
    const size_t n = std::strftime(text, sizeof text, "%c", local);
    return QString::fromLocal8Bit(text, qsizetype(n));
}

}  // namespace

void CGridCtrl::SetPrintServices(Prompter* prompter, PrinterChooser* chooser) {
    m_prompter = prompter;
    m_printerChooser = chooser;
}

Prompter& CGridCtrl::PrintPrompter() {
    if (m_prompter) return *m_prompter;
    if (!m_ownPrompter) m_ownPrompter = std::make_unique<MessageBoxPrompter>(window());
    return *m_ownPrompter;
}

bool CGridCtrl::PrinterSetup() {
    if (!m_printerChooser && !m_ownPrinterChooser)
        m_ownPrinterChooser = std::make_unique<DialogPrinterChooser>();
    return m_printerDef.PrinterSetup(m_printerChooser ? *m_printerChooser : *m_ownPrinterChooser,
                                     window());
}

QString CGridCtrl::PrintTitle() const {
    return m_title.isEmpty() ? QGuiApplication::applicationDisplayName() : m_title;
}

bool CGridCtrl::Print() {
    if (!m_printerDef.HasDevNames() || !m_printerDef.HasDevMode()) {
        if (!PrinterSetup()) return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    m_printerDef.Configure(printer);
    printer.setDocName(PrintTitle());
    const QString where = printer.outputFormat() == QPrinter::PdfFormat
                              ? printer.outputFileName()
                              : m_printerDef.GetDeviceName();
    bool started = false;
    if (PrintJob(printer, false, &started)) return true;
    if (!started) {
        QApplication::beep();
        PrintPrompter().Warning(
            QStringLiteral("Failed to start printing on \"%1\". Nothing was printed.").arg(where));
    } else {
        PrintPrompter().Warning(
            QStringLiteral("Printing on \"%1\" failed. The job was abandoned.").arg(where));
    }
    return false;
}

bool CGridCtrl::PrintJob(QPrinter& printer, bool preview, bool* started) {
    if (started) *started = false;
    QPainter dc;
    if (!printer.isValid() || !dc.begin(&printer)) return false;
    if (started) *started = true;

    CPrintInfo info;
    info.preview = preview;
    info.drawRect = QRect(0, 0, printer.width(), printer.height());
    OnBeginPrinting(dc, info);
    // A device that cannot make copies itself gets them one after another.
    const int copies =
        preview || printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    bool ok = true;
    bool firstPage = true;
    for (int copy = 0; ok && copy < copies; ++copy) {
        for (int page = info.minPage; page <= info.maxPage; ++page) {
            if (!firstPage && !printer.newPage()) {
                ok = false;
                break;
            }
            firstPage = false;
            info.currentPage = page;
            OnPrint(dc, info);
        }
    }
    OnEndPrinting(dc, info);
    if (!ok) {
        printer.abort();
        dc.end();
        return false;
    }
    return dc.end() && printer.printerState() != QPrinter::Error;
}

void CGridCtrl::OnBeginPrinting(QPainter& dc, CPrintInfo& info) {
    if (!dc.isActive()) return;
    m_printerFont = MakePrinterFont();
    const QFontMetrics fm(m_printerFont, dc.device());
    m_printMetrics.charWidth =
        fm.horizontalAdvance(QString::fromLatin1(kWidthSample, kWidthSampleLength)) /
        kWidthSampleLength;
    m_printMetrics.charHeight = fm.height();
    m_printMetrics.pageWidth = dc.device()->width();
    m_printMetrics.pageHeight = dc.device()->height();
    // An empty matrix still prints one page: the header, the headings and the footer.
    m_printLayout.emplace(m_model.RowHeights(), GetFixedRowCount(), GetTotalWidth(),
                          GetFixedRowHeight(), m_printMetrics);
    info.minPage = 1;
    info.maxPage = m_printLayout->PageCount();
    info.currentPage = 1;
}

void CGridCtrl::OnPrint(QPainter& dc, CPrintInfo& info) {
    if (!dc.isActive() || !m_printLayout) return;
    const GridPrintLayout& pages = *m_printLayout;
    if (info.currentPage < 1 || info.currentPage > pages.PageCount()) return;
    const GridPrintLayout::Rows rows = pages.RowsOfPage(info.currentPage);
    const QScopedValueRollback<bool> printing(m_printing, true);
    const int cw = m_printMetrics.charWidth, ch = m_printMetrics.charHeight;
    const int lw = pages.LogicalWidth(), lh = pages.LogicalHeight();
    const int left = 4 * cw, width = lw - 8 * cw;

    dc.save();
    dc.setFont(m_printerFont);
    // One logical unit is one screen pixel of the grid, scaled so the grid fits the width.
    dc.setWindow(0, 0, lw, lh);
    dc.setViewport(0, 0, m_printMetrics.pageWidth, m_printMetrics.pageHeight);
    const auto originAt = [&dc](int x, int y) {
        dc.setWorldTransform(QTransform::fromTranslate(x, y));
    };

    originAt(left, 0);
    info.drawRect = QRect(0, 0, width, 2 * ch);
    PrintHeader(dc, info);

    int top = 3 * ch;  // the header and a gap of one line
    originAt(left, top);
    info.drawRect = QRect(0, 0, width, GetFixedRowHeight());
    PrintColumnHeadings(dc, info);
    top += GetFixedRowHeight();

    originAt(left, top);
    dc.setFont(m_printerFont);
    PrintRowBand(dc, rows.first, rows.end, false);

    originAt(left, lh - 2 * ch);
    info.drawRect = QRect(0, 0, width, 2 * ch);
    PrintFooter(dc, info);
    dc.restore();
}

void CGridCtrl::OnEndPrinting(QPainter&, CPrintInfo&) {
    m_printLayout.reset();
    m_printerFont = QFont();
}

void CGridCtrl::PrintHeader(QPainter& dc, CPrintInfo& info) {
    QFont bold = m_printerFont;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setPen(Qt::black);
    dc.setBackgroundMode(Qt::TransparentMode);
    const QRect& r = info.drawRect;
    dc.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, PrintTitle());
    dc.setPen(QPen(Qt::black, 0));
    dc.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

void CGridCtrl::PrintColumnHeadings(QPainter& dc, CPrintInfo&) {
    dc.setFont(m_printerFont);
    PrintRowBand(dc, 0, GetFixedRowCount(), true);
}

void CGridCtrl::PrintFooter(QPainter& dc, CPrintInfo& info) {
    QRect r = info.drawRect;
    dc.setPen(QPen(Qt::black, 0));
    dc.drawLine(r.left(), r.top(), r.right(), r.top());
    QFont bold = m_printerFont;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setBackgroundMode(Qt::TransparentMode);
    r.translate(0, m_printMetrics.charHeight / 2);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    dc.drawText(r, flags | Qt::AlignLeft,
                QString::asprintf("Page %d of %d", info.currentPage, info.maxPage));
    dc.drawText(r, flags | Qt::AlignRight, LocalDateTimeText());
}

void CGridCtrl::PrintRowBand(QPainter& dc, int first, int end, bool headings) {
    const GridSizeList& widths = m_model.ColumnWidths();
    const GridSizeList& heights = m_model.RowHeights();
    const bool horizontal = m_gridLines == 1 || m_gridLines == 3;
    const bool vertical = m_gridLines == 2 || m_gridLines == 3;
    const QPen linePen(Qt::black, 0);
    int top = 0;
    for (int row = first; row < end; ++row) {
        const int h = heights.Get(row);
        const int bottom = top + h - 1;
        int left = 0;
        for (int col = 0; col < GetColumnCount(); ++col) {
            const int w = widths.Get(col);
            const QRect rect(left, top, w, h);
            if (headings)
                DrawFixedCell(dc, row, col, rect, false);
            else
                DrawCell(dc, row, col, rect, false);
            const int right = left + w - 1;
            dc.setPen(linePen);
            if (horizontal) {
                dc.drawLine(col == 0 ? left : left - 1, bottom, right, bottom);
                if (row == 0) dc.drawLine(col == 0 ? left : left - 1, top, right, top);
            }
            if (vertical) {
                dc.drawLine(right, row == first ? top : top - 1, right, bottom);
                if (col == 0) dc.drawLine(left, row == first ? top : top - 1, left, bottom);
            }
            left += w;
        }
        top += h;
    }
}

QFont CGridCtrl::PrintedFont(const QFont& font) const {
    if (font.pixelSize() > 0) return font;
    QFont f = font;
    f.setPixelSize(std::max(1, qRound(font.pointSizeF() * logicalDpiY() / 72.0)));
    return f;
}

void CGridCtrl::PrintPreview() {
    if (m_previewActive && m_preview) {
        m_preview->Activate();
        return;
    }
    m_previewActive = true;
    m_preview = new CViewPrintPreview(m_printerDef, GetTitle(), window());
    connect(m_preview, &CViewPrintPreview::PagesRequested, this,
            [this](QPrinter* printer) { PrintJob(*printer, true); });
    connect(m_preview, &CViewPrintPreview::PreviewEnded, this, &CGridCtrl::OnPreviewEnded);
    connect(m_preview, &CViewPrintPreview::PrintRequested, this, [this] {
        if (isSignalConnected(QMetaMethod::fromSignal(&CGridCtrl::PrintRequested)))
            emit PrintRequested();
        else
            Print();
    });
    m_preview->StartPreview();
}

CViewPrintPreview* CGridCtrl::Preview() const {
    return m_preview;
}

void CGridCtrl::OnPreviewEnded() {
    m_previewActive = false;
}
