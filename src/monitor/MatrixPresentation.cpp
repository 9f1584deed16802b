#include "monitor/MatrixPresentation.h"

#include "controls/FindTextDlg.h"
#include "controls/GridCtrl.h"
#include "monitor/FontDescription.h"
#include "platform/BlockingWait.h"
#include "scan/LoginRecord.h"
#include "scan/MatrixLayout.h"
#include "scan/UserListReport.h"

using namespace MatrixLayout;

MatrixPresentation::MatrixPresentation(CGridCtrl& grid, const AppSettings& settings)
    : m_grid(grid), m_settings(settings) {}

// ---------------------------------------------------------------- reset

void MatrixPresentation::ResetMatrixGrid() {
    m_newEntries.clear();
    ResetToHeadings(m_grid.Model());
    m_grid.SetTitle(QString::fromLatin1(kTitle));
    m_grid.SetImageList(m_images);
    m_grid.SetEditable(false);
    m_grid.SetListMode(true);
    m_grid.SetBkColor(kBackground);

    // A stored description that cannot be read leaves the grid with the font it has.
    if (const std::optional<QFont> font = FontDescription::FontForReset(m_settings))
        m_grid.SetGridFont(*font);

    ApplyGridOptions();

    // The grid holds only its heading row here, so sizing stays cheap however large the
    // matrix that follows.
    m_grid.AutoSize();
    m_grid.AutoSizeColumns();
    FitDateTimeColumns();
    m_grid.SetRowHeight(0, m_grid.GetRowHeight(0) * 3 / 2);
    m_grid.ResetScrollBars();
    m_grid.RedrawRow(0);
}

void MatrixPresentation::FitDateTimeColumns() {
    // The headings' blanks were chosen for one particular font; with a wider one a heading
    // is narrower than the time stamps below it, and their seconds would be cut off.
    const int needed = m_grid.TextMetrics()
                           .TextExtent(m_grid.GetGridFont(), QString::fromLatin1(kWidestDateTime))
                           .width() +
                       4 * m_grid.GetMargin();
    for (int col = kDateTimeOffset; col < m_grid.GetColumnCount(); col += kGroupWidth)
        if (m_grid.GetColumnWidth(col) < needed) m_grid.SetColumnWidth(col, needed);
}

void MatrixPresentation::ApplyGridOptions() {
    m_grid.SetGridLines(m_options.GridLinesMode());
    m_grid.SetListMode(m_options.listMode);
    m_grid.SetEditable(m_options.editable);
    m_grid.EnableSelection(m_options.selection);  // clears the selection before and after
    m_grid.SetRowResize(m_options.rowResize);
    m_grid.SetColumnResize(m_options.columnResize);
    if (!m_options.cell11ReadOnly)
        m_grid.SetItemState(1, 1, m_grid.GetItemState(1, 1) & ~GVIS_READONLY);
    ApplyFixedCellsItalic();
    m_grid.SetSingleSelection(m_options.singleSelection);
}

void MatrixPresentation::ApplyFixedCellsItalic() {
    if (!m_options.fixedCellsItalic) return;
    const int rows = m_grid.GetRowCount();
    const int cols = m_grid.GetColumnCount();
    for (int row = 0; row < rows; ++row) {
        const bool fixedRow = row < m_grid.GetFixedRowCount();
        for (int col = 0; col < cols; ++col) {
            if (!fixedRow && col >= m_grid.GetFixedColumnCount()) break;
            QFont font = m_grid.GetItemFont(row, col);
            font.setItalic(true);
            m_grid.SetItemFont(row, col, font);
        }
    }
}

void MatrixPresentation::AdoptFont(const QFont& font) {
    m_grid.SetGridFont(font);
    ApplyFixedCellsItalic();
    m_grid.AutoSize();
}

// ---------------------------------------------------------------- effects

bool MatrixPresentation::IsEntry(int row, int col) const {
    return row > 0 && col >= 0 && row < m_grid.GetRowCount() &&
           col + kGroupWidth <= m_grid.GetColumnCount();
}

QString MatrixPresentation::PidOf(int row, int col) const {
    return m_grid.GetItemText(row, col + kPidOffset);
}

void MatrixPresentation::GroupStep(int row, int col) {
    Deselect(row, col);
    m_grid.RedrawRow(row);
}

void MatrixPresentation::Deselect(int row, int col) {
    const quint32 state = m_grid.GetItemState(row, col);
    if (state & GVIS_SELECTED) m_grid.SetItemState(row, col, state & ~GVIS_SELECTED);
}

void MatrixPresentation::DeselectGroup(int row, int col) {
    for (int k = 0; k < kGroupWidth; ++k) Deselect(row, col + k);
}

void MatrixPresentation::Paint(int row, int col, GridColour bk, GridColour fg) {
    for (int k = 0; k < kGroupWidth; ++k) {
        m_grid.SetItemBkColour(row, col + k, bk);
        m_grid.SetItemFgColour(row, col + k, fg);
    }
    m_grid.RedrawRow(row);
}

void MatrixPresentation::Overlay(int row, int col, GridColour bk, GridColour fg, int durationMs) {
    for (int k = 0; k < kGroupWidth; ++k) {
        m_grid.ShowOverlay(row, col + k, bk, fg, durationMs);
        if (m_mirror) m_mirror(row, col + k, bk, fg, durationMs);
    }
}

void MatrixPresentation::NewEntryFlash(int row, int col) {
    if (!IsEntry(row, col)) return;
    GroupStep(row, col);
    Overlay(row, col, kFlashBk, kWhite, kFlashMs);
    m_newEntries.insert(qint64(row) * kColumnCount + col);
}

void MatrixPresentation::StaleColours(int row, int col) {
    if (!IsEntry(row, col)) return;
    GroupStep(row, col);
    Paint(row, col, kStaleBk, kStaleFg);
}

void MatrixPresentation::ErrorBlink(int row, int col) {
    if (!IsEntry(row, col) || PidOf(row, col) == QLatin1String(kPlaceholderPid)) return;
    m_grid.EnsureVisible(row, col);
    DeselectGroup(row, col);
    Overlay(row, col, kErrorBk, kWhite, kBlinkMs);
}

void MatrixPresentation::WatchedBlink(int row, int col) {
    if (!IsEntry(row, col) || PidOf(row, col).isEmpty()) return;
    DeselectGroup(row, col);
    Overlay(row, col, kWatchedBk, kWhite, kBlinkMs);
}

void MatrixPresentation::WatchedHighlight(int row, int col) {
    if (!IsEntry(row, col) || PidOf(row, col).isEmpty()) return;
    DeselectGroup(row, col);
    Paint(row, col, kWatchedBk, kWhite);
}

void MatrixPresentation::ShowFor(int ms) {
    BlockingWait::Sleep(ms);
}

void MatrixPresentation::ErrorHighlight(int row, int col) {
    if (!IsEntry(row, col) || PidOf(row, col) == QLatin1String(kPlaceholderPid)) return;
    m_grid.EnsureVisible(row, col);
    DeselectGroup(row, col);
    Paint(row, col, kErrorBk, kWhite);
}

// ---------------------------------------------------------------- find

int MatrixPresentation::MarkFindMatches(const QString& upperSearchText, int todayNumber) {
    const int rows = m_grid.GetRowCount();
    const int cols = m_grid.GetColumnCount();

    // Earlier marks go. A session dated before today gets its stale colours back rather
    // than the plain ones, so a search never hides which sessions are stale.
    for (int row = 1; row < rows; ++row) {
        for (int col = 0; col + kGroupWidth <= cols; col += kGroupWidth) {
            const QString pid = PidOf(row, col);
            const int day =
                UserListReport::DayNumber(m_grid.GetItemText(row, col + kDateTimeOffset));
            const bool stale = !pid.isEmpty() && pid != QLatin1String(kErrorPid) &&
                               pid != QLatin1String(kPlaceholderPid) && day > 0 &&
                               day < todayNumber;
            for (int k = 0; k < kGroupWidth; ++k) {
                m_grid.SetItemBkColour(row, col + k, stale ? kStaleBk : kGridDefaultColour);
                m_grid.SetItemFgColour(row, col + k, stale ? kStaleFg : kGridDefaultColour);
            }
        }
        m_grid.RedrawRow(row);
    }

    FindGrid view;
    view.rowCount = rows;
    view.columnCount = cols;
    view.groupWidth = kGroupWidth;
    view.text = [this](int row, int col) { return m_grid.GetItemText(row, col); };
    const QList<FindMatch> matches = FindMatches(upperSearchText, view);
    for (const FindMatch& m : matches) {
        GroupStep(m.row, m.column);
        Paint(m.row, m.column, kFindBk, kFindFg);
    }
    if (!matches.isEmpty()) m_grid.EnsureVisible(matches.last().row, matches.last().column);
    return static_cast<int>(matches.size());
}
