#pragma once

#include <QDateTime>
#include <QString>

#include "platform/Prompter.h"

class Clock;
class TraceLog;

// The messages of a monitor without a window: each one line on standard error and in the
// trace log, and nothing waits for an answer. A notice repeated while the last one would
// still be on show in the window (the scanner meets the same failure every cycle) is not
// written again within the hour.
class LinePrompter : public Prompter {
public:
    static constexpr qint64 kQuietRepeatSeconds = 3600;

    LinePrompter(const Clock& clock, TraceLog& trace);

    void Warning(const QString& text) override;
    void Information(const QString& text) override;
    void Plain(const QString& text) override;
    void Notice(const QString& text) override;

    // The administrator's password: the tools' command lines carry it after "-pw", and a
    // message quoting one (a tool not found) shows "-pw ******" instead, since these lines
    // end up in the journal and the trace log.
    void HidePassword(const QString& password) { m_password = password; }

    // "quorvatel: " and the message with its line breaks turned into blanks.
    static QString Line(const QString& text);

private:
    void Write(const QString& text);

    const Clock& m_clock;
    TraceLog& m_trace;
    QString m_password;
    QString m_lastNotice;
    QDateTime m_lastNoticeAt;
};
