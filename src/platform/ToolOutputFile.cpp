#include "platform/ToolOutputFile.h"

#include <QFile>
#include <QFileInfo>

ToolOutputFile::ToolOutputFile(QString path) : m_path(std::move(path)) {
    if (!QFileInfo::exists(m_path)) return;
    QFile::remove(m_path);
    m_before = StampOf(m_path);
    m_leftOver = m_before.exists;
}

ToolOutputFile::Stamp ToolOutputFile::StampOf(const QString& path) {
    // Read afresh: QFileInfo would otherwise answer from what it saw before.
    QFileInfo info(path);
    info.setCaching(false);
    Stamp s;
    s.exists = info.exists();
    if (!s.exists) return s;
    s.size = info.size();
    s.modified = info.lastModified().toMSecsSinceEpoch();
    s.changed = info.metadataChangeTime().toMSecsSinceEpoch();
    return s;
}

bool ToolOutputFile::WrittenByRun() const {
    const Stamp now = StampOf(m_path);
    if (!now.exists) return false;
    return !m_leftOver || !(now == m_before);
}
