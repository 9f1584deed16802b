#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <unordered_map>
#include <vector>

#include "controls/GridTypes.h"
#include "monitor/SessionFilter.h"

class CGridCtrl;
class QWidget;

// The login matrix narrowed by the filter box. The scanner goes on writing the whole matrix
// into the matrix grid, which printing and export use; while a filter is typed, a second grid
// takes the matrix grid's place and shows only the entries that match, and every alarm (a
// failure entry, the debug-logging placeholder), packed three a row in the matrix's order.
// It copies from the matrix grid only when that grid changed, so an unchanged scan costs it
// one comparison; and it maps each cell it shows back to the matrix's cell, so that a click
// acts on the session under the mouse.
class MatrixFilter : public QObject {
    Q_OBJECT
public:
    // Whether the entry of this pid and machine is an alarm, shown whatever the filter says.
    using AlarmTest = std::function<bool(const QString& pid, const QString& machine)>;
    // How often the matrix grid is looked at for changes nobody announced (find marks,
    // highlights, an entry added between scans).
    static constexpr int kPollMs = 40;

    MatrixFilter(CGridCtrl& matrix, QWidget* parent, AlarmTest isAlarm);
    ~MatrixFilter() override;

    // The grid that shows the filtered matrix; hidden while no filter is typed.
    CGridCtrl& View() { return *m_view; }
    bool Active() const { return !m_filter.IsEmpty(); }
    void SetText(const QString& text);
    // Copies the matrix again when it changed since the last copy (not while the scanner
    // holds its drawing off).
    void Refresh();

    // The matrix cell shown at (row, col) of the view, the heading row as it is; (-1, -1)
    // for a place where no entry is shown.
    CCellID ToMatrix(int row, int col) const;
    // Where the view shows a matrix cell; (-1, -1) when it is hidden.
    CCellID ToView(int row, int col) const;

    // A transient colour shown over a matrix cell, shown over the view's cell as well: at
    // once, or, while the matrix is being rewritten, at the next copy for what is left of it.
    void MirrorOverlay(int row, int col, GridColour bk, GridColour fg, int durationMs);

    // Sessions shown and in all; the alarms, always shown, are not sessions and count in
    // neither.
    int ShownSessions() const { return m_shownSessions; }
    int TotalSessions() const { return m_total; }

signals:
    void CountsChanged(bool filtered, int shown, int total);
    // The view's notifications, with the matrix's cell.
    void Notify(const GridNotify& notify);
    void ContextMenuRequested(const QPoint& globalPos);

private:
    void CopyLook();
    void CopyEntries();
    void ShowOverlayNow(int row, int col, GridColour bk, GridColour fg, int durationMs);

    CGridCtrl& m_matrix;
    CGridCtrl* m_view = nullptr;
    AlarmTest m_isAlarm;
    SessionFilter m_filter;
    QTimer m_poll;
    QElapsedTimer m_clock;

    bool m_dirty = true;
    quint64 m_seenChanges = 0;
    int m_total = 0;
    int m_shownSessions = 0;
    // Matrix entry numbers shown, in order, and for each matrix entry where it is shown (-1).
    std::vector<int> m_shown;
    std::vector<int> m_shownAt;
    // The texts each matrix entry had when last matched, with the answer, by the buffer of
    // its pid text: the scanner writes a session's cells from its record's strings, so an
    // entry whose texts are the very same strings, wherever it moved, is not matched again.
    // The strings held keep their buffers alive, so a key is never taken by another text.
    struct Matched {
        std::array<QString, 4> cells;  // all empty: never matched
        bool alarm = false;
        bool shown = false;
    };
    using MatchedByPid = std::unordered_map<const QChar*, Matched>;
    MatchedByPid m_matched;
    struct Pending {
        int row;
        int col;
        GridColour bk;
        GridColour fg;
        qint64 until;
    };
    std::vector<Pending> m_pending;
};
