#pragma once

// What the scanner benchmarks share: quiet seams and a users-listing tool that only writes a
// prepared report, so that a cycle's own work is measured without a tool run.
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QString>

#include <unistd.h>

#include "exec/CommandLauncher.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"

class SilentPrompter : public Prompter {
public:
    void Warning(const QString&) override {}
    void Information(const QString&) override {}
    void Plain(const QString&) override {}
};

// Always the same time. Like the monitor's clock, which converts to local time once per
// millisecond, it converts once.
class FixedClock : public Clock {
public:
    QDateTime Now() const override { return m_now; }
    void Sleep(int) override {}

private:
    const QDateTime m_now{QDate(2017, 11, 2), QTime(12, 0)};
};

// Stands in for the users-listing tool. The reports are written to files of their own when
// they are prepared, outside the measured time, and are not kept in memory: a run only links
// the chosen one in under the report's name, so a cycle finds a new file there, already in
// the page cache, as after a real run. Neither the tool's writing nor the benchmark's own
// reports count as the monitor's work or memory.
class ReportLauncher : public CommandLauncher {
public:
    ReportLauncher(Prompter& p, QString path) : CommandLauncher(p), m_path(std::move(path)) {}
    // Report `n` is the one `Use(n)` chooses; its run has process id `pid`.
    void Prepare(int n, const QByteArray& report, const QString& pid = QStringLiteral("1")) {
        QFile f(Prepared(n));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(report);
        m_pids[n] = pid;
    }
    void SetReport(const QByteArray& report) {
        Prepare(0, report);
        Use(0);
    }
    void Use(int n) { m_chosen = n; }
    LaunchOutcome Run(const LaunchRequest&) override {
        QFile::remove(m_path);
        ::link(QFile::encodeName(Prepared(m_chosen)).constData(),
               QFile::encodeName(m_path).constData());
        return {0, m_pids.value(m_chosen, QStringLiteral("1")), 0};
    }

private:
    QString Prepared(int n) const { return m_path + QStringLiteral(".%1").arg(n); }
    QString m_path;
    int m_chosen = 0;
    QHash<int, QString> m_pids;
};

// A report of `sessions` sessions on 2017/11/02; in each generation the first
// `changedPercent` % are new ones. With `staleEvery` n, every n-th session is from the day
// before. With an `ownPid`, the list ends with the monitor's own session of that run.
inline QByteArray MakeReport(int sessions, int generation, int changedPercent, int staleEvery = 0,
                             const QByteArray& ownPid = {}) {
    QByteArray out =
        "QUSLIST\n\nNumber of active users defined in the database: 5000\n\n"
        "User Id          Client                       Logged on since\n"
        "------------------------------------------------------------------------\n";
    const int changed = sessions * changedPercent / 100;
    for (int i = 0; i < sessions; ++i) {
        const int pid = i < changed ? 100000 + generation * sessions + i : 10000 + i;
        const int minute = i % (24 * 60);
        const bool stale = staleEvery > 0 && i % staleEvery == 0;
        out += "user" + QByteArray::number(i % 5000) + "  TCP:01PC" + QByteArray::number(i % 700) +
               "/" + QByteArray::number(pid) + (stale ? "  2017/11/01 " : "  2017/11/02 ") +
               QByteArray::number(minute / 60).rightJustified(2, '0') + ":" +
               QByteArray::number(minute % 60).rightJustified(2, '0') + ":00\n";
    }
    if (!ownPid.isEmpty()) out += "QVADMIN  TCP:01QVHOST/" + ownPid + "  2017/11/02 12:00:00\n";
    out += "QUSLIST has been executed successfully.\n";
    return out;
}
