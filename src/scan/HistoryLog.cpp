#include "scan/HistoryLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Timestamp.h"
#include "app/TraceLog.h"
#include "platform/Clock.h"

namespace {

bool AppendFileTo(const QString& from, const QString& to) {
    QFile src(from);
    QFile dst(to);
    if (!src.open(QIODevice::ReadOnly) || !dst.open(QIODevice::Append)) return false;
    const QByteArray data = src.readAll();
    return dst.write(data) == data.size() && dst.flush();
}

}  // namespace

HistoryLog::HistoryLog(const Clock& clock, const QString& workingDirectory, TraceLog* trace)
    : m_clock(clock),
      m_trace(trace),
      m_path(QDir(workingDirectory).filePath(QString::fromLatin1(kFileName))) {}

HistoryLog::~HistoryLog() {
    CloseHeldFile();
}

void HistoryLog::CloseHeldFile() {
    if (m_heldFd < 0) return;
    ::close(m_heldFd);
    m_heldFd = -1;
}

QString HistoryLog::Today() const {
    // YYYYMMDD, as the time stamp text gives it, without formatting the whole stamp.
    const QDate d = m_clock.Now().date();
    if (d.year() < 1000 || d.year() > 9999) return DateNumberText(CurrentTimestamp(m_clock));
    return QString::number(d.year() * 10000 + d.month() * 100 + d.day());
}

QString HistoryLog::ArchivePath(const QString& yyyymmdd) const {
    const qsizetype dot = m_path.lastIndexOf(QLatin1Char('.'));
    return m_path.left(dot) + yyyymmdd + QStringLiteral(".log");
}

void HistoryLog::ArchiveCurrentFile(const QString& yyyymmdd) {
    CloseHeldFile();  // the next line opens the new file
    const QString archive = ArchivePath(yyyymmdd);
    bool moved = false;
    if (!QFileInfo::exists(archive)) {
        moved = QFile::rename(m_path, archive);
    } else if (AppendFileTo(m_path, archive)) {
        // Its lines are safe in the archive; a file that cannot be removed is emptied instead.
        if (!QFile::remove(m_path)) QFile::resize(m_path, 0);
        moved = true;
    }
    if (!moved && m_trace) {
        m_trace->Trace("[Error] Failed to Rename %s %s", qPrintable(m_path), qPrintable(archive));
    }
}

void HistoryLog::StartEmptyFile() {
    CloseHeldFile();
    const QFileInfo info(m_path);
    if (info.exists() && info.size() > 0)
        ArchiveCurrentFile(info.lastModified().toString(QStringLiteral("yyyyMMdd")));
    // After a failed archive the old lines stay where they are rather than being truncated.
    if (!QFileInfo::exists(m_path)) {
        QFile f(m_path);
        if (f.open(QIODevice::WriteOnly)) f.close();
    }
}

void HistoryLog::Start(bool enabled) {
    m_historyDate = Today();
    m_enabled = enabled;
    if (m_enabled) StartEmptyFile();
}

void HistoryLog::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    if (m_enabled) StartEmptyFile();
}

void HistoryLog::WriteHistoryLine(const QString& line) {
    if (line.isEmpty() || !m_enabled) return;
    const QString today = Today();
    if (m_historyDate.isEmpty()) {
        m_historyDate = today;
    } else if (today > m_historyDate) {
        const QString oldDate = m_historyDate;
        m_historyDate = today;
        // An empty file has nothing to archive; every archive holds whole days.
        if (QFileInfo(m_path).size() > 0) ArchiveCurrentFile(oldDate);
    }
    m_waiting.push_back(OnePhysicalLine(line).toUtf8());
    if (m_waiting.size() > static_cast<size_t>(kMaxWaitingLines)) {
        m_waiting.pop_front();
        if (m_dropped++ == 0 && m_trace)
            m_trace->Trace("[Error] History lines dropped: more than %d waiting", kMaxWaitingLines);
    }
    FlushPending();
}

qint64 HistoryLog::WriteBytes(int fd, const QByteArray& bytes) {
    return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
}

void HistoryLog::FlushPending() {
    if (m_waiting.empty()) return;
    QString problem;
    // Opened in append mode by the system, created when missing. Each line goes with a write
    // of its own, so a failure is known at once and belongs to one line.
    const int fd = m_heldFd >= 0 ? m_heldFd
                                 : ::open(QFile::encodeName(m_path).constData(),
                                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    m_heldFd = -1;
    if (fd < 0) {
        problem = qt_error_string(errno);
    } else {
        while (!m_waiting.empty()) {
            const QByteArray& bytes = m_waiting.front();
            errno = 0;
            const qint64 written = WriteBytes(fd, bytes);
            if (written != bytes.size()) {
                problem = written < 0 && errno != 0 ? qt_error_string(errno)
                                                    : QStringLiteral("short write");
                // Half a line would glue itself to the next one: take it back.
                struct stat st {};
                if (written > 0 && ::fstat(fd, &st) == 0)
                    (void)!::ftruncate(fd, st.st_size - written);
                break;
            }
            m_waiting.pop_front();
        }
        // After a failure the next attempt opens the file afresh, as without a hold.
        if (m_holds > 0 && problem.isEmpty())
            m_heldFd = fd;
        else
            ::close(fd);
    }
    ReportState(problem);
}

void HistoryLog::ReportState(const QString& problem) {
    const bool failing = !problem.isEmpty();
    if (failing == m_failing && !failing) return;
    if (failing && !m_failing && m_trace)
        m_trace->Trace("[Error] Failed to write %s: %s", qPrintable(m_path), qPrintable(problem));
    if (!failing && m_trace) m_trace->Trace("History written again: %s", qPrintable(m_path));
    m_failing = failing;
    if (!failing) m_dropped = 0;
    if (m_statusHandler) m_statusHandler(problem, WaitingLines());
}

QString HistoryLog::OnePhysicalLine(QString line) {
    const auto breaksLine = [](char16_t c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
    };
    const qsizetype body = line.size() - (line.endsWith(QLatin1Char('\n')) ? 1 : 0);
    // Read through the const view: the line is copied only when something is replaced.
    const QString& view = line;
    for (qsizetype i = 0; i < body; ++i)
        if (breaksLine(view[i].unicode())) line[i] = QChar(kPlaceholder);
    return line;
}

QString HistoryLog::Field(const QString& text, int width) {
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

namespace {

// Appends "%-N.Ns" of `text` to `line`.
void AppendField(QString& line, const QString& text, int width) {
    const qsizetype n = qMin<qsizetype>(text.size(), width);
    line.append(QStringView(text).left(n));
    for (qsizetype i = n; i < width; ++i) line.append(QLatin1Char(' '));
}

}  // namespace

QString HistoryLog::SessionLine(const QString& tag, const QString& pid, const QString& name,
                                const QString& machine, const QString& datetime,
                                const QString& tail) {
    QString line;
    line.reserve(tag.size() + 10 + 20 + 20 + 3 + datetime.size() + tail.size());
    line.append(tag);
    AppendField(line, pid, 10);
    line.append(QLatin1Char(' '));
    AppendField(line, name, 20);
    line.append(QLatin1Char(' '));
    AppendField(line, machine, 20);
    line.append(QLatin1Char(' '));
    line.append(datetime).append(tail);
    return line;
}
