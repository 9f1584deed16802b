#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "history/HistoryFilter.h"
#include "history/HistorySnapshot.h"

class QIODevice;

// The Sessions or the Events view over a snapshot: a list of the row numbers the filter
// keeps, in the order of the sorted column. Cells are made when the view asks for them, so
// a year of history costs four bytes a shown row.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Sessions, Events };

    explicit HistoryTableModel(Kind kind, QObject* parent = nullptr);

    // The rows of `snapshot` that pass `criteria`, in the model's order.
    void Show(std::shared_ptr<const HistorySnapshot> snapshot, const HistoryCriteria& criteria);
    // The time "still on" counts up to.
    void SetNow(int64_t now);
    int64_t Now() const { return m_now; }

    Kind ViewKind() const { return m_kind; }
    // Rows before the filter.
    int TotalRows() const;
    const std::vector<uint32_t>& Rows() const { return m_rows; }
    const HistorySnapshot* Snapshot() const { return m_snapshot.get(); }
    // A shown row's cells joined by tabs.
    QString RowText(int row) const;
    // The history line a shown row begins with (a session's first line), which names it
    // while its row number changes.
    uint32_t FirstLine(int row) const;
    bool WriteCsv(QIODevice& out) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    QString Cell(uint32_t row, int column) const;
    void Apply();

    Kind m_kind;
    std::shared_ptr<const HistorySnapshot> m_snapshot;
    HistoryCriteria m_criteria;
    int64_t m_now = 0;
    int m_sortColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<uint32_t> m_rows;
};
