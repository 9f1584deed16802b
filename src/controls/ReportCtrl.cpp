#include "controls/ReportCtrl.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <optional>

#include "controls/ReportModel.h"

namespace {

bool IsHex(const QString& text) {
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (!(c.isDigit() && c.unicode() < 0x80) &&
            !(c >= QLatin1Char('a') && c <= QLatin1Char('f')) &&
            !(c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            return false;
    return true;
}

// Unsigned hexadecimal numbers of any length: leading zeros aside, the longer is larger.
int CompareHex(const QString& a, const QString& b) {
    const auto strip = [](const QString& s) {
        qsizetype i = 0;
        while (i + 1 < s.size() && s[i] == QLatin1Char('0')) ++i;
        return s.mid(i).toUpper();
    };
    const QString x = strip(a);
    const QString y = strip(b);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

std::optional<double> DecimalValue(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?%?$"));
    if (!number.match(text).hasMatch()) return std::nullopt;
    QString digits = text;
    if (digits.endsWith(QLatin1Char('%'))) digits.chop(1);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// A date, a time or both, in one of the user's locale formats.
std::optional<QDateTime> LocaleDateTime(const QString& text) {
    const QLocale locale;
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        QDateTime dt = locale.toDateTime(text, type);
        if (dt.isValid()) return dt;
        const QDate date = locale.toDate(text, type);
        if (date.isValid()) return QDateTime(date, QTime(0, 0));
        const QTime time = locale.toTime(text, type);
        if (time.isValid()) return QDateTime(QDate(1, 1, 1), time);
    }
    return std::nullopt;
}

template <typename T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

CReportCtrl::CReportCtrl(QWidget* parent) : QTableView(parent), m_model(new ReportModel(this)) {
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setShowGrid(false);
    setWordWrap(false);
    // Tab leaves the list for the next control, as in any dialog, and never moves the
    // selection, which decides who gets a test mail and what Delete removes.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CReportCtrl::OnHeaderClicked);
    connect(m_model, &ReportModel::CellEdited, this, &CReportCtrl::CellEdited);
}

bool CReportCtrl::SetColumnHeader(const QString& headerText) {
    QList<ReportModel::Column> columns;
    for (const QString& definition : headerText.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = definition.split(QLatin1Char(','));
        ReportModel::Column column;
        column.title = fields.value(0);
        if (fields.size() > 1) {
            bool ok = false;
            const int width = fields[1].trimmed().toInt(&ok);
            if (ok && width >= 0) column.width = width;
        }
        if (fields.size() > 2) {
            const int alignment = fields[2].trimmed().toInt();
            column.alignment = alignment == 1   ? Qt::AlignHCenter
                               : alignment == 2 ? Qt::AlignRight
                                                : Qt::AlignLeft;
        }
        columns.append(column);
    }
    m_sortColumn = -1;
    m_sortAscending = true;
    m_model->SetColumns(columns);
    for (int i = 0; i < columns.size(); ++i) setColumnWidth(i, columns[i].width);
    return !columns.isEmpty();
}

void CReportCtrl::DeleteAllColumns() {
    m_sortColumn = -1;
    m_model->SetColumns({});
}

int CReportCtrl::GetColumnCount() const {
    return m_model->columnCount();
}

void CReportCtrl::SetGridLines(bool on) {
    setShowGrid(on);
}

void CReportCtrl::SetCheckboxMode(int mode) {
    // Only the modes the dialogs use; anything else means independent boxes.
    m_checkboxMode = mode == RC_CHKBOX_NONE ? RC_CHKBOX_NONE : RC_CHKBOX_NORMAL;
    EndEdit();
    m_model->SetCheckable(m_checkboxMode != RC_CHKBOX_NONE);
}

void CReportCtrl::SetEditable(bool on) {
    if (!on) EndEdit();
    m_model->SetEditable(on);
    setEditTriggers(on ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                       : QAbstractItemView::NoEditTriggers);
}

void CReportCtrl::EndEdit() {
    if (state() != QAbstractItemView::EditingState) return;
    QWidget* editor = QApplication::focusWidget();
    if (!editor || !viewport()->isAncestorOf(editor)) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

int CReportCtrl::InsertItem(int index, const QString& text) {
    if (GetColumnCount() == 0) return -1;
    EndEdit();
    return m_model->InsertRow(index, {text});
}

bool CReportCtrl::SetItemText(int row, int column, const QString& text) {
    EndEdit();
    return m_model->SetText(row, column, text);
}

QString CReportCtrl::GetItemText(int row, int column) const {
    return m_model->Text(row, column);
}

bool CReportCtrl::SetCheck(int row, bool checked) {
    if (row < 0 || row >= m_model->rowCount()) return false;
    m_model->SetChecked(row, checked);
    return true;
}

bool CReportCtrl::GetCheck(int row) const {
    return m_model->Checked(row);
}

bool CReportCtrl::IsItemSelected(int row) const {
    return row >= 0 && row < m_model->rowCount() &&
           selectionModel()->isRowSelected(row, QModelIndex());
}

void CReportCtrl::SetItemSelected(int row, bool selected) {
    if (row < 0 || row >= m_model->rowCount()) return;
    selectionModel()->select(m_model->index(row, 0), (selected ? QItemSelectionModel::Select
                                                               : QItemSelectionModel::Deselect) |
                                                         QItemSelectionModel::Rows);
}

bool CReportCtrl::Matches(int row, int flags) const {
    if (flags & RC_ITEM_ALL) return true;
    const bool selected = IsItemSelected(row);
    const bool checked = GetCheck(row);
    const bool focused = currentIndex().isValid() && currentIndex().row() == row;
    if ((flags & RC_ITEM_SELECTED) && !selected) return false;
    if ((flags & RC_ITEM_UNSELECTED) && selected) return false;
    if ((flags & RC_ITEM_CHECKED) && !checked) return false;
    if ((flags & RC_ITEM_UNCHECKED) && checked) return false;
    if ((flags & RC_ITEM_FOCUSED) && !focused) return false;
    if ((flags & RC_ITEM_UNFOCUSED) && focused) return false;
    return true;
}

int CReportCtrl::GetItemCount(int flags) const {
    if (flags & RC_ITEM_ALL) return m_model->rowCount();
    int n = 0;
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (Matches(row, flags)) ++n;
    return n;
}

bool CReportCtrl::DeleteItem(int row) {
    if (row < 0 || row >= m_model->rowCount()) return false;
    m_model->RemoveRowAt(row);
    return true;
}

int CReportCtrl::DeleteAllItems(int flags) {
    if (flags & RC_ITEM_ALL) {
        const int n = m_model->rowCount();
        m_model->Clear();
        return n;
    }
    int n = 0;
    for (int row = m_model->rowCount() - 1; row >= 0; --row) {
        if (!Matches(row, flags)) continue;
        m_model->RemoveRowAt(row);
        ++n;
    }
    return n;
}

bool CReportCtrl::SortItems(int column, bool ascending) {
    if (column < 0 || column >= GetColumnCount()) return false;
    EndEdit();
    m_sortColumn = column;
    m_sortAscending = ascending;
    m_model->SortRows(column, ascending, &CReportCtrl::CompareItemTexts);
    emit Sorted(column, ascending);
    return true;
}

void CReportCtrl::OnHeaderClicked(int column) {
    SortItems(column, !(column == m_sortColumn && m_sortAscending));
}

int CReportCtrl::CompareItemTexts(const QString& a, const QString& b) {
    if (IsHex(a) && IsHex(b)) return CompareHex(a, b);
    const std::optional<double> x = DecimalValue(a);
    const std::optional<double> y = DecimalValue(b);
    if (x && y) return Order(*x, *y);
    const std::optional<QDateTime> s = LocaleDateTime(a);
    if (s) {
        const std::optional<QDateTime> t = LocaleDateTime(b);
        if (t) return Order(*s, *t);
    }
    return Order(a, b);
}

void CReportCtrl::keyPressEvent(QKeyEvent* event) {
    // Boxes change only by a click, never by the keyboard.
    if (event->key() == Qt::Key_Space && state() != QAbstractItemView::EditingState) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CReportCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    const bool before = GetCheck(row);
    QTableView::mouseReleaseEvent(event);
    AfterMouse(row, before);
}

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    const bool before = GetCheck(row);
    QTableView::mouseDoubleClickEvent(event);
    AfterMouse(row, before);
}

void CReportCtrl::AfterMouse(int row, bool checkedBefore) {
    if (row < 0 || m_checkboxMode == RC_CHKBOX_NONE || GetCheck(row) == checkedBefore) return;
    const QModelIndex index = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit CheckChanged(row);
}
