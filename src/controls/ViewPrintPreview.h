#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

class CPrinterDef;
class QAction;
class QPrintPreviewWidget;
class QPrinter;

// The print preview window: a document's pages as printing lays them out (the owner draws
// them on PagesRequested), with a tool bar to print, page through, show two pages, zoom and
// close. While it is open it stands in front of the window it was opened from; closing it
// brings that window back. Its Print closes the preview and asks the owner to print.
class CViewPrintPreview : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Print Preview";

    // The pages are laid out for the printer `printerDef` describes.
    CViewPrintPreview(const CPrinterDef& printerDef, const QString& docName,
                      QWidget* previousWindow);
    ~CViewPrintPreview() override;

    // Shows the window maximised and lays out the pages.
    void StartPreview();
    // Brings the open preview forward.
    void Activate();

    int PageCount() const;
    int CurrentPage() const;
    QPrintPreviewWidget* PreviewWidget() const { return m_view; }
    QWidget* PreviousWindow() const { return m_previous; }

    QAction* PrintAction() const { return m_print; }
    QAction* CloseAction() const { return m_close; }

signals:
    // The owner prints the whole document on `printer` now (the pages to show).
    void PagesRequested(QPrinter* printer);
    void PreviewEnded();
    void PrintRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void EndPreview();
    void GoToPage(int page);
    void UpdateActions();

    QPointer<QWidget> m_previous;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget* m_view = nullptr;
    QAction* m_print = nullptr;
    QAction* m_next = nullptr;
    QAction* m_prev = nullptr;
    QAction* m_twoPage = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_close = nullptr;
    bool m_ended = false;
};
