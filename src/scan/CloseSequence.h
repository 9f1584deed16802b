#pragma once

#include <functional>

class Clock;
class HistoryLog;
class ScanEngine;

// The monitor's last steps before the process ends, whichever way it is closed: the
// scanner stops for good (nothing starts a cycle after it), both blinks stop, debug logging
// is switched off, and the SHUTDOWN line goes to the history log (when logging is on).
// `stopDebugLogging` may be empty while there is no debug logging to stop.
void RunCloseSequence(ScanEngine& engine, HistoryLog& history, const Clock& clock,
                      const std::function<void()>& stopDebugLogging = {});
