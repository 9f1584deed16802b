#include "platform/SaveFile.h"

#include <QSaveFile>

bool ReplaceFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
