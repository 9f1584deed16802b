#include "app/TraceLog.h"

#include <QFile>
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/Clock.h"

namespace {
std::atomic<bool> g_traceOn{false};
constexpr int kLinePiece = 1063;
}  // namespace

void TraceLog::SetEnabled(bool on) { g_traceOn = on; }
bool TraceLog::Enabled() { return g_traceOn; }

TraceLog::TraceLog(const Clock& clock, QString filePath)
    : m_clock(clock), m_filePath(std::move(filePath)) {}

int TraceLog::Trace(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return TraceWrite(m_filePath, QString::fromLocal8Bit(buffer));
}

int TraceLog::CountLines(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray data = f.readAll();
    int count = 0;
    int piece = 0;  // characters read into the current piece
    for (const char c : data) {
        ++piece;
        if (c == '\n' || piece == kLinePiece) {
            ++count;
            piece = 0;
        }
    }
    if (piece > 0) ++count;
    return count;
}

int TraceLog::TraceWrite(const QString& fileName, const QString& message) const {
    if (!g_traceOn) return 0;
    if (fileName.isEmpty()) return 1;
    const QDateTime now = m_clock.Now();
    const int number = CountLines(fileName) + 1;
    const QString line = QStringLiteral("%1 %2=%3\n")
                             .arg(number)
                             .arg(now.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss")), message);
    QFile f(fileName);
    if (f.open(QIODevice::Append)) f.write(line.toLocal8Bit());
    return 1;
}
