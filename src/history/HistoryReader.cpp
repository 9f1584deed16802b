#include "history/HistoryReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>

#include "scan/HistoryLog.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr qint64 kBlock = qint64(1) << 22;
// A "line" of a file without line ends (a binary file) is taken in pieces of this size.
constexpr qint64 kMaxLine = qint64(1) << 20;
constexpr qint64 kTailBytes = 4096;
// A live file's unfinished last line is taken as it is once the file has rested this long.
constexpr qint64 kSettleMs = 3000;

quint64 Identity(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return (quint64(st.st_dev) << 40) ^ quint64(st.st_ino) ^ (quint64(1) << 63);
#else
    Q_UNUSED(path);
    return 0;
#endif
}

// The hash of bytes [from, to) of a file; false when they cannot all be read.
bool RangeHash(const QString& path, qint64 from, qint64 to, uint64_t& value) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from)) return false;
    StreamHash hash;
    std::vector<char> buf(std::size_t(std::min<qint64>(kBlock, std::max<qint64>(to - from, 1))));
    for (qint64 at = from; at < to;) {
        const qint64 got = file.read(buf.data(), std::min<qint64>(qint64(buf.size()), to - at));
        if (got <= 0) return false;
        hash.Add(buf.data(), std::size_t(got));
        at += got;
    }
    value = hash.Value();
    return true;
}

uint64_t TailHash(const QString& path, qint64 start, qint64 end) {
    uint64_t value = 0;
    return RangeHash(path, std::max(start, end - kTailBytes), end, value) ? value : ~value;
}

const QRegularExpression& HistoryNamePattern() {
    // The live file's name, and the same with eight digits of a date before its extension.
    static const QRegularExpression pattern = [] {
        const QString live = QString::fromLatin1(HistoryLog::kFileName);
        const qsizetype dot = live.lastIndexOf(QLatin1Char('.'));
        return QRegularExpression(QStringLiteral("^%1(\\d{8})?%2$")
                                      .arg(QRegularExpression::escape(live.left(dot)),
                                           QRegularExpression::escape(live.mid(dot))));
    }();
    return pattern;
}

}  // namespace

HistoryReader::HistoryReader(const QString& directory) : m_directory(directory) {}

HistoryReader::~HistoryReader() = default;

bool HistoryReader::IsHistoryFileName(const QString& name) {
    return HistoryNamePattern().match(name).hasMatch();
}

std::vector<HistoryReader::FileState> HistoryReader::List(const QString& directory) {
    const QDir dir(directory);
    const QString live = QString::fromLatin1(HistoryLog::kFileName);
    QStringList names;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (IsHistoryFileName(name)) names.append(name);
    // Day archives by their date (which their names sort by), the live file after them.
    std::sort(names.begin(), names.end(), [&live](const QString& a, const QString& b) {
        if ((a == live) != (b == live)) return b == live;
        return a < b;
    });
    std::vector<FileState> files;
    for (const QString& name : names) {
        FileState f;
        f.path = dir.filePath(name);
        f.name = name;
        const QFileInfo info(f.path);
        f.size = info.size();
        f.modified = info.lastModified();
        f.identity = Identity(f.path);
        files.push_back(f);
    }
    return files;
}

void HistoryReader::Reset(const QString& reason) {
    m_store = std::make_shared<HistoryStore>();
    m_pairing = std::make_unique<SessionPairing>(*m_store);
    m_segments.clear();
    m_fileIndex.clear();
    m_fileNotes.clear();
    m_lastLineTime = HistoryTime::kUnknown;
    m_newest = HistoryTime::kUnknown;
    m_oldest = HistoryTime::kUnknown;
    m_full = false;
    ++m_generation;
    if (!reason.isEmpty()) m_reloadNote = reason;
}

bool HistoryReader::Match(const std::vector<FileState>& files, std::vector<qint64>& from,
                          std::vector<uint32_t>& linesBefore, std::vector<Segment>& matched,
                          QString& reason) {
    from.assign(files.size(), 0);
    linesBefore.assign(files.size(), 0);
    std::size_t j = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileState& f = files[i];
        qint64 p = 0;
        uint32_t lines = 0;
        while (j < m_segments.size() && p < f.size) {
            const Segment& s = m_segments[j];
            const qint64 length = s.end - s.start;
            // Said when what was read is not found again.
            const QString replaced = f.name + QStringLiteral(" was replaced");
            const bool other = s.path == f.path && f.identity != 0 && f.identity != s.identity;
            if (f.size - p < length) {
                reason = other ? replaced : f.name + QStringLiteral(" is shorter than it was");
                return false;
            }
            const bool same = f.identity != 0 && f.identity == s.identity && p == s.start;
            bool ok = false;
            if (same && f.size == s.sizeSeen && f.modified == s.modifiedSeen) {
                ok = true;  // untouched since it was read
            } else if (same) {
                ok = TailHash(f.path, s.start, s.end) == s.tailHash;
            } else {
                uint64_t value = 0;
                ok = RangeHash(f.path, p, p + length, value) && value == s.hash.Value();
            }
            if (!ok) {
                reason =
                    other ? replaced : f.name + QStringLiteral(" no longer holds what was read");
                return false;
            }
            Segment moved = s;
            moved.path = f.path;
            moved.identity = f.identity;
            moved.start = p;
            moved.end = p + length;
            moved.sizeSeen = f.size;
            moved.modifiedSeen = f.modified;
            matched.push_back(moved);
            p += length;
            lines += s.lines;
            ++j;
        }
        from[i] = p;
        linesBefore[i] = lines;
    }
    if (j < m_segments.size()) {
        reason = QFileInfo(m_segments[j].path).fileName() + QStringLiteral(" is gone");
        return false;
    }
    return true;
}

HistorySnapshot HistoryReader::Update(const Progress& progress, bool holdPartialLine) {
    if (!m_store) Reset(QString());
    // A file that cannot be read is left out, not read afresh with all the others every time.
    std::vector<FileState> files;
    for (const FileState& f : List(m_directory)) {
        if (QFileInfo(f.path).isReadable()) {
            files.push_back(f);
        } else {
            m_fileNotes[f.name].error = QStringLiteral("permission denied");
        }
    }
    std::vector<qint64> from;
    std::vector<uint32_t> linesBefore;
    std::vector<Segment> matched;
    QString reason;
    if (Match(files, from, linesBefore, matched, reason)) {
        m_segments = std::move(matched);
    } else {
        Reset(QStringLiteral("The history files changed on disk (%1): read again").arg(reason));
        matched.clear();
        Match(files, from, linesBefore, matched, reason);
    }
    qint64 total = 0;
    for (std::size_t i = 0; i < files.size(); ++i)
        total += std::max<qint64>(0, files[i].size - from[i]);
    qint64 done = 0;
    for (std::size_t i = 0; i < files.size() && !m_full; ++i) {
        const bool last = i + 1 == files.size();
        if (!ReadFile(files[i], from[i], linesBefore[i], last, holdPartialLine, done, total,
                      progress))
            break;
    }

    HistorySnapshot snap;
    snap.store = m_store;
    snap.eventCount = uint32_t(m_store->events.Size());
    snap.finishedCount = uint32_t(m_store->sessions.Size());
    snap.pending = m_pairing->Pending();
    snap.notes = Notes();
    snap.generation = m_generation;
    snap.oldest = m_oldest;
    snap.newest = m_newest;
    snap.bytesRead = m_bytesRead;
    return snap;
}

bool HistoryReader::ReadFile(const FileState& f, qint64 from, uint32_t lineNo, bool last, bool hold,
                             qint64& done, qint64 total, const Progress& progress) {
    if (from >= f.size) return true;
    FileNote& note = m_fileNotes[f.name];
    QFile file(f.path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from)) {
        note.error = file.errorString();
        return true;
    }
    note.error.clear();
    const uint16_t index = FileIndex(f.name);
    if (from == 0) m_pairing->StartFile(uint32_t(m_store->events.Size()));
    if (m_segments.empty() || m_segments.back().path != f.path || m_segments.back().end != from) {
        Segment s;
        s.path = f.path;
        s.identity = f.identity;
        s.start = s.end = from;
        m_segments.push_back(s);
    }
    Segment& seg = m_segments.back();
    const bool holdTail =
        last && hold && f.modified.msecsTo(QDateTime::currentDateTime()) < kSettleMs;

    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<char[]>(std::size_t(kBlock + kMaxLine));
    char* const buf = m_buffer.get();
    qint64 held = 0;  // bytes of an unfinished line at the start of the buffer
    bool stopped = false;
    for (bool eof = false; !eof && !m_full;) {
        const qint64 got = file.read(buf + held, kBlock);
        if (got < 0) note.error = file.errorString();
        eof = got <= 0;
        const qint64 size = held + std::max<qint64>(got, 0);
        qint64 at = 0;
        while (at < size && !m_full) {
            const auto* nl =
                static_cast<const char*>(std::memchr(buf + at, '\n', std::size_t(size - at)));
            qint64 end = nl ? nl - buf : -1;
            qint64 next = end + 1;
            if (!nl) {
                if (size - at >= kMaxLine) {
                    end = next = at + kMaxLine;
                } else if (eof && !holdTail) {
                    end = next = size;
                } else {
                    break;
                }
            }
            TakeLine(std::string_view(buf + at, std::size_t(end - at)), index, ++lineNo, note);
            ++seg.lines;
            at = next;
        }
        seg.hash.Add(buf, std::size_t(at));
        seg.end += at;
        done += at;
        m_bytesRead += at;
        held = size - at;
        std::memmove(buf, buf + at, std::size_t(held));
        if (progress && !progress(done, std::max(total, done))) {
            stopped = true;
            break;
        }
    }
    seg.tailHash = TailHash(f.path, seg.start, seg.end);
    seg.sizeSeen = -1;  // looked at afresh next time: it may have grown while it was read
    if (seg.end == seg.start) m_segments.pop_back();
    return !stopped;
}

void HistoryReader::TakeLine(std::string_view line, uint16_t file, uint32_t lineNo,
                             FileNote& note) {
    const ParsedHistoryLine p = m_parser.Parse(line);
    HistoryEvent e;
    e.tag = p.tag;
    e.flags = p.timed ? HistoryEvent::kOwnTime : 0;
    e.time = p.timed ? p.time : m_lastLineTime;
    e.pid = m_store->pids.Intern(p.pid);
    e.user = m_store->users.Intern(p.user);
    e.machine = m_store->machines.Intern(p.machine);
    e.text = m_store->texts.Intern(p.text);
    e.line = lineNo;
    e.file = file;
    const auto index = uint32_t(m_store->events.Size());
    if (index == UINT32_MAX || !m_store->events.PushBack(e)) {
        m_full = true;
        return;
    }
    m_pairing->Take(index, e);
    if (p.timed) {
        m_lastLineTime = p.time;
        m_newest = std::max(m_newest, p.time);
        m_oldest = m_oldest == HistoryTime::kUnknown ? p.time : std::min(m_oldest, p.time);
    }
    if (p.tag == HistoryTag::Other)
        ++note.unrecognised;
    else
        ++note.recognised;
    if (std::memchr(line.data(), 0, line.size())) note.binary = true;
}

uint16_t HistoryReader::FileIndex(const QString& name) {
    const auto found = m_fileIndex.constFind(name);
    if (found != m_fileIndex.constEnd()) return *found;
    // Past 65,535 files (180 years of archives) the last name stands for the rest.
    if (m_store->files.Size() >= UINT16_MAX) return uint16_t(UINT16_MAX - 1);
    const auto index = uint16_t(m_store->files.Size());
    m_store->files.PushBack(name);
    m_fileIndex.insert(name, index);
    return index;
}

QStringList HistoryReader::Notes() const {
    QStringList out;
    if (!m_reloadNote.isEmpty()) out.append(m_reloadNote);
    QStringList names = m_fileNotes.keys();
    names.sort();
    for (const QString& name : names) {
        const FileNote& n = m_fileNotes[name];
        if (!n.error.isEmpty())
            out.append(QStringLiteral("%1 could not be read: %2").arg(name, n.error));
        else if (n.binary)
            out.append(QStringLiteral("%1 holds binary data: %2 lines not recognised")
                           .arg(name)
                           .arg(n.unrecognised));
        else if (n.unrecognised > 0 && n.recognised == 0)
            out.append(QStringLiteral("%1 is not a history file: its lines are shown as they are")
                           .arg(name));
        else if (n.unrecognised > 0)
            out.append(QStringLiteral("%1: %2 lines not recognised").arg(name).arg(n.unrecognised));
    }
    if (m_full) out.append(QStringLiteral("Too many lines: the newest are not shown"));
    return out;
}
