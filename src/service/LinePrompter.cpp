#include "service/LinePrompter.h"

#include <QRegularExpression>
#include <cstdio>

#include "app/TraceLog.h"
#include "exec/CommandLine.h"
#include "platform/Clock.h"

LinePrompter::LinePrompter(const Clock& clock, TraceLog& trace) : m_clock(clock), m_trace(trace) {}

QString LinePrompter::Line(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    return QStringLiteral("quorvatel: ") + text.trimmed().replace(breaks, QStringLiteral(" "));
}

void LinePrompter::Write(const QString& text) {
    QString line = Line(text);
    if (!m_password.isEmpty()) {
        // As the scanner quotes it (blanks), then as the address lookup joins it (plain).
        for (const QString& shown : {CommandLine::QuoteArgument(m_password), m_password})
            line.replace(QStringLiteral("-pw ") + shown, QStringLiteral("-pw ******"));
    }
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
    m_trace.Trace("%s", qPrintable(line));
}

void LinePrompter::Warning(const QString& text) {
    Write(text);
}
void LinePrompter::Information(const QString& text) {
    Write(text);
}
void LinePrompter::Plain(const QString& text) {
    Write(text);
}

void LinePrompter::Notice(const QString& text) {
    const QDateTime now = m_clock.Now();
    if (text == m_lastNotice && m_lastNoticeAt.isValid() &&
        m_lastNoticeAt.secsTo(now) < kQuietRepeatSeconds)
        return;
    m_lastNotice = text;
    m_lastNoticeAt = now;
    Write(text);
}
