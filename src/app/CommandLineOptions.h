#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "metrics/ListenAddress.h"
#include "service/ProfileEdits.h"

class QCommandLineParser;

// The options beyond --help and --version: which profile and working directory a monitor
// uses (so that one host can run one monitor per Broker), whether it runs without a window,
// where it serves its metrics, and writing a profile for a service.
class CommandLineOptions {
public:
    QString configFile;        // empty: the user's own profile
    QString workingDirectory;  // empty: the current directory
    bool headless = false;
    std::optional<ListenAddress> metricsListen;
    bool writeProfile = false;
    bool passwordFromStdin = false;  // --write-profile: the password comes on standard input
    ProfileEdits profile;            // --write-profile: what changes

    // Adds these options to `parser` (for --help and the check for unknown options).
    static void AddTo(QCommandLineParser& parser);
    // The options in `arguments` (the program's name first). Nothing, with `error` saying
    // why, when a value is malformed or missing, or the options do not go together. Options
    // this class does not know are left to the full parse once the application exists: this
    // one runs before, so that a bad value is told without a display.
    static std::optional<CommandLineOptions> Read(const QStringList& arguments, QString& error);
};
