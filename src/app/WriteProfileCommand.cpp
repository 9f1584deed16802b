#include "app/WriteProfileCommand.h"

#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/CommandLineOptions.h"
#include "app/ServiceStart.h"
#include "platform/SettingsStore.h"

namespace {

// The first line of standard input. At a terminal the user is asked for it, without echo.
std::optional<QString> ReadPassword() {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "Password: ");
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!read || line.empty()) return std::nullopt;
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

}  // namespace

int WriteProfileCommand(const CommandLineOptions& options) {
    ProfileEdits edits = options.profile;
    if (options.passwordFromStdin) {
        edits.password = ReadPassword();
        if (!edits.password) {
            ServiceStart::Complain(QStringLiteral("no password on standard input"));
            return ServiceStart::kBadStart;
        }
    }
    const std::unique_ptr<SettingsStore> store =
        options.configFile.isEmpty()
            ? std::make_unique<SettingsStore>()
            : std::make_unique<SettingsStore>(QFileInfo(options.configFile).absoluteFilePath());
    if (!edits.WriteTo(*store)) {
        ServiceStart::Complain(
            QStringLiteral("cannot write the profile %1").arg(store->FilePath()));
        return ServiceStart::kBadStart;
    }
    std::printf("%s\n", qPrintable(store->FilePath()));
    return 0;
}
