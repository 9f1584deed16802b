#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The rows of a recipient list control: one text per column and a check state per row.
// Sorting reorders the rows in place and moves the view's persistent indexes (selection,
// focus) with them.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        int width = 100;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    // Negative, zero or positive, as for strcmp.
    using Compare = std::function<int(const QString&, const QString&)>;

    explicit ReportModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetColumns(const QList<Column>& columns);
    const QList<Column>& Columns() const { return m_columns; }
    void SetCheckable(bool checkable);
    bool Checkable() const { return m_checkable; }
    void SetEditable(bool editable) { m_editable = editable; }

    // Inserts an unchecked row at `row` (clamped to the list); returns its index.
    int InsertRow(int row, const QStringList& texts);
    void RemoveRowAt(int row);
    void Clear();
    QString Text(int row, int column) const;
    bool SetText(int row, int column, const QString& text);
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);

    // A stable sort of all rows by the texts of `column`.
    void SortRows(int column, bool ascending, const Compare& compare);

signals:
    // A cell's text was changed by in-place editing.
    void CellEdited(int row, int column);

private:
    struct Row {
        QStringList texts;
        bool checked = false;
    };
    bool Valid(int row, int column) const;

    QList<Column> m_columns;
    QList<Row> m_rows;
    bool m_checkable = false;
    bool m_editable = false;
};
