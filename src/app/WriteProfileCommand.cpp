#include "app/WriteProfileCommand.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "app/CommandLineOptions.h"
#include "app/ServiceStart.h"
#include "platform/SettingsStore.h"

namespace {

// Ctrl+C or a hang-up at the password prompt would otherwise leave the terminal without echo.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
termios g_echoing{};

extern "C" void RestoreEchoAndEnd(int signalNumber) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_echoing);
    // The handler is reset on entry: the signal then ends the program as it would have.
    ::raise(signalNumber);
}

// The first line of standard input. At a terminal the user is asked for it, without echo.
std::optional<QString> ReadPassword() {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    bool quiet = false;
    struct sigaction previous[std::size(kEndingSignals)] = {};
    if (terminal) {
        std::fprintf(stderr, "Password: ");
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &g_echoing) == 0) {
            struct sigaction restore {};
            restore.sa_handler = RestoreEchoAndEnd;
            sigemptyset(&restore.sa_mask);
            restore.sa_flags = SA_RESETHAND;
            for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
                ::sigaction(kEndingSignals[i], &restore, &previous[i]);
            termios silent = g_echoing;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
            quiet = true;
        }
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_echoing);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    if (terminal) std::fprintf(stderr, "\n");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!read || line.empty()) return std::nullopt;
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

}  // namespace

int WriteProfileCommand(const CommandLineOptions& options) {
    const std::unique_ptr<SettingsStore> store =
        options.configFile.isEmpty()
            ? std::make_unique<SettingsStore>()
            : std::make_unique<SettingsStore>(QFileInfo(options.configFile).absoluteFilePath());
    // Saving would keep only what could be read of it, and drop the rest.
    if (!store->Readable()) {
        ServiceStart::Complain(
            QStringLiteral("the profile %1 is not a settings file: mend it or remove it first")
                .arg(store->FilePath()));
        return ServiceStart::kBadStart;
    }
    ProfileEdits edits = options.profile;
    if (options.passwordFromStdin) {
        edits.password = ReadPassword();
        if (!edits.password) {
            ServiceStart::Complain(QStringLiteral("no password on standard input"));
            return ServiceStart::kBadStart;
        }
    }
    // The save replaces the file: root changing a service's profile would leave a copy of
    // its own, private to root, that the service could no longer read.
    const QByteArray path = QFile::encodeName(store->FilePath());
    struct stat before {};
    const bool existed = ::stat(path.constData(), &before) == 0;
    if (!edits.WriteTo(*store)) {
        ServiceStart::Complain(
            QStringLiteral("cannot write the profile %1").arg(store->FilePath()));
        return ServiceStart::kBadStart;
    }
    if (existed && ::geteuid() == 0 &&
        ::chown(path.constData(), before.st_uid, before.st_gid) != 0) {
        ServiceStart::Complain(
            QStringLiteral("cannot give the profile %1 back to its owner").arg(store->FilePath()));
        return ServiceStart::kBadStart;
    }
    std::printf("%s\n", qPrintable(store->FilePath()));
    return 0;
}
