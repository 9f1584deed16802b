#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>

class Clock;
class TraceLog;

// The user-facing record of what happened: "QuorvatelHistory.log" in the working directory,
// appended to line by line and rolled over into "QuorvatelHistoryYYYYMMDD.log" when the day
// changes. Lines are never lost: where the file is emptied (start-up, switching logging on)
// its old content first goes to the archive of the day it was last written, and an archive
// that already exists is appended to, never replaced.
class HistoryLog {
public:
    static constexpr const char* kFileName = "QuorvatelHistory.log";
    // The tags that start the session lines.
    static constexpr const char* kAddTag = "ADD : ";
    static constexpr const char* kDelTag = "DEL : ";
    static constexpr const char* kRecTag = "REC : ";
    // The user id and machine fields of the line the window writes when it closes.
    static constexpr const char* kShutdownUser = "QUORVATEL";
    static constexpr const char* kShutdownMachine = "SHUTDOWN";

    static constexpr int kMaxWaitingLines = 10000;
    static constexpr char16_t kPlaceholder = 0xFFFD;

    // Told when writing starts failing (`problem` says why) and, while it fails, whenever the
    // number of waiting lines changes; told once with an empty problem when it works again.
    using StatusHandler = std::function<void(const QString& problem, int waitingLines)>;

    HistoryLog(const Clock& clock, const QString& workingDirectory, TraceLog* trace = nullptr);
    virtual ~HistoryLog();
    HistoryLog(const HistoryLog&) = delete;
    HistoryLog& operator=(const HistoryLog&) = delete;

    void SetStatusHandler(StatusHandler handler) { m_statusHandler = std::move(handler); }

    // Window start-up: today becomes the history date; with logging on the file starts empty.
    void Start(bool enabled);
    // The check box: off stops writing; on starts an empty file.
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }

    // Appends one finished line (it carries its own line end). Empty lines are not written.
    void WriteHistoryLine(const QString& line);
    // While a hold lasts, the file is opened for the first line and stays open for the next
    // ones, as long as they are written: a scan cycle writes a line for each session that
    // came or went. Each line still goes with a write of its own. Holds may nest.
    class Hold {
    public:
        explicit Hold(HistoryLog& log) : m_log(log) { ++m_log.m_holds; }
        ~Hold() {
            if (--m_log.m_holds == 0) m_log.CloseHeldFile();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        HistoryLog& m_log;
    };
    // Tries again to write the lines a failed write left waiting.
    void FlushPending();
    int WaitingLines() const { return static_cast<int>(m_waiting.size()); }
    bool WriteFailing() const { return m_failing; }

    // `line` with every control character (C0, DEL, C1 such as NEL) and U+2028/U+2029
    // replaced by kPlaceholder, except the line end that closes it.
    static QString OnePhysicalLine(QString line);

    QString Path() const { return m_path; }
    // Where internal error notes go; may be none.
    TraceLog* Trace() const { return m_trace; }
    QString HistoryDate() const { return m_historyDate; }
    // "QuorvatelHistory" + YYYYMMDD + ".log" beside the current file.
    QString ArchivePath(const QString& yyyymmdd) const;

    // "%-10.10s %-20.20s %-20.20s %s" after a five-character tag such as "ADD : ".
    static QString SessionLine(const QString& tag, const QString& pid, const QString& name,
                               const QString& machine, const QString& datetime,
                               const QString& tail = QStringLiteral("\n"));
    // printf's "%-N.Ns": cut to n characters, padded with blanks on the right.
    static QString Field(const QString& text, int width);

protected:
    // Where the bytes of one line reach the open file `fd`; returns what write() returns.
    // Tests put a failing disk here.
    virtual qint64 WriteBytes(int fd, const QByteArray& bytes);

private:
    void ReportState(const QString& problem);
    QString Today() const;
    void ArchiveCurrentFile(const QString& yyyymmdd);
    void StartEmptyFile();
    void CloseHeldFile();

    const Clock& m_clock;
    TraceLog* m_trace;
    QString m_path;
    QString m_historyDate;
    bool m_enabled = false;
    StatusHandler m_statusHandler;
    std::deque<QByteArray> m_waiting;
    bool m_failing = false;
    qint64 m_dropped = 0;  // oldest waiting lines given up to stay within the bound
    int m_holds = 0;
    int m_heldFd = -1;  // the file kept open under a hold
};
