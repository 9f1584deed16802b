#include "monitor/MatrixDescriptions.h"

#include <QStringList>

#include "controls/GridCtrl.h"
#include "monitor/MatrixPresentation.h"
#include "scan/LoginRecord.h"
#include "scan/MatrixLayout.h"
#include "scan/ScanEngine.h"

using namespace MatrixLayout;

MatrixDescriptions::MatrixDescriptions(const CGridCtrl& grid,
                                       const MatrixPresentation& presentation,
                                       const ScanEngine& engine)
    : m_grid(grid), m_presentation(presentation), m_engine(engine) {}

QString MatrixDescriptions::Describe(int row, int col) const {
    if (row < m_grid.GetFixedRowCount() || col < 0 || col >= kColumnCount) return QString();
    const int group = col - col % kGroupWidth;
    const QString pid = m_grid.GetItemText(row, group + kPidOffset);
    if (pid.isEmpty()) return QString();  // an empty place after the last session

    QStringList meanings;
    const bool failure = IsFailurePid(pid);
    // A failure entry flashes as it comes, like a session, but it is none.
    if (failure)
        meanings.append(QLatin1String(kFailure));
    else if (m_presentation.IsNewEntry(row, group))
        meanings.append(QLatin1String(kNew));
    // Stale sessions keep their own text colour; nothing else paints it.
    if (m_grid.GetItemFgColour(row, group) == MatrixPresentation::kStaleFg)
        meanings.append(QLatin1String(kStale));
    if (IsWatched(row, group)) meanings.append(QLatin1String(kWatched));
    if (m_grid.GetItemBkColour(row, group) == MatrixPresentation::kFindBk)
        meanings.append(QLatin1String(kFound));
    return meanings.join(QStringLiteral("; "));
}

bool MatrixDescriptions::IsWatched(int row, int group) const {
    if (!m_engine.TraceActive()) return false;
    const QString pid = m_grid.GetItemText(row, group + kPidOffset);
    const QString watchedPid =
        m_engine.Status(ScanStatus::WatchedPid).section(QLatin1Char(' '), 0, 0);
    // The watched user's place while the session is not there yet.
    if (pid == QLatin1String(kPlaceholderPid)) return watchedPid == pid;
    return pid == watchedPid &&
           m_grid.GetItemText(row, group + kUserOffset) ==
               m_engine.Status(ScanStatus::WatchedUser) &&
           m_grid.GetItemText(row, group + kMachineOffset) ==
               m_engine.Status(ScanStatus::WatchedMachine);
}
