#pragma once

// What the scanner benchmarks share: quiet seams and a users-listing tool that only writes a
// prepared report, so that a cycle's own work is measured without a tool run.
#include <QByteArray>
#include <QDateTime>
#include <QFile>
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

class FixedClock : public Clock {
public:
    QDateTime Now() const override { return QDateTime(QDate(2017, 11, 2), QTime(12, 0)); }
    void Sleep(int) override {}
};

// Stands in for the users-listing tool. The report is written when it is set, outside the
// measured time: a run only links the prepared file in under the report's name, so a cycle
// finds a new file there, already in the page cache, as after a real run, and the tool's own
// writing is not counted as the monitor's work.
class ReportLauncher : public CommandLauncher {
public:
    ReportLauncher(Prompter& p, QString path)
        : CommandLauncher(p), m_path(std::move(path)), m_prepared(m_path + QStringLiteral(".next")) {}
    void SetReport(const QByteArray& report) {
        if (report == m_report) return;
        m_report = report;
        QFile::remove(m_prepared);
        QFile f(m_prepared);
        if (f.open(QIODevice::WriteOnly)) f.write(m_report);
    }
    LaunchOutcome Run(const LaunchRequest&) override {
        QFile::remove(m_path);
        ::link(QFile::encodeName(m_prepared).constData(), QFile::encodeName(m_path).constData());
        return {0, QStringLiteral("1"), 0};
    }

private:
    QString m_path;
    QString m_prepared;
    QByteArray m_report;
};

// A report of `sessions` sessions on 2017/11/02; in each generation the first
// `changedPercent` % are new ones. With `staleEvery` n, every n-th session is from the day
// before.
inline QByteArray MakeReport(int sessions, int generation, int changedPercent,
                             int staleEvery = 0) {
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
    out += "QUSLIST has been executed successfully.\n";
    return out;
}
