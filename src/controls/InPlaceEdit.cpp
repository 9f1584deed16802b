#include "controls/InPlaceEdit.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <algorithm>

#include "controls/GridTypes.h"

namespace {

// Keys after which the whole text is selected rather than replaced.
bool SelectsAll(int key) {
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case ' ':
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            return true;
        default:
            return false;
    }
}

}  // namespace

CInPlaceEdit::CInPlaceEdit(QWidget* owner, QWidget* parent, const QFont& font, const QRect& rect,
                           Qt::Alignment alignment, int row, int col, const QString& text,
                           int firstKey)
    : QLineEdit(parent),
      m_owner(owner),
      m_row(row),
      m_col(col),
      m_initialText(text),
      m_exitOnArrows(firstKey != kGridEditByMouse) {
    setFrame(true);
    setFont(font);
    setAlignment(alignment | Qt::AlignVCenter);
    setText(text);
    setGeometry(rect);
    show();
    setFocus(Qt::OtherFocusReason);
    if (firstKey == kGridEditByMouse || firstKey == kGridEditByEnter ||
        firstKey == Qt::Key_Return || firstKey == Qt::Key_Enter) {
        end(false);
    } else if (firstKey == kGridEditByBackspace || firstKey == Qt::Key_Backspace) {
        end(false);
        backspace();
    } else if (SelectsAll(firstKey)) {
        selectAll();
    } else {
        selectAll();
        const char32_t ch = char32_t(firstKey);
        insert(QString::fromUcs4(&ch, 1));  // the key that opened the editor replaces the text
        WidenToText();
    }
}

bool CInPlaceEdit::event(QEvent* event) {
    // Tab ends the edit instead of moving the focus along the dialog.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    // Alt shortcuts of the window do not fire while editing.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & Qt::AltModifier) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    event->accept();  // no key reaches the grid while it is being edited
    if (event->modifiers() & Qt::AltModifier) return;
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            if (m_exitOnArrows || ctrl) {
                EndEdit(key);
                return;
            }
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            EndEdit(key);
            return;
        case Qt::Key_Escape:
            setText(m_initialText);
            EndEdit(key);
            return;
        default:
            break;
    }
    QLineEdit::keyPressEvent(event);
    event->accept();
    WidenToText();
}

void CInPlaceEdit::EndEdit(int key) {
    m_lastKey = key;
    m_owner->setFocus(Qt::OtherFocusReason);
    // Should the grid not take the focus (hidden window), end the edit all the same.
    if (!m_ended) clearFocus();
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || m_ended) return;
    m_ended = true;
    hide();
    emit EditEnded(m_row, m_col, text(), m_lastKey);
    deleteLater();
}

// Typing past the right edge widens the editor up to the edge of the grid.
void CInPlaceEdit::WidenToText() {
    const QFontMetrics fm(font());
    const int chrome = width() - contentsRect().width() + 4;
    const int needed = fm.horizontalAdvance(text() + QStringLiteral("  ")) + chrome;
    if (needed <= width() || !parentWidget()) return;
    const int available = parentWidget()->width() - x();
    const int newWidth = std::min(needed, available);
    if (newWidth > width()) resize(newWidth, height());
}
