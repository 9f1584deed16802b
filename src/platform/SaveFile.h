#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data` as a whole: written beside it and renamed over it,
// so a reader never sees half a file. Where the directory refuses the temporary file, the
// file is written in place rather than not at all (never into anything but a regular file).
// False when it could not be written.
bool ReplaceFile(const QString& path, const QByteArray& data);
