#pragma once

#include <QPlainTextEdit>
#include <QString>

// The message-body box of the e-mail dialogs: a multi-line plain-text editor in which
// Return starts a new line (it never presses the dialog's default button) and long lines
// scroll sideways rather than wrap, so the box shows the mail body line for line as it is
// sent. Mail bodies are plain text; nothing typed here is ever read as markup.
class CRichEditCtrlEx : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CRichEditCtrlEx(QWidget* parent = nullptr);

    // The box's text, lines joined with "\n".
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
