#pragma once

#include <QString>
#include <QStringList>

#include "controls/GridTypes.h"

class GridModel;

// How sessions sit in the grid: one heading row, then groups of four cells (Pid, UserId,
// Machine, DateTime), three groups side by side, filled left to right in login order.
namespace MatrixLayout {

inline constexpr int kGroupWidth = 4;
inline constexpr int kGroupsPerRow = 3;
inline constexpr int kColumnCount = kGroupWidth * kGroupsPerRow;
inline constexpr int kPidOffset = 0;
inline constexpr int kUserOffset = 1;
inline constexpr int kMachineOffset = 2;
inline constexpr int kDateTimeOffset = 3;

// Entry cells: one line, vertically centred, left-aligned.
inline constexpr quint32 kEntryFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
// Headings: word-break, left-aligned.
inline constexpr quint32 kHeadingFormat = DT_LEFT | DT_WORDBREAK;

// The headings; their blanks make the automatic column widths.
inline constexpr const char* kHeadingText =
    " PID  ,    UserId     ,        Machine          ,   DateTime  ,";

// The twelve headings, in column order.
QStringList Headings();

// The grid emptied down to the heading row with its twelve headings.
void ResetToHeadings(GridModel& grid);

}  // namespace MatrixLayout
