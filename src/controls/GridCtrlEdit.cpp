#include "controls/GridCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "controls/GridAccessible.h"
#include "controls/InPlaceEdit.h"

// CGridCtrl: the clipboard and the in-place editor.

// ---------------------------------------------------------------- clipboard

std::optional<QString> CGridCtrl::BuildClipboardText() const {
    const CCellRange range = GetSelectionBounds();
    if (!IsValid(range)) return std::nullopt;
    QString text;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            if (GetItemState(r, c) & GVIS_SELECTED) {
                const QString cell = GetItemText(r, c);
                text += cell.isEmpty() ? QStringLiteral(" ") : cell;
            }
            if (c != range.maxCol) text += QLatin1Char('\t');
        }
        if (r != range.maxRow) text += QLatin1Char('\n');
    }
    return text;
}

void CGridCtrl::OnEditCopy() {
    if (const std::optional<QString> text = BuildClipboardText())
        QApplication::clipboard()->setText(*text);
}

void CGridCtrl::OnEditCut() {
    if (!m_editable) return;
    OnEditCopy();
    ClearSelectedCells();
}

void CGridCtrl::ClearSelectedCells() {
    for (const CCellID& cell : m_model.GetSelectedCells()) {
        if (!IsCellEditable(cell)) continue;
        NotifyOwner(cell.row, cell.col, GVN_BEGINLABELEDIT);
        EmptyCell(cell.row, cell.col);
        SetModified(true, cell.row, cell.col);
        NotifyOwner(cell.row, cell.col, GVN_ENDLABELEDIT);
    }
    RequestRepaint();
    const CCellRange bounds = GetSelectionBounds();
    if (bounds.IsValid()) GridAccessible::RowsWritten(*this, bounds.minRow, bounds.maxRow);
}

void CGridCtrl::OnEditPaste() {
    if (!m_editable) return;
    CCellID target = m_focusCell;
    if (!IsValid(target)) target = CCellID(GetFixedRowCount(), GetFixedColumnCount());
    if (!IsValid(target)) return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return;
    PasteClipboardText(target.row, target.col, data->text());
}

void CGridCtrl::OnEditSelectAll() {
    SelectAllCells();
}

bool CGridCtrl::PasteClipboardText(int row, int col, const QString& text) {
    if (!IsCellEditable(row, col)) return false;
    const QList<QStringList> rows = GridModel::SplitPasteText(text);
    for (qsizetype j = 0; j < rows.size(); ++j) {
        const QStringList& cells = rows[j];
        for (qsizetype k = 0; k < cells.size(); ++k) {
            const int r = row + int(j), c = col + int(k);
            if (!IsCellEditable(r, c)) continue;
            NotifyOwner(r, c, GVN_BEGINLABELEDIT);
            SetItemText(r, c, cells[k]);
            SetModified(true, r, c);
            m_model.SetItemState(r, c, GetItemState(r, c) & ~GVIS_SELECTED);
            NotifyOwner(r, c, GVN_ENDLABELEDIT);
        }
    }
    RequestRepaint();
    GridAccessible::RowsWritten(*this, row, row + int(rows.size()) - 1);
    return true;
}

// The model drops the selection of cells that go away, so any selected cell is there.
bool CGridCtrl::CanCopy() const {
    return GetSelectedCount() > 0;
}

bool CGridCtrl::CanCut() const {
    return m_editable && CanCopy();
}

bool CGridCtrl::CanPaste() const {
    if (!IsCellEditable(m_focusCell)) return false;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

// ---------------------------------------------------------------- in-place editing

void CGridCtrl::BeginCellEdit(int row, int col, int firstKey) {
    EnsureVisible(row, col);
    if (!IsCellEditable(row, col) || !IsCellVisible(row, col)) return;
    QRect rect;
    if (!GetCellRect(row, col, rect)) return;
    NotifyOwner(row, col, GVN_BEGINLABELEDIT);
    CreateCellEditor(rect, HorizontalAlignment(GetItemFormat(row, col)), row, col,
                     GetItemText(row, col), firstKey);
}

CInPlaceEdit* CGridCtrl::GetInPlaceEdit() const {
    return m_editor.data();
}

void CGridCtrl::CreateCellEditor(const QRect& rect, Qt::Alignment alignment, int row, int col,
                                 const QString& text, int firstKey) {
    m_editor = new CInPlaceEdit(this, viewport(), GetGridFont(), rect, alignment, row, col, text,
                                firstKey);
    connect(m_editor, &CInPlaceEdit::EditEnded, this, &CGridCtrl::EditorFinished);
}

void CGridCtrl::AcceptCellEdit(int row, int col, const QString& text) {
    if (!IsValid(row, col) || text == GetItemText(row, col)) return;
    SetModified(true, row, col);
    SetItemText(row, col, text);
    GridAccessible::RowsWritten(*this, row, row);
}

void CGridCtrl::EditorFinished(int row, int col, const QString& text, int lastKey) {
    AcceptCellEdit(row, col, text);
    InvalidateCellRect(CCellID(row, col));
    NotifyOwner(row, col, GVN_ENDLABELEDIT);
    switch (lastKey) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            // Editing goes on in the cell the key leads to, once the focus change is over.
            QMetaObject::invokeMethod(
                this,
                [this, lastKey] {
                    HandleKey(lastKey, Qt::NoModifier);
                    BeginCellEdit(m_focusCell.row, m_focusCell.col, lastKey);
                },
                Qt::QueuedConnection);
            break;
        default:
            break;
    }
}
