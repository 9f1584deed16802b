#pragma once

#include <QString>

// A file a tool is about to write: what an earlier run left there is removed before the
// run, and afterwards only a file this run wrote counts. When the old file cannot be
// removed (a read-only directory, a file held open), it is told apart by its time stamps
// and size: unchanged means the tool wrote nothing.
class ToolOutputFile {
public:
    // Removes the file at `path`, remembering it when it stays.
    explicit ToolOutputFile(QString path);

    // The file exists and was written after construction.
    bool WrittenByRun() const;
    // The old file could not be removed before the run.
    bool LeftOver() const { return m_leftOver; }
    const QString& Path() const { return m_path; }

private:
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0;  // ms since the epoch
        qint64 changed = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const QString& path);

    QString m_path;
    bool m_leftOver = false;
    Stamp m_before;
};
