#include "history/HistoryTableModel.h"

#include <QBrush>
#include <QFont>

#include "history/HistoryCsv.h"
#include "history/HistoryOrder.h"
#include "history/HistoryText.h"

HistoryTableModel::HistoryTableModel(Kind kind, QObject* parent)
    : QAbstractTableModel(parent),
      m_kind(kind),
      // Sessions in the order they began; lines in the order they were written.
      m_sortColumn(kind == Kind::Sessions ? int(HistoryText::LoggedOn) : int(HistoryText::Source)) {
}

void HistoryTableModel::Show(std::shared_ptr<const HistorySnapshot> snapshot,
                             const HistoryCriteria& criteria) {
    m_snapshot = std::move(snapshot);
    m_criteria = criteria;
    Apply();
}

void HistoryTableModel::SetNow(int64_t now) {
    m_now = now;
    if (m_kind == Kind::Sessions && !m_rows.empty())
        emit dataChanged(index(0, HistoryText::Duration),
                         index(int(m_rows.size()) - 1, HistoryText::Duration), {Qt::DisplayRole});
}

int HistoryTableModel::TotalRows() const {
    if (!m_snapshot) return 0;
    return int(m_kind == Kind::Sessions ? m_snapshot->SessionCount() : m_snapshot->eventCount);
}

void HistoryTableModel::Apply() {
    beginResetModel();
    m_rows.clear();
    if (m_snapshot) {
        const bool descending = m_sortOrder == Qt::DescendingOrder;
        if (m_kind == Kind::Sessions) {
            m_rows = HistoryFilter::Sessions(*m_snapshot, m_criteria, m_now);
            HistoryOrder::Sessions(*m_snapshot, m_rows, m_sortColumn, descending, m_now);
        } else {
            m_rows = HistoryFilter::Events(*m_snapshot, m_criteria);
            // Already in the order they were read.
            if (m_sortColumn != HistoryText::Source || descending)
                HistoryOrder::Events(*m_snapshot, m_rows, m_sortColumn, descending);
        }
    }
    endResetModel();
}

void HistoryTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    m_sortColumn = column;
    m_sortOrder = order;
    Apply();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_kind == Kind::Sessions ? int(HistoryText::SessionColumns)
                                    : int(HistoryText::EventColumns);
}

QString HistoryTableModel::Cell(uint32_t row, int column) const {
    if (m_kind == Kind::Sessions)
        return HistoryText::SessionCell(*m_snapshot, m_snapshot->Session(row), column, m_now);
    return HistoryText::EventCell(*m_snapshot, m_snapshot->Event(row), column);
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_snapshot || index.row() >= int(m_rows.size())) return {};
    const uint32_t row = m_rows[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return Cell(row, index.column());
        case Qt::ToolTipRole: {
            const QString text = Cell(row, index.column());
            return text.size() > 30 ? QVariant(text) : QVariant();
        }
        case Qt::TextAlignmentRole:
            if (m_kind == Kind::Sessions && index.column() == HistoryText::Duration)
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::ForegroundRole:
            if (m_kind == Kind::Sessions) {
                const HistorySession& s = m_snapshot->Session(row);
                if (s.outage) return QBrush(QColor(176, 0, 0));
                if (s.ended == SessionEnd::StillOn) return QBrush(QColor(0, 110, 0));
            } else if (m_snapshot->Event(row).tag == HistoryTag::Other) {
                return QBrush(QColor(110, 110, 110));
            }
            return {};
        case Qt::FontRole:
            if (m_kind == Kind::Sessions && (HistoryText::EndUncertain(m_snapshot->Session(row)) ||
                                             !m_snapshot->Session(row).StartKnown())) {
                QFont italic;
                italic.setItalic(true);
                return italic;
            }
            return {};
        default:
            return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return m_kind == Kind::Sessions ? HistoryText::SessionHeading(section)
                                    : HistoryText::EventHeading(section);
}

QString HistoryTableModel::RowText(int row) const {
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c) cells.append(Cell(m_rows[std::size_t(row)], c));
    return cells.join(QLatin1Char('\t'));
}

uint32_t HistoryTableModel::FirstLine(int row) const {
    const uint32_t shown = m_rows[std::size_t(row)];
    return m_kind == Kind::Sessions ? m_snapshot->Session(shown).firstEvent : shown;
}

bool HistoryTableModel::WriteCsv(QIODevice& out) const {
    if (!m_snapshot) return false;
    return m_kind == Kind::Sessions ? HistoryCsv::WriteSessions(out, *m_snapshot, m_rows, m_now)
                                    : HistoryCsv::WriteEvents(out, *m_snapshot, m_rows);
}
