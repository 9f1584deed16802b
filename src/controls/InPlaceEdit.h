#pragma once

#include <QLineEdit>
#include <QString>

// The single-line editor the grid opens over a cell. How it starts depends on the key that
// opened it (a character, a Qt::Key_* navigation key or one of the kGridEditBy* keys); it
// ends when it loses the focus, handing its text and the key that ended it to its owner
// (EditEnded), and then deletes itself.
class CInPlaceEdit : public QLineEdit {
    Q_OBJECT

public:
    // Shown at `rect` of `parent` (the owner's viewport); the focus goes back to `owner`.
    CInPlaceEdit(QWidget* owner, QWidget* parent, const QFont& font, const QRect& rect,
                 Qt::Alignment alignment, int row, int col, const QString& text, int firstKey);

    int Row() const { return m_row; }
    int Column() const { return m_col; }
    bool ExitsOnArrows() const { return m_exitOnArrows; }
    // Closes without handing anything back (the grid is going away).
    void Abandon() { m_ended = true; }

signals:
    // Once, when the edit ends: the cell, the text it ends with and the key that ended it.
    void EditEnded(int row, int col, const QString& text, int lastKey);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void EndEdit(int key);
    void WidenToText();

    QWidget* m_owner;
    int m_row;
    int m_col;
    QString m_initialText;
    int m_lastKey = 0;
    bool m_exitOnArrows;
    bool m_ended = false;
};
