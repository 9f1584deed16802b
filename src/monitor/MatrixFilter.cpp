#include "monitor/MatrixFilter.h"

#include <QWidget>
#include <algorithm>
#include <utility>

#include "controls/GridCtrl.h"
#include "scan/MatrixLayout.h"

using namespace MatrixLayout;

namespace {

bool SameString(const QString& a, const QString& b) {
    // The matrix's cells are written once and shared: the same buffer is the same text.
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

CCellID EntryCell(int entry, int offset) {
    return {1 + entry / kGroupsPerRow, entry % kGroupsPerRow * kGroupWidth + offset};
}

}  // namespace

MatrixFilter::MatrixFilter(CGridCtrl& matrix, QWidget* parent, AlarmTest isAlarm)
    : QObject(parent), m_matrix(matrix), m_isAlarm(std::move(isAlarm)) {
    m_view = new CGridCtrl(0, 0, 0, 0, parent);
    m_view->setObjectName(QStringLiteral("filteredMatrix"));
    m_view->hide();
    // Sorting or resizing the view would be undone by the next copy.
    m_view->SetHeaderSort(false);
    m_view->SetColumnResize(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &CGridCtrl::Notify, this, [this](GridNotify n) {
        const CCellID cell = ToMatrix(n.row, n.col);
        n.row = cell.row;
        n.col = cell.col;
        emit Notify(n);
    });
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        emit ContextMenuRequested(m_view->viewport()->mapToGlobal(pos));
    });
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &MatrixFilter::Refresh);
    m_clock.start();
}

MatrixFilter::~MatrixFilter() = default;

void MatrixFilter::SetText(const QString& text) {
    const QStringList before = m_filter.Words();
    m_filter.SetText(text);
    if (m_filter.Words() == before) return;
    m_matched.clear();
    m_pending.clear();
    if (!Active()) {
        m_poll.stop();
        m_dirty = true;
        m_shown.clear();
        m_shownAt.clear();
        const bool focused = m_view->hasFocus();
        m_matrix.show();
        m_view->hide();
        if (focused) m_matrix.setFocus();
        emit CountsChanged(false, 0, 0);
        return;
    }
    m_dirty = true;
    Refresh();
    if (m_view->isHidden()) {
        m_view->setGeometry(m_matrix.geometry());
        m_view->show();
        m_view->raise();
        m_matrix.hide();
    }
    m_poll.start();
}

void MatrixFilter::Refresh() {
    if (!Active() || !m_matrix.GetRedraw()) return;
    if (!m_dirty && m_matrix.ChangeCount() == m_seenChanges) return;
    const std::vector<int> shownBefore = m_shown;
    m_view->SetRedraw(false);
    CopyLook();
    CopyEntries();
    m_view->SetRedraw(true);
    m_dirty = false;
    m_seenChanges = m_matrix.ChangeCount();
    // As the matrix after a rebuild, the view ends on its last entry when entries came or went.
    if (m_shown != shownBefore && !m_shown.empty()) {
        const CCellID last = EntryCell(static_cast<int>(m_shown.size()) - 1, 0);
        m_view->EnsureVisible(last.row, last.col);
    }
    const qint64 now = m_clock.elapsed();
    for (const Pending& p : std::exchange(m_pending, {}))
        if (p.until > now) ShowOverlayNow(p.row, p.col, p.bk, p.fg, int(p.until - now));
    emit CountsChanged(true, m_shownSessions, m_total);
}

void MatrixFilter::CopyLook() {
    const GridModel& from = m_matrix.Model();
    GridModel& to = m_view->Model();
    m_view->SetTitle(m_matrix.GetTitle());
    m_view->SetBkColor(m_matrix.GetBkColor());
    m_view->SetGridLines(m_matrix.GetGridLines());
    m_view->SetListMode(m_matrix.GetListMode());
    m_view->SetEditable(false);
    m_view->SetSingleSelection(m_matrix.GetSingleSelection());
    m_view->SetRowResize(false);
    if (!(m_view->GetGridFont() == m_matrix.GetGridFont()))
        m_view->SetGridFont(m_matrix.GetGridFont());
    if (to.GetColumnCount() != from.GetColumnCount()) to.SetColumnCount(from.GetColumnCount());
    if (to.GetRowCount() < 1) to.SetRowCount(1);
    if (to.GetFixedRowCount() != 1) to.SetFixedRowCount(1);
    for (int col = 0; col < from.GetColumnCount(); ++col)
        if (to.GetColumnWidth(col) != from.GetColumnWidth(col))
            to.SetColumnWidth(col, from.GetColumnWidth(col));
}

void MatrixFilter::ShowOverlayNow(int row, int col, GridColour bk, GridColour fg, int durationMs) {
    const CCellID at = ToView(row, col);
    if (at.row > 0) m_view->ShowOverlay(at.row, at.col, bk, fg, durationMs);
}

namespace {

void CopyCell(const GridModel& from, CCellID src, GridModel& to, CCellID dst) {
    const CGridCell* had = from.GetCell(src.row, src.col);
    const CGridCell* has = to.GetCell(dst.row, dst.col);
    if (!had || !has) return;
    if (!SameString(had->text, has->text)) to.SetItemText(dst.row, dst.col, had->text);
    if (had->format != has->format) to.SetItemFormat(dst.row, dst.col, had->format);
    if (had->bkClr != has->bkClr) to.SetItemBkColour(dst.row, dst.col, had->bkClr);
    if (had->fgClr != has->fgClr) to.SetItemFgColour(dst.row, dst.col, had->fgClr);
    if (!(had->font == has->font)) to.SetItemFont(dst.row, dst.col, had->font);
}

}  // namespace

void MatrixFilter::CopyEntries() {
    const GridModel& from = m_matrix.Model();
    GridModel& to = m_view->Model();
    const int cols = from.GetColumnCount();
    for (int col = 0; col < cols; ++col) CopyCell(from, {0, col}, to, {0, col});
    if (from.GetRowCount() > 0 && to.GetRowHeight(0) != from.GetRowHeight(0))
        to.SetRowHeight(0, from.GetRowHeight(0));

    // Which entries show. Entries past the matrix's columns are not laid out by the scanner.
    const int entries = cols < kColumnCount ? 0 : (from.GetRowCount() - 1) * kGroupsPerRow;
    m_shown.clear();
    m_shownAt.assign(static_cast<size_t>(std::max(entries, 0)), -1);
    m_total = 0;
    m_shownSessions = 0;
    // The answers kept are those of the entries still in the matrix, wherever they moved.
    MatchedByPid kept;
    kept.reserve(m_matched.size());
    static const QString kNone;
    const QString* cells[kGroupWidth];
    for (int n = 0; n < entries; ++n) {
        bool empty = true;
        for (int k = 0; k < kGroupWidth; ++k) {
            const CCellID at = EntryCell(n, k);
            const CGridCell* cell = from.GetCell(at.row, at.col);
            cells[k] = cell ? &cell->text : &kNone;
            if (!cells[k]->isEmpty()) empty = false;
        }
        if (empty) continue;
        const QChar* key = cells[kPidOffset]->constData();
        auto node = m_matched.extract(key);
        if (node.empty()) node = kept.extract(key);  // another entry of the same pid text
        Matched& seen = node.empty() ? kept[key] : kept.insert(std::move(node)).position->second;
        bool same = true;
        for (int k = 0; k < kGroupWidth && same; ++k)
            same = SameString(*cells[k], seen.cells[size_t(k)]);
        if (!same) {
            for (int k = 0; k < kGroupWidth; ++k) seen.cells[size_t(k)] = *cells[k];
            seen.alarm =
                m_isAlarm && m_isAlarm(seen.cells[kPidOffset], seen.cells[kMachineOffset]);
            seen.shown = seen.alarm || m_filter.Matches(seen.cells.data(), kGroupWidth);
        }
        if (!seen.alarm) ++m_total;
        if (!seen.shown) continue;
        if (!seen.alarm) ++m_shownSessions;
        m_shownAt[static_cast<size_t>(n)] = static_cast<int>(m_shown.size());
        m_shown.push_back(n);
    }
    m_matched.swap(kept);

    // The shown entries packed, three a row; places past the last one stay empty.
    const int shown = static_cast<int>(m_shown.size());
    const int rows = 1 + (shown + kGroupsPerRow - 1) / kGroupsPerRow;
    if (to.GetRowCount() != rows) to.SetRowCount(rows);
    const int rowHeight = from.GetRowCount() > 1 ? from.GetRowHeight(1) : to.GetDefaultRowHeight();
    for (int k = 0; k < shown; ++k) {
        const CCellID src = EntryCell(m_shown[size_t(k)], 0);
        const CCellID dst = EntryCell(k, 0);
        for (int c = 0; c < kGroupWidth; ++c)
            CopyCell(from, {src.row, src.col + c}, to, {dst.row, dst.col + c});
        if (dst.col == 0 && to.GetRowHeight(dst.row) != rowHeight)
            to.SetRowHeight(dst.row, rowHeight);
    }
    for (int k = shown; k < (rows - 1) * kGroupsPerRow; ++k) {
        const CCellID dst = EntryCell(k, 0);
        for (int c = 0; c < kGroupWidth; ++c)
            if (!to.GetItemText(dst.row, dst.col + c).isEmpty() ||
                to.GetItemBkColour(dst.row, dst.col + c) != kGridDefaultColour)
                to.ResetCell(dst.row, dst.col + c);
    }
}

CCellID MatrixFilter::ToMatrix(int row, int col) const {
    if (!Active() || row <= 0 || col < 0) return {row, col};
    if (col >= kColumnCount) return {-1, -1};
    const size_t k = size_t(row - 1) * kGroupsPerRow + size_t(col / kGroupWidth);
    if (k >= m_shown.size()) return {-1, -1};
    return EntryCell(m_shown[k], col % kGroupWidth);
}

CCellID MatrixFilter::ToView(int row, int col) const {
    if (!Active() || row <= 0 || col < 0) return {row, col};
    if (col >= kColumnCount) return {-1, -1};
    const size_t n = size_t(row - 1) * kGroupsPerRow + size_t(col / kGroupWidth);
    if (n >= m_shownAt.size() || m_shownAt[n] < 0) return {-1, -1};
    return EntryCell(m_shownAt[n], col % kGroupWidth);
}

void MatrixFilter::MirrorOverlay(int row, int col, GridColour bk, GridColour fg, int durationMs) {
    if (!Active()) return;
    if (!m_dirty && m_matrix.ChangeCount() == m_seenChanges && m_matrix.GetRedraw()) {
        ShowOverlayNow(row, col, bk, fg, durationMs);
        return;
    }
    m_pending.push_back({row, col, bk, fg, m_clock.elapsed() + durationMs});
}
