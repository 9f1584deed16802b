#pragma once

#include <QLineEdit>
#include <QString>

class CGridCtrl;

// The single-line editor the grid opens over a cell. How it starts depends on the key that
// opened it (see CGridCtrl::BeginCellEdit); it ends when it loses the focus, handing its
// text and the key that ended it back to the grid, and then deletes itself.
class CInPlaceEdit : public QLineEdit {
    Q_OBJECT

public:
    CInPlaceEdit(CGridCtrl* grid, const QRect& rect, Qt::Alignment alignment, int row, int col,
                 const QString& text, int firstKey);

    int Row() const { return m_row; }
    int Column() const { return m_col; }
    bool ExitsOnArrows() const { return m_exitOnArrows; }
    // Closes without handing anything back (the grid is going away).
    void Abandon() { m_ended = true; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void EndEdit(int key);
    void WidenToText();

    CGridCtrl* m_grid;
    int m_row;
    int m_col;
    QString m_initialText;
    int m_lastKey = 0;
    bool m_exitOnArrows;
    bool m_ended = false;
};
