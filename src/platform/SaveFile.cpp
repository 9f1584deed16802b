#include "platform/SaveFile.h"

#include <QFileInfo>
#include <QSaveFile>

bool ReplaceFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    // Written in place only into a regular file: opening a FIFO to write waits for a reader.
    const QFileInfo existing(path);
    file.setDirectWriteFallback(existing.isFile() || !existing.exists());
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
