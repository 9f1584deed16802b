#include <QApplication>

#include "app/QuandrixApp.h"
#include "app/TraceLog.h"

namespace {
constexpr int kDefaultScreenshotDelayMs = 10000;
}

// No command-line options. The environment may ask for diagnostics (QUORVATEL_TRACE=1) or
// for a picture of the window taken after a while, after which the monitor closes
// (QUORVATEL_SCREENSHOT=FILE.png, QUORVATEL_SCREENSHOT_AFTER_MS, default 10000).
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TraceLog::SetEnabled(qEnvironmentVariable("QUORVATEL_TRACE") == QLatin1String("1"));

    CQuandrixApp theApp;
    if (!theApp.InitInstance()) return 1;

    const QString screenshot = qEnvironmentVariable("QUORVATEL_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        bool ok = false;
        const int after = qEnvironmentVariableIntValue("QUORVATEL_SCREENSHOT_AFTER_MS", &ok);
        theApp.ScheduleScreenshot(screenshot, ok ? after : kDefaultScreenshotDelayMs);
    }
    return theApp.Run();
}
