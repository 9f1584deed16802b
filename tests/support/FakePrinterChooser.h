#pragma once

#include <QPrinter>
#include <QString>

#include "platform/PrinterChooser.h"

// Answers the printer set-up like a user who picks "Print to File (PDF)" with `pdfPath`
// (or presses Cancel), and counts how often it was asked.
class FakePrinterChooser : public PrinterChooser {
public:
    bool ChoosePrinter(QWidget*, QPrinter& printer) override {
        ++calls;
        openedOnFile = printer.outputFileName();
        if (!accept) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return true;
    }

    bool accept = true;
    QString pdfPath;
    QString openedOnFile;  // the file the dialog opened on: the saved choice
    int calls = 0;
};
