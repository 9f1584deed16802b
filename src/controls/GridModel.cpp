#include "controls/GridModel.h"

#include <algorithm>
#include <numeric>
#include <utility>

GridModel::GridModel(const QFont& font) : m_defaultFont(font) {}

// ---------------------------------------------------------------- structure

CGridCell GridModel::NewCell(int row, int col) const {
    CGridCell cell(m_defaultFont);
    if (row > 0) cell.format = m_rows[size_t(row) - 1][size_t(col)].format;
    return cell;
}

bool GridModel::SetRowCount(int rows) {
    ++m_changes;
    if (rows < 0) return false;
    if (!m_observer.p || rows == GetRowCount()) {
        ResizeRows(rows);
        return true;
    }
    Observer& observer = *m_observer.p;
    observer.RowCountAboutToChange(rows);
    const int old = GetRowCount();
    ResizeRows(rows);
    observer.RowCountChanged(old);
    return true;
}

void GridModel::ResizeRows(int rows) {
    const int old = GetRowCount();
    if (rows == old) return;
    m_damageFrom = std::min({m_damageFrom, rows, old});
    if (rows < m_fixedRows) {
        m_fixedRows = rows;
        m_damageAll = true;
    }
    if (rows < old) {
        for (int r = rows; r < old; ++r)
            for (int c = 0; c < m_columnCount; ++c) m_selected.remove(GridCellKey(r, c));
        m_rows.resize(size_t(rows));
        m_heights.Resize(rows, m_defaultRowHeight);
        return;
    }
    m_heights.Resize(rows, m_defaultRowHeight);
    for (int r = old; r < rows; ++r) {
        std::vector<CGridCell> cells;
        cells.reserve(size_t(m_columnCount));
        m_rows.push_back(std::move(cells));
        for (int c = 0; c < m_columnCount; ++c) m_rows.back().push_back(NewCell(r, c));
    }
}

bool GridModel::SetColumnCount(int cols) {
    Changed();
    if (cols < 0) return false;
    if (!m_observer.p || cols == m_columnCount) {
        ResizeColumns(cols);
        return true;
    }
    Observer& observer = *m_observer.p;
    observer.ColumnCountAboutToChange(cols);
    const int old = m_columnCount;
    ResizeColumns(cols);
    observer.ColumnCountChanged(old);
    return true;
}

void GridModel::ResizeColumns(int cols) {
    const int old = m_columnCount;
    if (cols == old) return;
    if (cols < m_fixedCols) m_fixedCols = cols;
    if (cols < old) {
        for (int r = 0; r < GetRowCount(); ++r) {
            for (int c = cols; c < old; ++c) m_selected.remove(GridCellKey(r, c));
            m_rows[size_t(r)].resize(size_t(cols));
        }
    } else {
        // Row by row, so that each new cell can take the format of the one above it.
        for (int r = 0; r < GetRowCount(); ++r) {
            std::vector<CGridCell>& cells = m_rows[size_t(r)];
            cells.reserve(size_t(cols));
            for (int c = old; c < cols; ++c) cells.push_back(NewCell(r, c));
        }
    }
    m_columnCount = cols;
    m_widths.Resize(cols, m_defaultColumnWidth);
}

bool GridModel::SetFixedRowCount(int rows) {
    Changed();
    if (rows < 0) return false;
    if (GetRowCount() < rows && !SetRowCount(rows)) return false;
    if (m_observer.p) m_observer.p->FixedRowCountAboutToChange(rows);
    m_fixedRows = rows;
    if (m_observer.p) m_observer.p->FixedCountChanged();
    return true;
}

bool GridModel::SetFixedColumnCount(int cols) {
    Changed();
    if (cols < 0) return false;
    if (m_columnCount < cols && !SetColumnCount(cols)) return false;
    if (m_observer.p) m_observer.p->FixedColumnCountAboutToChange(cols);
    m_fixedCols = cols;
    if (m_observer.p) m_observer.p->FixedCountChanged();
    return true;
}

void GridModel::DeleteAllItems() {
    if (m_observer.p) m_observer.p->AboutToBeEmptied();
    Changed();
    m_selected.clear();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_heights.Clear();
    m_widths.Clear();
    m_columnCount = 0;
    m_fixedRows = 0;
    m_fixedCols = 0;
    if (m_observer.p) m_observer.p->Emptied();
}

const CGridCell* GridModel::GetCell(int row, int col) const {
    return IsValid(row, col) ? &m_rows[size_t(row)][size_t(col)] : nullptr;
}

CGridCell* GridModel::Cell(int row, int col) {
    ++m_changes;
    if (!IsValid(row, col)) return nullptr;
    DamageRow(row);
    return &m_rows[size_t(row)][size_t(col)];
}

void GridModel::DamageRow(int row) {
    if (m_damageAll || row < 0) return;
    if (m_damagedRow.size() <= size_t(row)) m_damagedRow.resize(size_t(row) + 1, false);
    if (m_damagedRow[size_t(row)]) return;
    m_damagedRow[size_t(row)] = true;
    m_damagedRows.push_back(row);
}

void GridModel::ClearDamage() {
    for (const int row : m_damagedRows) m_damagedRow[size_t(row)] = false;
    m_damagedRows.clear();
    m_damageFrom = INT_MAX;
    m_damageAll = false;
}

bool GridModel::ResetCell(int row, int col) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    SetState(*cell, row, col, 0);
    *cell = NewCell(row, col);
    return true;
}

// ---------------------------------------------------------------- cell attributes

void GridModel::SetState(CGridCell& cell, int row, int col, quint32 state) {
    const bool was = cell.state & GVIS_SELECTED;
    const bool now = state & GVIS_SELECTED;
    if (!was && now) m_selected.insert(GridCellKey(row, col));
    if (was && !now) m_selected.remove(GridCellKey(row, col));
    cell.state = state;
}

bool GridModel::SetItem(const GridItem& item) {
    CGridCell* cell = Cell(item.row, item.col);
    if (!cell) return false;
    // State goes through the same path as SetItemState so the selected map never drifts.
    if (item.mask & GVIF_STATE) SetState(*cell, item.row, item.col, item.state);
    if (item.mask & GVIF_TEXT) cell->text = item.text;
    if (item.mask & GVIF_IMAGE) cell->image = item.image;
    if (item.mask & GVIF_PARAM) cell->lParam = item.lParam;
    if (item.mask & GVIF_FORMAT) cell->format = item.format;
    if (item.mask & GVIF_BKCLR) cell->bkClr = item.bkClr;
    if (item.mask & GVIF_FGCLR) cell->fgClr = item.fgClr;
    if (item.mask & GVIF_FONT) cell->font = item.font;
    return true;
}

bool GridModel::GetItem(GridItem& item) const {
    const CGridCell* cell = GetCell(item.row, item.col);
    if (!cell) return false;
    if (item.mask & GVIF_TEXT) item.text = cell->text;
    if (item.mask & GVIF_IMAGE) item.image = cell->image;
    if (item.mask & GVIF_PARAM) item.lParam = cell->lParam;
    if (item.mask & GVIF_STATE) item.state = cell->state;
    if (item.mask & GVIF_FORMAT) item.format = cell->format;
    if (item.mask & GVIF_BKCLR) item.bkClr = cell->bkClr;
    if (item.mask & GVIF_FGCLR) item.fgClr = cell->fgClr;
    if (item.mask & GVIF_FONT) item.font = cell->font;
    return true;
}

bool GridModel::SetItemText(int row, int col, const QString& text) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->text = text;
    return true;
}

bool GridModel::SetItemTextAndFormat(int row, int col, const QString& text, quint32 format) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->text = text;
    cell->format = format;
    return true;
}

QString GridModel::GetItemText(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->text : QString();
}

bool GridModel::SetItemState(int row, int col, quint32 state) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    SetState(*cell, row, col, state);
    return true;
}

quint32 GridModel::GetItemState(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->state : 0;
}

bool GridModel::SetItemFormat(int row, int col, quint32 format) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->format = format;
    return true;
}

quint32 GridModel::GetItemFormat(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->format : 0;
}

bool GridModel::SetItemImage(int row, int col, int image) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->image = image;
    return true;
}

int GridModel::GetItemImage(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->image : -1;
}

bool GridModel::SetItemBkColour(int row, int col, GridColour colour) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->bkClr = colour;
    return true;
}

GridColour GridModel::GetItemBkColour(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->bkClr : 0;
}

bool GridModel::SetItemFgColour(int row, int col, GridColour colour) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->fgClr = colour;
    return true;
}

GridColour GridModel::GetItemFgColour(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->fgClr : 0;
}

bool GridModel::SetItemFont(int row, int col, const QFont& font) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->font = font;
    return true;
}

QFont GridModel::GetItemFont(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->font : m_defaultFont;
}

bool GridModel::SetItemData(int row, int col, qintptr lParam) {
    CGridCell* cell = Cell(row, col);
    if (!cell) return false;
    cell->lParam = lParam;
    return true;
}

qintptr GridModel::GetItemData(int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return cell ? cell->lParam : 0;
}

void GridModel::SetModified(bool modified, int row, int col) {
    Changed();
    if (row < 0 || col < 0) {
        m_modified = modified;
    } else if (CGridCell* cell = Cell(row, col)) {
        if (modified) {
            cell->state |= GVIS_MODIFIED;
            m_modified = true;
        } else {
            cell->state &= ~GVIS_MODIFIED;
        }
    }
    if (!m_modified)
        for (auto& cells : m_rows)
            for (CGridCell& cell : cells) cell.state &= ~GVIS_MODIFIED;
}

bool GridModel::IsCellEditable(bool gridEditable, int row, int col) const {
    const CGridCell* cell = GetCell(row, col);
    return gridEditable && cell && !(cell->state & GVIS_READONLY);
}

// ---------------------------------------------------------------- selection map

bool GridModel::IsCellSelected(int row, int col) const {
    return IsValid(row, col) && m_selected.contains(GridCellKey(row, col));
}

QList<CCellID> GridModel::GetSelectedCells() const {
    QList<CCellID> cells;
    cells.reserve(m_selected.size());
    for (quint64 key : m_selected) cells.append(GridCellOfKey(key));
    return cells;
}

CCellRange GridModel::GetSelectionBounds() const {
    CCellRange r(GetRowCount(), m_columnCount, -1, -1);
    for (quint64 key : m_selected) {
        const CCellID cell = GridCellOfKey(key);
        r.minRow = std::min(r.minRow, cell.row);
        r.minCol = std::min(r.minCol, cell.col);
        r.maxRow = std::max(r.maxRow, cell.row);
        r.maxCol = std::max(r.maxCol, cell.col);
    }
    return r;
}

// ---------------------------------------------------------------- sizes

int GridModel::GetRowHeight(int row) const {
    return row >= 0 && row < m_heights.Count() ? m_heights.Get(row) : -1;
}

bool GridModel::SetRowHeight(int row, int height) {
    Changed();
    if (row < 0 || row >= m_heights.Count() || height < 0) return false;
    m_heights.Set(row, height);
    return true;
}

int GridModel::GetColumnWidth(int col) const {
    return col >= 0 && col < m_widths.Count() ? m_widths.Get(col) : -1;
}

bool GridModel::SetColumnWidth(int col, int width) {
    Changed();
    if (col < 0 || col >= m_widths.Count() || width < 0) return false;
    m_widths.Set(col, width);
    return true;
}

// ---------------------------------------------------------------- font and sizing

void GridModel::SetFont(const QFont& font, const GridTextMetrics& metrics) {
    Changed();
    m_defaultFont = font;
    for (auto& cells : m_rows)
        for (CGridCell& cell : cells) cell.font = font;
    const GridFontMeasures m = metrics.Measure(font);
    m_margin = m.spaceWidth;
    m_defaultRowHeight = m.height + m.externalLeading + 2 * m_margin;
    m_defaultColumnWidth = 12 * m.averageCharWidth + 2 * m_margin;
}

QSize GridModel::GetCellExtent(int row, int col, const GridTextMetrics& metrics,
                               const QString& text) const {
    const CGridCell* cell = GetCell(row, col);
    QFont font = cell ? cell->font : m_defaultFont;
    if (IsFixed(row, col)) font.setWeight(QFont::DemiBold);
    QSize size = metrics.TextExtent(font, text);
    size.rwidth() += 4 * m_margin;
    size.rheight() += 2 * m_margin;
    const int image = cell ? cell->image : -1;
    if (image >= 0 && image < m_imageSizes.size()) {
        const QSize img = m_imageSizes[image];
        size.rwidth() += img.width() + 1;
        size.setHeight(std::max(size.height(), img.height() + 1));
    }
    return size;
}

CellExtentFn GridModel::ExtentsOf(const GridTextMetrics& metrics) const {
    return [this, &metrics](int row, int col) {
        return GetCellExtent(row, col, metrics, GetItemText(row, col));
    };
}

bool GridModel::AutoSizeColumn(int col, const CellExtentFn& extent) {
    Changed();
    if (col < 0 || col >= m_columnCount) return false;
    int width = 0;
    for (int r = 0; r < GetRowCount(); ++r) width = std::max(width, extent(r, col).width());
    m_widths.Set(col, width);
    return true;
}

bool GridModel::AutoSizeRow(int row, const CellExtentFn& extent) {
    Changed();
    if (row < 0 || row >= GetRowCount()) return false;
    int height = 0;
    for (int c = 0; c < m_columnCount; ++c) height = std::max(height, extent(row, c).height());
    m_heights.Set(row, height);
    return true;
}

void GridModel::AutoSize(const CellExtentFn& extent) {
    Changed();
    std::vector<int> widths(size_t(m_columnCount), 0);
    for (int r = 0; r < GetRowCount(); ++r) {
        int height = 0;
        for (int c = 0; c < m_columnCount; ++c) {
            const QSize size = extent(r, c);
            widths[size_t(c)] = std::max(widths[size_t(c)], size.width());
            height = std::max(height, size.height());
        }
        m_heights.Set(r, height);
    }
    for (int c = 0; c < m_columnCount; ++c) m_widths.Set(c, widths[size_t(c)]);
}

// ---------------------------------------------------------------- paste

QList<QStringList> GridModel::SplitPasteText(const QString& text) {
    QList<QStringList> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    rows.reserve(lines.size());
    for (qsizetype j = 0; j < lines.size(); ++j) {
        QStringList cells;
        if (lines[j].isEmpty()) {
            if (j + 1 < lines.size()) cells.append(QString());
            rows.append(cells);
            continue;
        }
        const QStringView line(lines[j]);
        qsizetype start = 0;
        for (qsizetype i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] != QLatin1Char('\t') && line[i] != QLatin1Char(','))
                continue;
            if (i > start) cells.append(line.mid(start, i - start).trimmed().toString());
            start = i + 1;
        }
        rows.append(cells);
    }
    return rows;
}

// ---------------------------------------------------------------- sort

QString GridModel::FoldForSort(const QString& text) {
    QString folded = text;
    for (QChar& ch : folded) ch = ch.toLower();
    return folded;
}

namespace {

// Replays a selection sort over ranks: at each position p the earliest best of the
// positions after p is found with a segment tree and swapped in when strictly better.
// This gives the selection sort's permutation, ties included, in O(n log n).
class SelectionSortReplay {
public:
    SelectionSortReplay(std::vector<int> ranks, bool ascending)
        : m_rank(std::move(ranks)), m_asc(ascending) {
        const int n = int(m_rank.size());
        m_size = 1;
        while (m_size < n) m_size <<= 1;
        m_tree.assign(size_t(2 * m_size), -1);
        for (int i = 0; i < n; ++i) m_tree[size_t(m_size + i)] = i;
        for (int i = m_size - 1; i > 0; --i)
            m_tree[size_t(i)] = Best(m_tree[size_t(2 * i)], m_tree[size_t(2 * i + 1)]);
    }

    // The original index of the element at each position after the sort.
    std::vector<int> Run() {
        const int n = int(m_rank.size());
        std::vector<int> order(static_cast<size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        for (int p = 0; p + 1 < n; ++p) {
            const int best = Query(p + 1, n);
            if (best >= 0 && Better(m_rank[size_t(best)], m_rank[size_t(p)])) {
                std::swap(m_rank[size_t(p)], m_rank[size_t(best)]);
                std::swap(order[size_t(p)], order[size_t(best)]);
                Update(p);
                Update(best);
            }
        }
        return order;
    }

private:
    bool Better(int a, int b) const { return m_asc ? a < b : a > b; }
    // Of two positions, the one holding the better rank, the earlier one on a tie.
    int Best(int a, int b) const {
        if (a < 0) return b;
        if (b < 0) return a;
        const int ra = m_rank[size_t(a)];
        const int rb = m_rank[size_t(b)];
        if (ra == rb) return std::min(a, b);
        return Better(ra, rb) ? a : b;
    }
    void Update(int pos) {
        for (int i = (pos + m_size) >> 1; i > 0; i >>= 1)
            m_tree[size_t(i)] = Best(m_tree[size_t(2 * i)], m_tree[size_t(2 * i + 1)]);
    }
    int Query(int from, int to) const {  // [from, to)
        int best = -1;
        for (int l = from + m_size, r = to + m_size; l < r; l >>= 1, r >>= 1) {
            if (l & 1) best = Best(best, m_tree[size_t(l++)]);
            if (r & 1) best = Best(best, m_tree[size_t(--r)]);
        }
        return best;
    }

    std::vector<int> m_rank;
    bool m_asc;
    int m_size = 1;
    std::vector<int> m_tree;
};

}  // namespace

bool GridModel::SortTextItems(int col, bool ascending, int low, int high, const CellTextFn& text) {
    Changed();
    if (col < 0 || col >= m_columnCount) return false;
    if (high == -1) high = GetRowCount();
    if (low < 0 || high > GetRowCount() || low >= high) return false;

    const int n = high - low;
    std::vector<QString> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        keys[size_t(i)] = FoldForSort(text ? text(low + i, col) : GetItemText(low + i, col));
    // Equal folded texts share a rank; the replay then only compares integers.
    std::vector<int> byKey(static_cast<size_t>(n));
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(),
              [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
    std::vector<int> ranks(static_cast<size_t>(n));
    int rank = 0;
    for (int i = 0; i < n; ++i) {
        if (i > 0 && keys[size_t(byKey[size_t(i)])] != keys[size_t(byKey[size_t(i) - 1])]) ++rank;
        ranks[size_t(byKey[size_t(i)])] = rank;
    }

    const std::vector<int> order = SelectionSortReplay(std::move(ranks), ascending).Run();
    std::vector<std::vector<CGridCell>> rows(static_cast<size_t>(n));
    std::vector<int> heights(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        rows[size_t(i)] = std::move(m_rows[size_t(low + order[size_t(i)])]);
        heights[size_t(i)] = m_heights.Get(low + order[size_t(i)]);
    }
    for (int i = 0; i < n; ++i) {
        m_rows[size_t(low + i)] = std::move(rows[size_t(i)]);
        m_heights.Set(low + i, heights[size_t(i)]);
    }
    return true;
}
