#pragma once

#include <functional>

// Waiting without freezing the window: the calling code keeps its program order, while a
// local event loop handles everything but user input. Paints, timers and process
// notifications are delivered; keys and mouse clicks stay queued until the wait is over.
// Timer handlers must therefore check whether a cycle or command is already running.
namespace BlockingWait {

// Delivers what is pending (paints included) without waiting and without user input.
void PumpPaint();

// Waits ms milliseconds, keeping the window painted.
void Sleep(int ms);

// Waits until done() holds or timeoutMs has passed; returns done(). `done` is checked
// after every event and at least every 10 ms.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace BlockingWait
