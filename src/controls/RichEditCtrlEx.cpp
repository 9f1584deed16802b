#include "RichEditCtrlEx.h"

#include <QKeyEvent>

CRichEditCtrlEx::CRichEditCtrlEx(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
}

void CRichEditCtrlEx::keyPressEvent(QKeyEvent* event) {
    // Return and Enter always break the line here, whatever the dialog's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
