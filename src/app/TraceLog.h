#pragma once

#include <QString>

class Clock;

// A numbered, time-stamped diagnostic file for rare internal error notes. Off unless the
// process-wide switch is turned on: main() does so for the window when QUORVATEL_TRACE=1, and
// without a window unless QUORVATEL_TRACE=0, since the messages go there too.
class TraceLog {
public:
    static constexpr const char* kFileName = "QuorvatelTrace.log";

    static void SetEnabled(bool on);
    static bool Enabled();

    // Writes to kFileName in the current directory, or to `filePath` when given.
    explicit TraceLog(const Clock& clock, QString filePath = QString::fromLatin1(kFileName));

    // printf-style; the formatted message is cut at 1023 characters. Returns TraceWrite's result.
    int Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // 0 when the switch is off; 1 otherwise (also for an empty file name, which writes
    // nothing). The message is written verbatim.
    int TraceWrite(const QString& fileName, const QString& message) const;

    // The file's line count as a 1064-byte line reader sees it: a line longer than 1063
    // characters counts once for each piece.
    static int CountLines(const QString& fileName);

private:
    const Clock& m_clock;
    QString m_filePath;
};
