#include "controls/ReportModel.h"

#include <algorithm>
#include <numeric>

ReportModel::ReportModel(QObject* parent) : QAbstractTableModel(parent) {}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

bool ReportModel::Valid(int row, int column) const {
    return row >= 0 && row < m_rows.size() && column >= 0 && column < m_columns.size();
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !Valid(index.row(), index.column())) return QVariant();
    const Row& row = m_rows[index.row()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return row.texts.value(index.column());
        case Qt::CheckStateRole:
            if (m_checkable && index.column() == 0)
                return row.checked ? Qt::Checked : Qt::Unchecked;
            return QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(m_columns[index.column()].alignment | Qt::AlignVCenter);
        default:
            return QVariant();
    }
}

bool ReportModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !Valid(index.row(), index.column())) return false;
    if (role == Qt::CheckStateRole && index.column() == 0 && m_checkable) {
        SetChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole) {
        const QString text = value.toString();
        if (text == Text(index.row(), index.column())) return true;
        SetText(index.row(), index.column(), text);
        emit CellEdited(index.row(), index.column());
        return true;
    }
    return false;
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QVariant();
    if (role == Qt::DisplayRole) return m_columns[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[section].alignment | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkable && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    if (m_editable) f |= Qt::ItemIsEditable;
    return f;
}

void ReportModel::SetColumns(const QList<Column>& columns) {
    beginResetModel();
    m_rows.clear();
    m_columns = columns;
    endResetModel();
}

void ReportModel::SetCheckable(bool checkable) {
    if (m_checkable == checkable) return;
    m_checkable = checkable;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(static_cast<int>(m_rows.size()) - 1, 0),
                         {Qt::CheckStateRole});
}

int ReportModel::InsertRow(int row, const QStringList& texts) {
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    beginInsertRows(QModelIndex(), row, row);
    Row r;
    r.texts = texts.mid(0, m_columns.size());
    while (r.texts.size() < m_columns.size()) r.texts.append(QString());
    m_rows.insert(row, r);
    endInsertRows();
    return row;
}

void ReportModel::RemoveRowAt(int row) {
    if (row < 0 || row >= m_rows.size()) return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void ReportModel::Clear() {
    if (m_rows.isEmpty()) return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString ReportModel::Text(int row, int column) const {
    return Valid(row, column) ? m_rows[row].texts.value(column) : QString();
}

bool ReportModel::SetText(int row, int column, const QString& text) {
    if (!Valid(row, column)) return false;
    m_rows[row].texts[column] = text;
    emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool ReportModel::Checked(int row) const {
    return row >= 0 && row < m_rows.size() && m_rows[row].checked;
}

void ReportModel::SetChecked(int row, bool checked) {
    if (row < 0 || row >= m_rows.size() || m_rows[row].checked == checked) return;
    m_rows[row].checked = checked;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void ReportModel::SortRows(int column, bool ascending, const Compare& compare) {
    if (column < 0 || column >= m_columns.size() || m_rows.size() < 2) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = compare(m_rows[a].texts[column], m_rows[b].texts[column]);
        return ascending ? c < 0 : c > 0;
    });
    QList<Row> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newRowOf(m_rows.size());
    for (int i = 0; i < order.size(); ++i) {
        sorted.append(m_rows[order[i]]);
        newRowOf[order[i]] = i;
    }
    m_rows = std::move(sorted);
    // Selection and focus follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) after.append(index(newRowOf[old.row()], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
