#pragma once

#include <QString>
#include <memory>

class QLockFile;

// One monitor per working directory, in its window or headless: the tools' files and the
// history log there belong to it.
class MonitorLock {
public:
    static constexpr const char* kFileName = "Quorvatel.lock";

    // The lock of `directory`, held until it is destroyed. A lock left by a monitor that died
    // is taken over; a live one is never timed out. Null, with `message` saying why, when
    // another monitor holds it or the directory cannot be written in.
    static std::unique_ptr<QLockFile> Take(const QString& directory, QString& message);

    static QString AlreadyRunningMessage(const QString& directory);
    static QString CannotWriteMessage(const QString& directory);
};
