#include "controls/GridCtrl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>

#include "controls/InPlaceEdit.h"
#include "platform/WaitCursor.h"

// CGridCtrl: mouse and keyboard.

// ---------------------------------------------------------------- mouse

// The pointer over a divider shows the resize arrows and arms a resize.
void CGridCtrl::UpdateHover(const QPoint& point) {
    const GridLayout layout = Layout();
    if (m_allowColResize && layout.IsOnDivider(Qt::Horizontal, point, m_resizeCaptureRange)) {
        if (m_mouseMode != MOUSE_OVER_COL_DIVIDE) {
            viewport()->setCursor(Qt::SizeHorCursor);
            m_mouseMode = MOUSE_OVER_COL_DIVIDE;
        }
    } else if (m_allowRowResize && layout.IsOnDivider(Qt::Vertical, point, m_resizeCaptureRange)) {
        if (m_mouseMode != MOUSE_OVER_ROW_DIVIDE) {
            viewport()->setCursor(Qt::SizeVerCursor);
            m_mouseMode = MOUSE_OVER_ROW_DIVIDE;
        }
    } else if (m_mouseMode != MOUSE_NOTHING) {
        viewport()->setCursor(Qt::ArrowCursor);
        m_mouseMode = MOUSE_NOTHING;
    }
}

// While a divider is dragged the pointer counts as held inside the client area and right
// of (or below) the edge of the column (row) being sized, so a size never turns negative.
QPoint CGridCtrl::Confined(const QPoint& point) const {
    const int right = std::max(0, viewport()->width() - 1);
    const int bottom = std::max(0, viewport()->height() - 1);
    QPoint p(std::clamp(point.x(), 0, right), std::clamp(point.y(), 0, bottom));
    if (m_mouseMode == MOUSE_SIZING_COL)
        p.setX(std::clamp(point.x(), std::min(m_sizingOrigin, right), right));
    if (m_mouseMode == MOUSE_SIZING_ROW)
        p.setY(std::clamp(point.y(), std::min(m_sizingOrigin, bottom), bottom));
    return p;
}

QRect CGridCtrl::TrackingBandRect() const {
    if (m_mouseMode == MOUSE_SIZING_ROW) return QRect(0, m_bandPoint.y(), viewport()->width(), 2);
    return QRect(m_bandPoint.x(), 0, 2, viewport()->height());
}

void CGridCtrl::MoveTrackingBand(const QPoint& point) {
    if (m_bandShown) viewport()->update(TrackingBandRect());
    m_bandPoint = point;
    m_bandShown = true;
    viewport()->update(TrackingBandRect());
}

void CGridCtrl::HideTrackingBand() {
    if (!m_bandShown) return;
    viewport()->update(TrackingBandRect());
    m_bandShown = false;
}

void CGridCtrl::LeftButtonDown(const QPoint& point, Qt::KeyboardModifiers modifiers) {
    m_leftClickDownPoint = point;
    m_leftClickDownCell = HitTestCell(point, true);
    if (!IsValid(m_leftClickDownCell)) return;
    m_selectionStartCell = (modifiers & Qt::ShiftModifier) ? m_focusCell : m_leftClickDownCell;
    setFocus(Qt::MouseFocusReason);  // ends an edit in progress

    if (m_leftClickDownCell == m_focusCell) {
        m_mouseMode = MOUSE_PREPARE_EDIT;
        return;
    }
    if (m_mouseMode != MOUSE_OVER_COL_DIVIDE && m_mouseMode != MOUSE_OVER_ROW_DIVIDE) {
        SetFocusCell(-1, -1);
        SetFocusCell(std::max(m_leftClickDownCell.row, GetFixedRowCount()),
                     std::max(m_leftClickDownCell.col, GetFixedColumnCount()));
    }
    // A press without a move before it (a touch, a synthesised click) can still be on a divider.
    if (m_mouseMode == MOUSE_NOTHING) UpdateHover(point);

    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE) {
        m_mouseMode = MOUSE_SIZING_COL;
        int col = m_leftClickDownCell.col;
        QPoint start;
        GetCellOrigin(0, col, start);
        // Just right of a column's left edge the divider belongs to the column before it.
        QPoint previous;
        if (point.x() - start.x() <= m_resizeCaptureRange && col > 0 &&
            GetCellOrigin(0, col - 1, previous)) {
            --col;
            start = previous;
        }
        m_sizingIndex = col;
        m_sizingOrigin = start.x();
        MoveTrackingBand(Confined(point));
    } else if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        m_mouseMode = MOUSE_SIZING_ROW;
        int row = m_leftClickDownCell.row;
        QPoint start;
        GetCellOrigin(row, 0, start);
        QPoint previous;
        if (point.y() - start.y() <= m_resizeCaptureRange && row > 0 &&
            GetCellOrigin(row - 1, 0, previous)) {
            --row;
            start = previous;
        }
        m_sizingIndex = row;
        m_sizingOrigin = start.y();
        MoveTrackingBand(Confined(point));
    } else {
        m_prevSelection.clear();
        if (modifiers & Qt::ControlModifier) m_prevSelection = m_model.GetSelectedCells();
        if (m_leftClickDownCell.row < GetFixedRowCount()) {
            OnHeadingRowClick(m_leftClickDownCell);
        } else if (m_leftClickDownCell.col < GetFixedColumnCount()) {
            OnHeadingColumnClick(m_leftClickDownCell);
        } else {
            m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            ExtendSelection(m_leftClickDownCell);
        }
        m_autoScrollTimer.start(25, this);
    }
    m_lastMousePoint = point;
}

void CGridCtrl::LeftButtonUp(const QPoint& point) {
    StopAutoScroll();
    if (m_mouseMode == MOUSE_PREPARE_EDIT) {
        BeginCellEdit(m_focusCell.row, m_focusCell.col, kEditByMouse);
    } else if (m_mouseMode == MOUSE_SIZING_COL || m_mouseMode == MOUSE_SIZING_ROW) {
        HideTrackingBand();
        if (point != m_leftClickDownPoint) {
            const QPoint p = Confined(point);
            if (m_mouseMode == MOUSE_SIZING_COL)
                SetColumnWidth(m_sizingIndex, p.x() - m_sizingOrigin);
            else
                SetRowHeight(m_sizingIndex, p.y() - m_sizingOrigin);
            ResetScrollBars();
            RequestRepaint();
        }
    }
    m_mouseMode = MOUSE_NOTHING;
    viewport()->setCursor(Qt::ArrowCursor);
    if (IsValid(m_leftClickDownCell))
        QMetaObject::invokeMethod(
            this, [this] { emit Command(); }, Qt::QueuedConnection);
    // As after any release, the pointer may rest on a divider again (a double click there
    // auto-sizes).
    UpdateHover(point);
}

void CGridCtrl::EndDragByRightButton() {
    StopAutoScroll();
    HideTrackingBand();
    m_mouseMode = MOUSE_NOTHING;
    viewport()->setCursor(Qt::ArrowCursor);
    NotifyOwner(m_focusCell.row, m_focusCell.col, NM_RCLICK);
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        LeftButtonDown(point, event->modifiers());
    } else if (event->button() == Qt::RightButton) {
        if ((event->buttons() & Qt::LeftButton) && m_mouseMode != MOUSE_NOTHING) {
            EndDragByRightButton();  // the right button during a left drag ends it
        } else {
            // A right click moves focus and selection like a left click, then tells the owner.
            LeftButtonDown(point, event->modifiers());
            LeftButtonUp(point);
            m_mouseMode = MOUSE_NOTHING;
            NotifyOwner(m_focusCell.row, m_focusCell.col, NM_RCLICK);
        }
    }
    event->accept();
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) LeftButtonUp(event->position().toPoint());
    event->accept();
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && m_mouseMode != MOUSE_NOTHING &&
        IsValid(m_leftClickDownCell)) {
        if (event->buttons() & Qt::RightButton) {
            EndDragByRightButton();
        } else {
            switch (m_mouseMode) {
                case MOUSE_SELECT_COL:
                case MOUSE_SELECT_ROW:
                case MOUSE_SELECT_CELLS: {
                    const CCellID cell = HitTestCell(point, true);
                    if (IsValid(cell) && cell != m_focusCell) {
                        ExtendSelection(cell);
                        if (!IsCellFixed(cell.row, cell.col)) SetFocusCell(cell);
                    }
                    break;
                }
                case MOUSE_SIZING_ROW:
                case MOUSE_SIZING_COL:
                    MoveTrackingBand(Confined(point));
                    break;
                default:
                    break;
            }
        }
    } else {
        UpdateHover(point);
    }
    m_lastMousePoint = point;
    event->accept();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint point = event->position().toPoint();
    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE || m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        const bool cols = m_mouseMode == MOUSE_OVER_COL_DIVIDE;
        const CCellID cell = HitTestCell(point, true);
        QPoint start;
        if (GetCellOrigin(cell.row, cell.col, start)) {
            if (cols)
                AutoSizeColumn(point.x() - start.x() <= m_resizeCaptureRange ? cell.col - 1
                                                                             : cell.col);
            else
                AutoSizeRow(point.y() - start.y() <= m_resizeCaptureRange ? cell.row - 1
                                                                          : cell.row);
            RequestRepaint();
        }
    } else if (m_mouseMode == MOUSE_NOTHING) {
        if (IsValid(m_leftClickDownCell) &&
            !IsCellFixed(m_leftClickDownCell.row, m_leftClickDownCell.col)) {
            BeginCellEdit(m_focusCell.row, m_focusCell.col, kEditByMouse);
        } else if (m_listMode) {
            const CCellID cell = HitTestCell(point, true);
            if (IsValid(cell) && cell.row >= GetFixedRowCount() && cell.col < GetFixedColumnCount())
                BeginCellEdit(cell.row, cell.col, kEditByMouse);
        }
    }
    event->accept();
}

void CGridCtrl::OnHeadingRowClick(const CCellID& cell) {
    if (!m_listMode) {
        m_mouseMode = cell.col < GetFixedColumnCount() ? MOUSE_SELECT_ALL : MOUSE_SELECT_COL;
        ExtendSelection(cell);
        return;
    }
    if (!m_sortOnClick) return;
    WaitCursor wait;
    if (cell.col == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = cell.col;
        m_sortAscending = true;
    }
    SortTextItems(m_sortColumn, m_sortAscending);
    RequestRepaint();
}

void CGridCtrl::OnHeadingColumnClick(const CCellID& cell) {
    m_mouseMode = cell.row < GetFixedRowCount() ? MOUSE_SELECT_ALL : MOUSE_SELECT_ROW;
    ExtendSelection(cell);
}

// Dragging a selection out of the window keeps scrolling towards the pointer.
void CGridCtrl::OnAutoScroll() {
    if (TimersHeld()) return;
    const QPoint pt = m_lastMousePoint;
    const int right = viewport()->width(), bottom = viewport()->height();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    if (pt.y() > bottom || pt.y() < h) {
        const bool down = pt.y() > bottom;
        HandleKey(down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        const int y = down ? bottom : h + 1;
        ExtendSelection(HitTestCell(QPoint(std::clamp(pt.x(), 0, right), y), true));
    }
    int x;
    if (pt.x() > right) {
        HandleKey(Qt::Key_Right, Qt::NoModifier);
        x = right;
    } else if (pt.x() < w) {
        HandleKey(Qt::Key_Left, Qt::NoModifier);
        x = w + 1;
    } else {
        return;
    }
    ExtendSelection(HitTestCell(QPoint(x, std::clamp(pt.y(), 0, bottom)), true));
}

void CGridCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_autoScrollTimer.timerId())
        OnAutoScroll();
    else
        QAbstractScrollArea::timerEvent(event);
}

// Each notch scrolls the user's number of lines (whole rows), after the wheel event.
void CGridCtrl::wheelEvent(QWheelEvent* event) {
    m_wheelRemainder += event->angleDelta().y();
    const int lines = QApplication::wheelScrollLines();
    int steps;
    GridScroll up, down;
    if (lines < 0) {
        steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        up = GridScroll::PageBack;
        down = GridScroll::PageForward;
    } else {
        steps = m_wheelRemainder * lines / 120;
        if (lines > 0)
            m_wheelRemainder -= steps * 120 / lines;
        else
            m_wheelRemainder = 0;
        up = GridScroll::LineBack;
        down = GridScroll::LineForward;
    }
    const GridScroll step = steps > 0 ? up : down;
    for (int i = 0; i < std::abs(steps); ++i)
        QMetaObject::invokeMethod(
            this, [this, step] { ScrollBy(Qt::Vertical, step); }, Qt::QueuedConnection);
    event->accept();
}

// ---------------------------------------------------------------- keyboard

bool CGridCtrl::event(QEvent* event) {
    // The grid takes Tab for itself (moving between cells) unless told not to.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && m_handleTabKey &&
            !(key->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (IsValid(m_focusCell) && (mods & Qt::ControlModifier)) {
        switch (event->key()) {
            case Qt::Key_A:
                OnEditSelectAll();
                break;
            case Qt::Key_C:
                OnEditCopy();
                break;
            case Qt::Key_V:
                OnEditPaste();
                break;
            case Qt::Key_X:
                OnEditCut();
                break;
            default:
                break;
        }
    }
    if (HandleKey(event->key(), mods)) {
        event->accept();
        return;
    }
    // A typed character opens the editor on the focus cell, starting with that character.
    const QString text = event->text();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)) && m_mouseMode == MOUSE_NOTHING &&
        !text.isEmpty()) {
        int firstKey = 0;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            firstKey = kEditByEnter;
        else if (event->key() == Qt::Key_Backspace)
            firstKey = kEditByBackspace;
        else if (text.at(0).isPrint())
            firstKey = int(text.toUcs4().value(0));
        if (firstKey != 0) {
            BeginCellEdit(m_focusCell.row, m_focusCell.col, firstKey);
            if (m_editor) {
                event->accept();
                return;
            }
        }
    }
    event->ignore();
}

bool CGridCtrl::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!IsValid(m_focusCell)) return false;
    const int rows = GetRowCount(), cols = GetColumnCount();
    const int fixedRows = GetFixedRowCount(), fixedCols = GetFixedColumnCount();
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool backTab = key == Qt::Key_Backtab || (key == Qt::Key_Tab && shift);
    CCellID next = m_focusCell;
    bool wrapped = false;
    if (key == Qt::Key_Tab && !backTab) {
        if (next.col < cols - 1) {
            ++next.col;
        } else if (next.row < rows - 1) {
            next.col = fixedCols;
            ++next.row;
            wrapped = true;
        } else {
            return true;  // the last cell: nothing to move to
        }
    } else if (backTab) {
        if (next.col > fixedCols) {
            --next.col;
        } else if (next.row > fixedRows) {
            --next.row;
            next.col = cols - 1;
            wrapped = true;
        } else {
            return true;
        }
    } else {
        switch (key) {
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                const bool up = key == Qt::Key_PageUp;
                const int before = GetTopLeftScrollCell().row;
                ScrollBy(Qt::Vertical, up ? GridScroll::PageBack : GridScroll::PageForward);
                const int moved = GetTopLeftScrollCell().row - before;
                if (moved != 0)
                    next.row = std::clamp(next.row + moved, fixedRows, rows - 1);
                else
                    next.row = up ? fixedRows : rows - 1;
                break;
            }
            case Qt::Key_End:
                ScrollBy(Qt::Vertical, GridScroll::ToEnd);
                next.row = rows - 1;
                break;
            case Qt::Key_Home:
                ScrollBy(Qt::Vertical, GridScroll::ToStart);
                next.row = fixedRows;
                break;
            case Qt::Key_Left:
                if (next.col > fixedCols) --next.col;
                break;
            case Qt::Key_Right:
                if (next.col < cols - 1) ++next.col;
                break;
            case Qt::Key_Up:
                if (next.row > fixedRows) --next.row;
                break;
            case Qt::Key_Down:
                if (next.row < rows - 1) ++next.row;
                break;
            case Qt::Key_Delete:
                if (IsCellEditable(m_focusCell)) {
                    const CCellID cell = m_focusCell;
                    NotifyOwner(cell.row, cell.col, GVN_BEGINLABELEDIT);
                    SetItemText(cell.row, cell.col, QString());
                    SetModified(true, cell.row, cell.col);
                    NotifyOwner(cell.row, cell.col, GVN_ENDLABELEDIT);
                    RedrawCell(cell);
                }
                break;
            default:
                return false;
        }
    }
    if (next == m_focusCell) return true;

    if (m_mouseMode == MOUSE_NOTHING) {
        m_prevSelection.clear();
        m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
        if (!shift || key == Qt::Key_Tab || key == Qt::Key_Backtab) m_selectionStartCell = next;
        ExtendSelection(next);
        m_mouseMode = MOUSE_NOTHING;
    }
    SetFocusCell(next);
    if (IsCellVisible(next)) return true;

    EnsureVisible(next);
    if (key == Qt::Key_Tab && !backTab) {
        if (wrapped) {
            ScrollBy(Qt::Vertical, GridScroll::LineForward);
            horizontalScrollBar()->setValue(0);
        } else {
            ScrollBy(Qt::Horizontal, GridScroll::LineForward);
        }
    } else if (backTab) {
        if (wrapped) {
            ScrollBy(Qt::Vertical, GridScroll::LineBack);
            horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        } else {
            ScrollBy(Qt::Horizontal, GridScroll::LineBack);
        }
    } else if (key == Qt::Key_Left) {
        ScrollBy(Qt::Horizontal, GridScroll::LineBack);
    } else if (key == Qt::Key_Right) {
        ScrollBy(Qt::Horizontal, GridScroll::LineForward);
    } else if (key == Qt::Key_Up) {
        ScrollBy(Qt::Vertical, GridScroll::LineBack);
    } else if (key == Qt::Key_Down) {
        ScrollBy(Qt::Vertical, GridScroll::LineForward);
    }
    RequestRepaint();
    return true;
}
