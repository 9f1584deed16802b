#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "history/HistoryLineParser.h"
#include "history/HistorySnapshot.h"
#include "history/SessionPairing.h"
#include "history/StreamHash.h"

// Reads the history files of a working directory — the day archives oldest first, then the
// live file — into a HistoryStore, pairing sessions as it goes. It only ever opens them for
// reading.
//
// Update() reads only what is new: it remembers which bytes of which file it took, and finds
// them again after the monitor renamed the live file into an archive or appended it to one
// (by the file's identity, or by a hash of the bytes where the data moved). When they are
// no longer there (a file deleted, replaced or cut short by a rotation tool), it reads all
// files afresh and says so in the notes.
class HistoryReader {
public:
    // Told the bytes read so far and the bytes to read in all; false stops the reading, which
    // the next Update() takes up where it stopped.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    explicit HistoryReader(const QString& directory);
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // `holdPartialLine`: a last line of the live file without its line end waits for the rest
    // (the monitor may be writing it), unless the file has not changed for a few seconds.
    HistorySnapshot Update(const Progress& progress = {}, bool holdPartialLine = true);

    QString Directory() const { return m_directory; }

    // "QuorvatelHistory.log" or "QuorvatelHistoryYYYYMMDD.log".
    static bool IsHistoryFileName(const QString& name);

private:
    struct FileState {
        QString path;
        QString name;
        qint64 size = 0;
        QDateTime modified;
        quint64 identity = 0;  // device and inode where the system tells them; 0: unknown
    };
    // A run of bytes taken from one file, in the order they were read.
    struct Segment {
        QString path;
        quint64 identity = 0;
        qint64 start = 0;
        qint64 end = 0;
        uint32_t lines = 0;
        StreamHash hash;
        uint64_t tailHash = 0;  // of its last bytes, to see cheaply that it is still there
        // The file as last seen: unchanged, it is not looked into again.
        qint64 sizeSeen = -1;
        QDateTime modifiedSeen;
    };
    struct FileNote {
        qint64 recognised = 0;
        qint64 unrecognised = 0;
        bool binary = false;
        QString error;
    };

    static std::vector<FileState> List(const QString& directory);
    // Where each file's new bytes begin, the segments now matched to the files, and the line
    // numbers they reach; false when what was read before is not all there.
    bool Match(const std::vector<FileState>& files, std::vector<qint64>& from,
               std::vector<uint32_t>& linesBefore, std::vector<Segment>& matched, QString& reason);
    void Reset(const QString& reason);
    bool ReadFile(const FileState& f, qint64 from, uint32_t lineNo, bool last, bool hold,
                  qint64& done, qint64 total, const Progress& progress);
    void TakeLine(std::string_view line, uint16_t file, uint32_t lineNo, FileNote& note);
    uint16_t FileIndex(const QString& name);
    QStringList Notes() const;

    QString m_directory;
    std::shared_ptr<HistoryStore> m_store;
    std::unique_ptr<SessionPairing> m_pairing;
    HistoryLineParser m_parser;
    std::vector<Segment> m_segments;
    QHash<QString, uint16_t> m_fileIndex;
    QHash<QString, FileNote> m_fileNotes;
    QString m_reloadNote;
    uint64_t m_generation = 0;
    int64_t m_lastLineTime = HistoryTime::kUnknown;
    int64_t m_newest = HistoryTime::kUnknown;
    int64_t m_oldest = HistoryTime::kUnknown;
    std::unique_ptr<char[]> m_buffer;
    bool m_full = false;  // the store cannot take more lines
    qint64 m_bytesRead = 0;
};
