#include "platform/PrinterChooser.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {

// Qt's own dialog shows its page range even with the choice switched off (for printers that
// pick pages themselves), yet a set-up keeps only the printer and its settings, so a range
// chosen here would be ignored: it is not offered.
class SetupDialog : public QPrintDialog {
public:
    using QPrintDialog::QPrintDialog;

    void setVisible(bool visible) override {
        QPrintDialog::setVisible(visible);
        if (QWidget* range = findChild<QWidget*>(QStringLiteral("gbPrintRange")))
            range->setVisible(false);
    }
};

}  // namespace

bool DialogPrinterChooser::ChoosePrinter(QWidget* parent, QPrinter& printer) {
    SetupDialog dialog(&printer, parent);
    dialog.setWindowTitle(QPrintDialog::tr("Print Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintShowPageSize, true);
    return dialog.exec() == QDialog::Accepted;
}
