#include "monitor/RowMenu.h"

#include "scan/LoginRecord.h"

namespace {

const QLatin1String kUserIdHeading("UserId");
const QLatin1String kMachineHeading("Machine");

// Column of the Machine cell after a click on the UserId cell of a group.
constexpr int kUserToMachine = 1;

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
        const QString heading = text(0, click.col).trimmed();
        const int r = click.row;
        const int c = click.col;
        bool chosen = false;
        if (heading == kUserIdHeading) {
            out.watched.userId = text(r, c);
            out.watched.pid = text(r, c - 1);
            out.watched.machine = text(r, c + 1);
            out.watched.dateTime = text(r, c + 2);
            out.position = CCellID(r, c + kUserToMachine);
            chosen = true;
        } else if (heading == kMachineHeading) {
            out.watched.machine = text(r, c);
            out.watched.pid = text(r, c - 2);
            out.watched.userId = text(r, c - 1);
            out.watched.dateTime = text(r, c + 1);
            chosen = true;
        }
        if (chosen && out.watched.pid != QLatin1String(kErrorPid)) {
            out.menu.vantrace = true;
            out.menu.sendMessage = true;
        }
    }

    // Only the watched session can be chosen for debug logging while it runs.
    if (click.traceActive && !click.watchedKey.isEmpty() && click.watchedKey != out.watched.pid)
        out.menu.vantrace = false;
    return out;
}
