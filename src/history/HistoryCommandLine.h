#pragma once

#include <QStringList>
#include <cstdint>

class QCommandLineParser;
class QIODevice;

// `quorvatel --history-sessions [--from DATE] [--to DATE] [--at DATETIME] [--user TEXT]
// [--dir DIR]`: the sessions of a working directory's history as CSV on standard output,
// without a window or a display. Exit status 0; 2 with a message on standard error for a
// bad option or date.
class HistoryCommandLine {
public:
    static constexpr int kBadUsage = 2;

    // Lists the options, for --help.
    static void AddOptions(QCommandLineParser& parser);
    // Whether the command line names one of these options (and neither --help nor --version,
    // which the program answers first).
    static bool Requested(int argc, char* argv[]);
    // `arguments` with the program's name first. `now` ends the sessions still on.
    static int Run(const QStringList& arguments, QIODevice& out, QIODevice& err, int64_t now);
    // The same on standard output and error, now being the local time.
    static int Run(const QStringList& arguments);
};
