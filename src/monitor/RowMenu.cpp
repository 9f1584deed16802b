#include "monitor/RowMenu.h"

#include "scan/LoginRecord.h"
#include "scan/MatrixLayout.h"

using namespace MatrixLayout;

namespace {

// The heading of a group's column, without the blanks that set the column's width.
QString Heading(int offset) {
    return Headings().at(offset).trimmed();
}

}  // namespace

RightClickOutcome RightClickOnCell(const RightClick& click) {
    RightClickOutcome out;
    out.watched = click.watched;
    out.position = CCellID(click.row, click.col);

    const auto text = [&click](int row, int col) {
        return click.cellText && col >= 0 ? click.cellText(row, col) : QString();
    };
    const bool onCell = click.row >= 0 && click.col >= 0 && click.row < click.rowCount;

    if (!onCell) {
        // Beside the cells of an empty matrix: debug logging for all clients.
        if (click.rowCount <= 1 && !click.traceActive) {
            out.clearWatchedKey = true;
            out.watched = WatchedSession{};
            out.position = CCellID(1, 2);
            out.menu.vantrace = true;
        }
        return out;
    }

    if (click.row > 0) {
        // The heading tells which cell of its group was clicked.
        static const QString userHeading = Heading(kUserOffset);
        static const QString machineHeading = Heading(kMachineOffset);
        const QString heading = text(0, click.col).trimmed();
        const int offset = heading == userHeading      ? kUserOffset
                           : heading == machineHeading ? kMachineOffset
                                                       : -1;
        if (offset >= 0) {
            const int r = click.row;
            const int first = click.col - offset;
            out.watched.pid = text(r, first + kPidOffset);
            out.watched.userId = text(r, first + kUserOffset);
            out.watched.machine = text(r, first + kMachineOffset);
            out.watched.dateTime = text(r, first + kDateTimeOffset);
            // Either cell leaves the session's Machine cell as the position.
            out.position = CCellID(r, first + kMachineOffset);
            if (out.watched.pid != QLatin1String(kErrorPid)) {
                out.menu.vantrace = true;
                out.menu.sendMessage = true;
            }
        }
    }

    // Only the watched session can be chosen for debug logging while it runs.
    if (click.traceActive && !click.watchedKey.isEmpty() && click.watchedKey != out.watched.pid)
        out.menu.vantrace = false;
    return out;
}
