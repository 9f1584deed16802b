#pragma once

class QPrinter;
class QWidget;

// The printer set-up dialog, behind a seam so that tests answer it without a user.
class PrinterChooser {
public:
    virtual ~PrinterChooser() = default;
    // Opens on `printer`'s settings; on OK leaves the chosen printer and settings in it and
    // returns true. Cancel returns false.
    virtual bool ChoosePrinter(QWidget* parent, QPrinter& printer) = 0;
};

// The real dialog: QPrintDialog for set-up only (no page range, no selection, no current
// page). Printing to a PDF file stays offered, so a machine without a printer can print.
class DialogPrinterChooser : public PrinterChooser {
public:
    bool ChoosePrinter(QWidget* parent, QPrinter& printer) override;
};
