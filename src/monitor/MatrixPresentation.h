#pragma once

#include <QFont>
#include <QList>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <functional>

#include "controls/GridTypes.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"

class AppSettings;
class CGridCtrl;

// The grid options the monitor applies on every reset of the matrix. Nothing in the visible
// window changes them.
struct GridOptions {
    bool horizontalLines = false;
    bool verticalLines = false;
    bool listMode = true;
    bool editable = false;
    bool selection = true;
    bool rowResize = false;
    bool columnResize = true;
    bool cell11ReadOnly = true;
    bool fixedCellsItalic = true;
    bool singleSelection = true;

    // 0 none, 1 horizontal only, 2 vertical only, 3 both.
    int GridLinesMode() const { return (horizontalLines ? 1 : 0) | (verticalLines ? 2 : 0); }
};

// How the login matrix looks in the grid: the reset before every rebuild (headings, font,
// options, column widths) and the colour effects the scanner plays. Flashes and blinks are
// overlays that end on their own; stale colours, find marks and the steady highlights are
// stored in the cells and last until the next reset.
class MatrixPresentation : public MatrixPresenter {
public:
    static constexpr const char* kTitle = "VezAvazaz";

    static constexpr GridColour kBackground = 0xE0FFFF;
    static constexpr GridColour kWhite = 0xFFFFFF;
    static constexpr GridColour kStaleBk = kBackground;  // only the text tells a stale session
    static constexpr GridColour kStaleFg = 0xDC96C8;
    static constexpr GridColour kFlashBk = 0xDCB478;
    static constexpr GridColour kErrorBk = 0x9664FA;
    static constexpr GridColour kWatchedBk = 0x91A0F5;
    static constexpr GridColour kFindBk = 0xB4C800;
    static constexpr GridColour kFindFg = 0xFFFFFF;

    static constexpr int kFlashMs = 100;
    static constexpr int kBlinkMs = 200;

    // The font is read from `settings` at every reset.
    MatrixPresentation(CGridCtrl& grid, const AppSettings& settings);

    void SetImageList(const QList<QPixmap>& images) { m_images = images; }
    // Told of every flash and blink as it is shown, for a second view of the matrix.
    using OverlayMirror =
        std::function<void(int row, int col, GridColour bk, GridColour fg, int durationMs)>;
    void SetOverlayMirror(OverlayMirror mirror) { m_mirror = std::move(mirror); }

    // MatrixPresenter
    void ResetMatrixGrid() override;
    void MatrixChangeStarting() override { m_newEntries.clear(); }
    void NewEntryFlash(int row, int col) override;
    void StaleColours(int row, int col) override;
    void ErrorBlink(int row, int col) override;
    void WatchedBlink(int row, int col) override;
    void WatchedHighlight(int row, int col) override;
    void ErrorHighlight(int row, int col) override;
    void ShowFor(int ms) override;

    // The grid options, in the order a reset applies them.
    void ApplyGridOptions();
    // Every cell of a fixed row or column gets an italic font (when the option is on).
    void ApplyFixedCellsItalic();
    // A font chosen by the user (or the default after Reset Font): the grid adopts it,
    // headings are italic again and the rows and columns are sized to it.
    void AdoptFont(const QFont& font);

    // Find: every group first gets its lasting colours back (stale when its date is before
    // `todayNumber`, YYYYMMDD), then each group holding `upperSearchText` is marked and the
    // view ends on the last one. Returns the number of marked groups.
    int MarkFindMatches(const QString& upperSearchText, int todayNumber);

    // Whether the group at (row, first column) flashed as new in the last change of the
    // matrix: the flash is gone in a moment, but a screen reader may ask later.
    bool IsNewEntry(int row, int col) const {
        return m_newEntries.contains(qint64(row) * MatrixLayout::kColumnCount + col);
    }

private:
    // A date-time as wide as any: every DateTime column is at least this wide.
    static constexpr const char* kWidestDateTime = "8888/88/88 88:88:88";

    void FitDateTimeColumns();
    bool IsEntry(int row, int col) const;
    // The group's first cell loses its selection mark and its row is redrawn.
    void GroupStep(int row, int col);
    void Deselect(int row, int col);
    void DeselectGroup(int row, int col);
    void Paint(int row, int col, GridColour bk, GridColour fg);
    void Overlay(int row, int col, GridColour bk, GridColour fg, int durationMs);
    QString PidOf(int row, int col) const;

    CGridCtrl& m_grid;
    const AppSettings& m_settings;
    GridOptions m_options;
    QList<QPixmap> m_images;
    QSet<qint64> m_newEntries;  // row * columns + first column of each group flashed as new
    OverlayMirror m_mirror;
};
