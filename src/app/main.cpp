#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QIcon>
#include <optional>

#include "app/CommandLineOptions.h"
#include "app/QuandrixApp.h"
#include "app/ServiceStart.h"
#include "app/TraceLog.h"
#include "app/WriteProfileCommand.h"
#include "debuglog/AboutDlg.h"
#include "history/HistoryCommandLine.h"
#include "platform/SettingsStore.h"
#include "service/HeadlessMonitor.h"

namespace {
constexpr int kDefaultScreenshotDelayMs = 10000;

// The program's icon, from the same pictures the desktop menu shows.
QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/com.orvex.Quorvatel-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

// Whether the command line asks only to be told something: that needs no display.
bool AsksForHelpOrVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--") break;
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

// --help and --version print and end the program; an unknown option ends it with status 1.
void ProcessCommandLine(const QCoreApplication& app) {
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(CAboutDlg::kVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Monitors the client sessions of a Tessamy Broker. Works in the directory it is\n"
        "started in: the history log and the Tessamy tools' files live there."));
    parser.addHelpOption();
    parser.addVersionOption();
    CommandLineOptions::AddTo(parser);
    HistoryCommandLine::AddOptions(parser);
    parser.process(app);
}

// A monitor without a window needs no display: Qt's offscreen platform serves what the
// matrix model asks of fonts, whatever the caller's environment names.
int RunHeadless(int argc, char* argv[], ServiceStart& start) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ProcessCommandLine(app);
    // Its messages go to the trace log as well, so it is on unless QUORVATEL_TRACE=0.
    TraceLog::SetEnabled(qEnvironmentVariable("QUORVATEL_TRACE") != QLatin1String("0"));
    HeadlessMonitor monitor(start.ProfilePath());
    if (const int refused = monitor.Prepare()) return refused;
    start.Watch(monitor.Watch());
    monitor.Start();
    return QCoreApplication::exec();
}

QStringList Arguments(int argc, char* argv[]) {
    QStringList out;
    for (int i = 0; i < argc; ++i) out.append(QString::fromLocal8Bit(argv[i]));
    return out;
}
}  // namespace

// --help, --version and --history-sessions here, the others in CommandLineOptions; without
// options the monitor starts in its window as it always has. The environment may ask for
// diagnostics (QUORVATEL_TRACE=1) or for a picture of the window taken after a while, after
// which the monitor closes (QUORVATEL_SCREENSHOT=FILE.png, QUORVATEL_SCREENSHOT_AFTER_MS,
// default 10000).
int main(int argc, char* argv[]) {
    // The history as CSV, without a window or a display.
    if (HistoryCommandLine::Requested(argc, argv)) {
        const QCoreApplication app(argc, argv);
        return HistoryCommandLine::Run(QCoreApplication::arguments());
    }
    if (AsksForHelpOrVersion(argc, argv)) {
        const QCoreApplication app(argc, argv);
        ProcessCommandLine(app);
        return 0;
    }
    // A malformed value or options that do not go together end the program with status 2.
    QString error;
    const std::optional<CommandLineOptions> options =
        CommandLineOptions::Read(Arguments(argc, argv), error);
    if (!options) {
        ServiceStart::Complain(error);
        return ServiceStart::kBadStart;
    }
    if (options->writeProfile) {
        const QCoreApplication app(argc, argv);
        ProcessCommandLine(app);
        return WriteProfileCommand(*options);
    }
    // The working directory and the metrics endpoint are checked before a display is needed.
    ServiceStart start(*options);
    if (!start.Prepare()) return ServiceStart::kBadStart;
    if (options->headless) return RunHeadless(argc, argv, start);
    QApplication app(argc, argv);
    ProcessCommandLine(app);
    QApplication::setWindowIcon(ProgramIcon());
    TraceLog::SetEnabled(qEnvironmentVariable("QUORVATEL_TRACE") == QLatin1String("1"));

    CQuandrixApp theApp(start.WindowServices());
    start.Watch(theApp);
    if (!theApp.InitInstance()) return 1;

    const QString screenshot = qEnvironmentVariable("QUORVATEL_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        bool ok = false;
        const int after = qEnvironmentVariableIntValue("QUORVATEL_SCREENSHOT_AFTER_MS", &ok);
        theApp.ScheduleScreenshot(screenshot, ok ? after : kDefaultScreenshotDelayMs);
    }
    return theApp.Run();
}
