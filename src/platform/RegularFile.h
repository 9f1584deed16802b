#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Reading files that another program leaves for us (a tool's output, a file the user picks).
// Only a regular file is read, and opening it never waits: a FIFO or a device in its place
// would otherwise hold the monitor until something writes into it, or never end.
namespace RegularFile {

enum class Status {
    Ok,
    Missing,     // no such file
    NotRegular,  // a FIFO, a device, a directory, a socket
    TooLarge,    // larger than the caller's limit
    Unreadable,  // there, but it cannot be opened or read
};

// Opens `path` for reading, unbuffered. A file larger than `maxSize` (when not negative) is
// refused. `why`, when given, says in a few words why a file was not opened.
Status Open(const QString& path, QFile& file, qint64 maxSize = -1, QString* why = nullptr);

// Reads at most `maxBytes` from the start of the file at `path` into `data`; a longer file
// gives its first `maxBytes` and `truncated` (when given) is set.
Status ReadHead(const QString& path, qint64 maxBytes, QByteArray& data, bool* truncated = nullptr);

}  // namespace RegularFile
