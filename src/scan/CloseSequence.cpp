#include "scan/CloseSequence.h"

#include "app/Timestamp.h"
#include "platform/WaitCursor.h"
#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"
#include "scan/ScanEngine.h"

void RunCloseSequence(ScanEngine& engine, HistoryLog& history, const Clock& clock,
                      const std::function<void()>& stopDebugLogging) {
    WaitCursor wait;
    // Off rather than a pause: a command still unwinding must not start another cycle.
    engine.Off();
    engine.StopWatchBlink(false);
    engine.StopErrorBlink(false);
    if (stopDebugLogging) stopDebugLogging();
    history.WriteHistoryLine(HistoryLog::SessionLine(
        QString::fromLatin1(HistoryLog::kRecTag), QString::fromLatin1(kPlaceholderPid),
        QString::fromLatin1(HistoryLog::kShutdownUser),
        QString::fromLatin1(HistoryLog::kShutdownMachine), CurrentTimestamp(clock)));
}
