#pragma once

#include <QFont>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// Colours are kept as 0x00BBGGRR values so that the owner's colour constants read the same
// as everywhere else in the program; they become QColor only when painting.
using GridColour = quint32;

// A cell or overlay colour of this value follows the grid's own default colour.
inline constexpr GridColour kGridDefaultColour = 0xFF000000;

inline constexpr GridColour GridRgb(int r, int g, int b) {
    return GridColour(r & 0xFF) | (GridColour(g & 0xFF) << 8) | (GridColour(b & 0xFF) << 16);
}

// Cell state bits.
inline constexpr quint32 GVIS_FOCUSED = 0x01;
inline constexpr quint32 GVIS_SELECTED = 0x02;
inline constexpr quint32 GVIS_DROPHILITED = 0x04;  // drawn with a black frame
inline constexpr quint32 GVIS_READONLY = 0x08;     // blocks editing of an editable grid
inline constexpr quint32 GVIS_MODIFIED = 0x20;     // text changed by the user

// GridItem mask bits: which fields SetItem/GetItem move.
inline constexpr quint32 GVIF_TEXT = 0x01;
inline constexpr quint32 GVIF_IMAGE = 0x02;
inline constexpr quint32 GVIF_PARAM = 0x04;
inline constexpr quint32 GVIF_STATE = 0x08;
inline constexpr quint32 GVIF_BKCLR = 0x10;
inline constexpr quint32 GVIF_FGCLR = 0x20;
inline constexpr quint32 GVIF_FORMAT = 0x40;
inline constexpr quint32 GVIF_FONT = 0x80;

// Text layout flags of a cell, with the values of the Windows text-drawing flags so that
// formats stored by owners keep their meaning. Guarded because <windows.h> defines them as
// macros with the same values.
#ifndef DT_TOP
inline constexpr quint32 DT_TOP = 0x000;
#endif
#ifndef DT_LEFT
inline constexpr quint32 DT_LEFT = 0x000;
#endif
#ifndef DT_CENTER
inline constexpr quint32 DT_CENTER = 0x001;
#endif
#ifndef DT_RIGHT
inline constexpr quint32 DT_RIGHT = 0x002;
#endif
#ifndef DT_VCENTER
inline constexpr quint32 DT_VCENTER = 0x004;
#endif
#ifndef DT_BOTTOM
inline constexpr quint32 DT_BOTTOM = 0x008;
#endif
#ifndef DT_WORDBREAK
inline constexpr quint32 DT_WORDBREAK = 0x010;
#endif
#ifndef DT_SINGLELINE
inline constexpr quint32 DT_SINGLELINE = 0x020;
#endif
#ifndef DT_NOCLIP
inline constexpr quint32 DT_NOCLIP = 0x100;
#endif
#ifndef DT_NOPREFIX
inline constexpr quint32 DT_NOPREFIX = 0x800;
#endif

// How an in-place edit began, as its first key, besides a typed character or a Qt::Key_*
// navigation key.
inline constexpr int kGridEditByMouse = 1;
inline constexpr int kGridEditByBackspace = 8;
inline constexpr int kGridEditByEnter = 13;

// Notification codes the grid sends to its owner (GridNotify::code).
inline constexpr int NM_RCLICK = -5;             // right button clicked; the focus cell after it
inline constexpr int GVN_SELCHANGING = -100;     // focus cell about to change; the old one
inline constexpr int GVN_SELCHANGED = -101;      // focus cell changed; the new one
inline constexpr int GVN_BEGINLABELEDIT = -105;  // the user is about to change a cell's text
inline constexpr int GVN_ENDLABELEDIT = -106;    // the user's change of a cell's text is done

// A cell address; (-1, -1) means no cell.
struct CCellID {
    int row = -1;
    int col = -1;

    constexpr CCellID() = default;
    constexpr CCellID(int r, int c) : row(r), col(c) {}

    // Non-negative members; whether the cell exists is the grid's question.
    constexpr bool IsValid() const { return row >= 0 && col >= 0; }
    friend constexpr bool operator==(const CCellID&, const CCellID&) = default;
};

// A cell address as one number for hashed sets and maps of cells.
inline constexpr quint64 GridCellKey(int row, int col) {
    return (quint64(quint32(col)) << 32) | quint32(row);
}
inline constexpr CCellID GridCellOfKey(quint64 key) {
    return {int(quint32(key)), int(key >> 32)};
}

// An inclusive block of cells.
struct CCellRange {
    int minRow = -1;
    int minCol = -1;
    int maxRow = -1;
    int maxCol = -1;

    constexpr CCellRange() = default;
    constexpr CCellRange(int r1, int c1, int r2, int c2)
        : minRow(r1), minCol(c1), maxRow(r2), maxCol(c2) {}

    // Well formed: non-negative and not inverted; bounds against a grid are checked there.
    constexpr bool IsValid() const {
        return minRow >= 0 && minCol >= 0 && maxRow >= minRow && maxCol >= minCol;
    }
    constexpr bool InRange(int row, int col) const {
        return row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
    }
    constexpr qint64 Count() const {
        return qint64(maxRow - minRow + 1) * qint64(maxCol - minCol + 1);
    }
    friend constexpr bool operator==(const CCellRange&, const CCellRange&) = default;
};

// Several attributes of one cell at once; `mask` (GVIF_*) says which fields count.
struct GridItem {
    int row = 0;
    int col = 0;
    quint32 mask = 0;
    quint32 state = 0;
    quint32 format = 0;
    QString text;
    int image = -1;
    GridColour bkClr = kGridDefaultColour;
    GridColour fgClr = kGridDefaultColour;
    qintptr lParam = 0;
    QFont font;
};

// What the grid tells its owner: a GVN_*/NM_* code and the cell it concerns.
struct GridNotify {
    int code = 0;
    int row = -1;
    int col = -1;
};

Q_DECLARE_METATYPE(GridNotify)
