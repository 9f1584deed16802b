#include "app/MonitorLock.h"

#include <QDir>
#include <QLockFile>

#include "platform/SettingsStore.h"

QString MonitorLock::AlreadyRunningMessage(const QString& directory) {
    return QString::fromLatin1(SettingsStore::kApplication) +
           QStringLiteral(" is already running in ") + QDir::toNativeSeparators(directory) +
           QStringLiteral(
               ".\n\nOnly one monitor can work in a directory: the tools' files and "
               "the history log there belong to it.");
}

QString MonitorLock::CannotWriteMessage(const QString& directory) {
    return QString::fromLatin1(SettingsStore::kApplication) + QStringLiteral(" cannot write in ") +
           QDir::toNativeSeparators(directory) +
           QStringLiteral(
               ".\n\nThe history log and the files the Tessamy tools exchange with the monitor "
               "are kept in the directory it is started in: start it in a directory you can "
               "write in.");
}

std::unique_ptr<QLockFile> MonitorLock::Take(const QString& directory, QString& message) {
    auto lock =
        std::make_unique<QLockFile>(QDir(directory).filePath(QString::fromLatin1(kFileName)));
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) return lock;
    message = lock->error() == QLockFile::LockFailedError ? AlreadyRunningMessage(directory)
                                                          : CannotWriteMessage(directory);
    return nullptr;
}
