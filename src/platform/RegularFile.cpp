#include "platform/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <errno.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace RegularFile {

Status Open(const QString& path, QFile& file, qint64 maxSize, QString* why) {
    const auto refuse = [why, maxSize](Status status, int error = 0) {
        if (!why) return status;
        if (status == Status::NotRegular)
            *why = QStringLiteral("not a regular file");
        else if (status == Status::TooLarge)
            *why = QStringLiteral("larger than %1 MB").arg((maxSize + (1 << 20) - 1) >> 20);
        else
            *why = qt_error_string(error);
        return status;
    };
#ifdef Q_OS_UNIX
    // Opened without waiting and judged by what was opened, so that nothing can be put in
    // the file's place between the look and the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return refuse(error == ENOENT || error == ENOTDIR ? Status::Missing : Status::Unreadable,
                      error);
    }
    struct stat st {};
    Status status = Status::Ok;
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        status = Status::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        status = Status::NotRegular;
    } else if (maxSize >= 0 && st.st_size > maxSize) {
        status = Status::TooLarge;
    }
    if (status != Status::Ok) {
        ::close(fd);
        return refuse(status, error);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return Status::Ok;
    error = errno;
    ::close(fd);
    return refuse(Status::Unreadable, error);
#else
    const QFileInfo info(path);
    if (!info.exists()) return refuse(Status::Missing, ENOENT);
    if (!info.isFile()) return refuse(Status::NotRegular);
    if (maxSize >= 0 && info.size() > maxSize) return refuse(Status::TooLarge);
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return Status::Ok;
    if (why) *why = file.errorString();
    return Status::Unreadable;
#endif
}

Status ReadHead(const QString& path, qint64 maxBytes, QByteArray& data, bool* truncated) {
    data.clear();
    if (truncated) *truncated = false;
    QFile file;
    const Status status = Open(path, file);
    if (status != Status::Ok) return status;
    // One byte more than wanted tells whether the file goes on.
    data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        data.clear();
        return Status::Unreadable;
    }
    if (data.size() > maxBytes) {
        data.truncate(maxBytes);
        if (truncated) *truncated = true;
    }
    return Status::Ok;
}

}  // namespace RegularFile
