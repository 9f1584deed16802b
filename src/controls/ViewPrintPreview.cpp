#include "controls/ViewPrintPreview.h"

#include <QAction>
#include <QCloseEvent>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "controls/PrinterDef.h"

CViewPrintPreview::CViewPrintPreview(const CPrinterDef& printerDef, const QString& docName,
                                     QWidget* previousWindow)
    : QMainWindow(previousWindow, Qt::Window),
      m_previous(previousWindow),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QString::fromLatin1(kCaption));
    printerDef.Configure(*m_printer);
    m_printer->setDocName(docName);

    m_view = new QPrintPreviewWidget(m_printer.get(), this);
    setCentralWidget(m_view);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { emit PagesRequested(printer); });
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &CViewPrintPreview::UpdateActions);

    QToolBar* bar = addToolBar(QStringLiteral("Preview"));
    bar->setMovable(false);
    m_print = bar->addAction(QStringLiteral("&Print..."), this, [this] {
        close();
        emit PrintRequested();
    });
    m_next =
        bar->addAction(QStringLiteral("&Next Page"), this, [this] { GoToPage(CurrentPage() + 1); });
    m_prev =
        bar->addAction(QStringLiteral("Pre&v Page"), this, [this] { GoToPage(CurrentPage() - 1); });
    m_twoPage = bar->addAction(QStringLiteral("&Two Page"), this, [this] {
        const bool two = m_view->viewMode() != QPrintPreviewWidget::FacingPagesView;
        if (two)
            m_view->setFacingPagesViewMode();
        else
            m_view->setSinglePageViewMode();
        m_twoPage->setText(two ? QStringLiteral("&One Page") : QStringLiteral("&Two Page"));
    });
    m_zoomIn = bar->addAction(QStringLiteral("Zoom &In"), this, [this] { m_view->zoomIn(1.5); });
    m_zoomOut = bar->addAction(QStringLiteral("Zoom &Out"), this, [this] { m_view->zoomOut(1.5); });
    m_close = bar->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    m_next->setShortcut(QKeySequence(Qt::Key_PageDown));
    m_prev->setShortcut(QKeySequence(Qt::Key_PageUp));
    m_close->setShortcut(QKeySequence(Qt::Key_Escape));
}

// Deleted without being closed (its grid or its owner went away): nothing to restore.
CViewPrintPreview::~CViewPrintPreview() = default;

void CViewPrintPreview::StartPreview() {
    // Maximised is only a wish a window manager may ignore (or be missing): the window asks
    // for at least the size of the window it was opened from, within the screen, so that a
    // page shows either way.
    QScreen* shownOn = m_previous ? m_previous->screen() : screen();
    const QRect room = shownOn->availableGeometry();
    QSize size = m_previous ? m_previous->size() : room.size();
    size = size.expandedTo(minimumSizeHint()).boundedTo(room.size());
    QRect where(QPoint(), size);
    where.moveCenter(m_previous ? m_previous->geometry().center() : room.center());
    where.moveLeft(std::clamp(where.left(), room.left(), room.right() - size.width() + 1));
    where.moveTop(std::clamp(where.top(), room.top(), room.bottom() - size.height() + 1));
    setGeometry(where);
    // Shown, the view lays out its pages; the first one is shown whole.
    showMaximized();
    m_view->fitInView();
    GoToPage(1);
    Activate();
}

void CViewPrintPreview::Activate() {
    raise();
    activateWindow();
}

int CViewPrintPreview::PageCount() const {
    return m_view->pageCount();
}

int CViewPrintPreview::CurrentPage() const {
    return m_view->currentPage();
}

void CViewPrintPreview::GoToPage(int page) {
    // The view tells of the pages scrolled to, not of a page it was sent to.
    m_view->setCurrentPage(page);
    UpdateActions();
}

void CViewPrintPreview::UpdateActions() {
    m_next->setEnabled(CurrentPage() < PageCount());
    m_prev->setEnabled(CurrentPage() > 1);
}

void CViewPrintPreview::closeEvent(QCloseEvent* event) {
    EndPreview();
    QMainWindow::closeEvent(event);
}

// Once, however the window goes: the window it was opened from comes back in front.
void CViewPrintPreview::EndPreview() {
    if (m_ended) return;
    m_ended = true;
    if (m_previous) {
        m_previous->show();
        m_previous->raise();
        m_previous->activateWindow();
    }
    emit PreviewEnded();
}
