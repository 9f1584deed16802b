#pragma once

#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "history/HistoryTime.h"
#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"

// Writes the history a monitor would have left after `days` days of a busy Broker: the day
// archives and the live file, with every line as HistoryLog writes it. Users log on and off
// through the day (most in working hours, some over night), the monitor sees each change at
// its next 10-second scan; the Broker fails to answer for a few minutes now and then; the
// monitor is shut down and started again about once a month; debug logging and broadcasts
// leave their REC lines. About 5,500 lines a day.
class HistoryGenerator {
public:
    struct Totals {
        int64_t lines = 0;
        int64_t bytes = 0;
        int files = 0;
    };

    // `cutoff`: seconds into the last day where the monitor is now; no line is later.
    static Totals Write(const QString& directory, int days, int sessionsPerDay,
                        int64_t cutoff = HistoryTime::kSecondsPerDay, uint32_t seed = 28) {
        std::mt19937_64 rng(seed);
        const QDate first = QDate(2025, 1, 1);
        const int64_t start = HistoryTime::FromDate(first);
        const int64_t end = start + int64_t(days) * HistoryTime::kSecondsPerDay;
        std::vector<Line> lines;
        lines.reserve(std::size_t(days) * std::size_t(sessionsPerDay) * 2 + 1000);

        std::vector<QString> users, machines;
        for (int i = 0; i < 2000; ++i)
            users.push_back(QStringLiteral("USER%1").arg(i, 4, 10, QLatin1Char('0')));
        for (int i = 0; i < 800; ++i)
            machines.push_back(QStringLiteral("PC%1").arg(i, 4, 10, QLatin1Char('0')));

        // Sessions: log-on anywhere in the day, most in working hours; hours long.
        std::uniform_real_distribution<double> unit(0, 1);
        std::exponential_distribution<double> length(1.0 / (3 * 3600));
        std::set<std::pair<int, int>> pidsInUse;
        struct Session {
            int64_t on, off;
            int user, machine, pid;
        };
        std::vector<Session> sessions;
        for (int d = 0; d < days; ++d) {
            for (int i = 0; i < sessionsPerDay; ++i) {
                const double hour = unit(rng) < 0.85 ? 7 + unit(rng) * 11 : unit(rng) * 24;
                Session s;
                s.on = start + int64_t(d) * HistoryTime::kSecondsPerDay + int64_t(hour * 3600);
                s.off = s.on + 60 + int64_t(length(rng));
                s.user = int(rng() % users.size());
                s.machine = int(rng() % machines.size());
                s.pid = 1000 + int(rng() % 60000);
                sessions.push_back(s);
            }
        }
        // Outages: a few minutes of failed scans, then the failure entry goes. Log-ons and
        // log-offs meanwhile are seen at the first scan the Broker answers.
        const auto scan = [](int64_t t) { return t - t % 10 + 10; };  // seen at the next scan
        std::map<int64_t, int64_t> outages;                           // first failure -> answer
        for (int64_t t = start + 5 * 3600; t < end; t += 3 * HistoryTime::kSecondsPerDay + 7777) {
            const int64_t from = scan(t);
            const int failures = 6 + int(rng() % 30);
            for (int k = 0; k < failures; ++k)
                lines.push_back({from + k * 10, 0,
                                 SessionLine(HistoryLog::kRecTag, kErrorPid, "Broker",
                                             kFailedToRespondText, from + k * 10)});
            const int64_t back = from + failures * 10;
            lines.push_back({back, 0,
                             SessionLine(HistoryLog::kDelTag, kErrorPid, "Broker",
                                         kFailedToRespondText, back)});
            lines.push_back(
                {from + 50, 0,
                 Text(QStringLiteral("REC : PID=Error NAME=Broker MN=Failed to Respond           "
                                     "%1 --> Sent Alert To: ops@example.com\n")
                          .arg(HistoryTime::Text(from + 50)))});
            outages.emplace(from, back);
        }
        const auto seen = [&](int64_t t) {
            const int64_t s = scan(t);
            auto after = outages.upper_bound(s);
            if (after == outages.begin()) return s;
            --after;
            return s < after->second ? after->second : s;
        };
        for (const Session& s : sessions) {
            const QString pid = QString::number(s.pid);
            lines.push_back(
                {seen(s.on), 1,
                 SessionLine(HistoryLog::kAddTag, pid, users[s.user], machines[s.machine], s.on)});
            if (s.off < end)
                lines.push_back({seen(s.off), 2,
                                 SessionLine(HistoryLog::kDelTag, pid, users[s.user],
                                             machines[s.machine], seen(s.off))});
        }
        // Debug logging and broadcasts now and then.
        for (int64_t t = start + 9 * 3600; t < end; t += HistoryTime::kSecondsPerDay) {
            lines.push_back({t, 0,
                             SessionLine(HistoryLog::kRecTag, "4242", "USER0042", "PC0042", t,
                                         "   - vantrace ON 5\n")});
            lines.push_back({t + 3600, 0,
                             SessionLine(HistoryLog::kRecTag, "4242", "USER0042", "PC0042",
                                         t + 3600, "   - vantrace OFF\n")});
            lines.push_back({t + 1800, 0,
                             Text(QStringLiteral("REC : BROADCAST GENERAL MESSAGE                  "
                                                 "          %1 --> Broadcast \"Patch tonight\"\n")
                                      .arg(HistoryTime::Text(t + 1800)))});
        }
        std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
            return a.at != b.at ? a.at < b.at : a.order < b.order;
        });

        // Restarts: a shutdown line, then the first listing adds every session still on.
        std::vector<Line> out;
        out.reserve(lines.size() + 20000);
        std::map<std::pair<QString, QString>, QByteArray> open;  // (machine, pid) -> ADD line
        int64_t nextRestart = start + 17 * HistoryTime::kSecondsPerDay + 12 * 3600;
        for (const Line& l : lines) {
            if (l.at >= nextRestart) {
                out.push_back(
                    {nextRestart, 0,
                     SessionLine(HistoryLog::kRecTag, kPlaceholderPid, HistoryLog::kShutdownUser,
                                 HistoryLog::kShutdownMachine, nextRestart)});
                for (const auto& [key, add] : open) out.push_back({nextRestart + 120, 1, add});
                nextRestart += 31 * HistoryTime::kSecondsPerDay;
            }
            if (l.order == 1) open[Key(l.text)] = l.text;
            if (l.order == 2) open.erase(Key(l.text));
            out.push_back(l);
        }

        QDir().mkpath(directory);
        Totals totals;
        QFile file;
        int64_t fileDay = INT64_MIN;
        const int64_t lastDay = HistoryTime::Day(end - 1);
        const int64_t now = end - HistoryTime::kSecondsPerDay + cutoff;
        for (const Line& l : out) {
            if (l.at >= now) continue;
            const int64_t day = std::min(HistoryTime::Day(l.at), lastDay);
            if (day != fileDay) {
                file.close();
                fileDay = day;
                const QString name =
                    day == lastDay ? QString::fromLatin1(HistoryLog::kFileName)
                                   : QStringLiteral("QuorvatelHistory%1.log")
                                         .arg(HistoryTime::ToDate(day * HistoryTime::kSecondsPerDay)
                                                  .toString(QStringLiteral("yyyyMMdd")));
                file.setFileName(QDir(directory).filePath(name));
                file.open(QIODevice::WriteOnly | QIODevice::Truncate);
                ++totals.files;
            }
            file.write(l.text);
            ++totals.lines;
            totals.bytes += l.text.size();
        }
        file.close();
        return totals;
    }

private:
    struct Line {
        int64_t at;
        int order;  // at the same second: other lines, ADD, DEL
        QByteArray text;
    };

    static QByteArray SessionLine(const char* tag, const QString& pid, const QString& user,
                                  const QString& machine, int64_t t, const char* tail = "\n") {
        return HistoryLog::SessionLine(QString::fromLatin1(tag), pid, user, machine,
                                       HistoryTime::Text(t), QString::fromLatin1(tail))
            .toUtf8();
    }
    static QByteArray SessionLine(const char* tag, const char* pid, const char* user,
                                  const char* machine, int64_t t, const char* tail = "\n") {
        return SessionLine(tag, QString::fromLatin1(pid), QString::fromLatin1(user),
                           QString::fromLatin1(machine), t, tail);
    }
    static QByteArray Text(const QString& line) { return line.toUtf8(); }
    static std::pair<QString, QString> Key(const QByteArray& line) {
        return {QString::fromLatin1(line.mid(38, 20)).trimmed(),
                QString::fromLatin1(line.mid(6, 10)).trimmed()};
    }
};
