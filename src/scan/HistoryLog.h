#pragma once

#include <QString>

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

    HistoryLog(const Clock& clock, const QString& workingDirectory, TraceLog* trace = nullptr);

    // Window start-up: today becomes the history date; with logging on the file starts empty.
    void Start(bool enabled);
    // The check box: off stops writing; on starts an empty file.
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }

    // Appends one finished line (it carries its own line end). Empty lines are not written.
    void WriteHistoryLine(const QString& line);

    QString Path() const { return m_path; }
    QString HistoryDate() const { return m_historyDate; }
    // "QuorvatelHistory" + YYYYMMDD + ".log" beside the current file.
    QString ArchivePath(const QString& yyyymmdd) const;

    // "%-10.10s %-20.20s %-20.20s %s" after a five-character tag such as "ADD : ".
    static QString SessionLine(const QString& tag, const QString& pid, const QString& name,
                               const QString& machine, const QString& datetime,
                               const QString& tail = QStringLiteral("\n"));
    // printf's "%-N.Ns": cut to n characters, padded with blanks on the right.
    static QString Field(const QString& text, int width);

private:
    QString Today() const;
    void ArchiveCurrentFile(const QString& yyyymmdd);
    void StartEmptyFile();

    const Clock& m_clock;
    TraceLog* m_trace;
    QString m_path;
    QString m_historyDate;
    bool m_enabled = false;
};
