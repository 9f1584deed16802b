#pragma once

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include "TestFiles.h"
#include "controls/GridCtrl.h"
#include "exec/CommandLauncher.h"
#include "scan/HistoryLog.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"

// Stands in for the users-listing tool: each run writes the next scripted report (or fails
// the way the script says) into the working directory.
class ScriptedLauncher : public CommandLauncher {
public:
    struct Step {
        int rc = 0;               // a negative launcher result: the tool could not run
        bool writeReport = true;  // false: the tool ends without leaving a report
        QByteArray report;
        QString pid = QStringLiteral("4242");  // the run's process id
    };

    ScriptedLauncher(Prompter& prompter, QString dir)
        : CommandLauncher(prompter), m_dir(std::move(dir)) {}

    void Push(const Step& step) { m_steps.append(step); }
    void PushReport(const QByteArray& report) { m_steps.append({0, true, report}); }
    // The report used once the script has run out.
    void SetDefault(const Step& step) { m_default = step; }

    LaunchOutcome Run(const LaunchRequest& request) override {
        commands.append(request.commandLine);
        const Step step = m_steps.isEmpty() ? m_default : m_steps.takeFirst();
        LaunchOutcome out;
        out.rc = step.rc;
        if (step.rc < 0) return out;
        if (step.writeReport)
            WriteAll(QDir(m_dir).filePath(QStringLiteral("QusList.log")), step.report);
        out.pid = step.pid;
        out.exitStatus = 0;
        return out;
    }

    QStringList commands;

private:
    QString m_dir;
    QList<Step> m_steps;
    Step m_default;
};

// Records the effects the scanner plays; its reset is the plain one.
class RecordingPresenter : public MatrixPresenter {
public:
    explicit RecordingPresenter(CGridCtrl& grid) : m_grid(grid) {}

    void ResetMatrixGrid() override {
        ++resets;
        MatrixLayout::ResetToHeadings(m_grid.Model());
    }
    void NewEntryFlash(int row, int col) override { Record("flash", row, col); }
    void StaleColours(int row, int col) override { Record("stale", row, col); }
    void ErrorBlink(int row, int col) override { Record("errorblink", row, col); }
    void WatchedBlink(int row, int col) override { Record("watchblink", row, col); }
    void WatchedHighlight(int row, int col) override { Record("watchhigh", row, col); }
    void ErrorHighlight(int row, int col) override { Record("errorhigh", row, col); }

    // "flash" effects on the Pid cell's text, e.g. "flash:3312".
    QStringList Of(const QString& kind) const {
        QStringList out;
        for (const QString& e : effects)
            if (e.startsWith(kind + QLatin1Char(':'))) out.append(e.mid(kind.size() + 1));
        return out;
    }

    QStringList effects;
    int resets = 0;

private:
    void Record(const char* kind, int row, int col) {
        effects.append(QString::fromLatin1(kind) + QLatin1Char(':') + m_grid.GetItemText(row, col));
    }
    CGridCtrl& m_grid;
};

struct Session {
    QString user;
    QString machine;
    QString pid;
    QString when;  // "YYYY/MM/DD HH:MM:SS"
};

// A report in the layout the users-listing tool writes.
inline QByteArray MakeReport(const QList<Session>& sessions, int databaseUsers = 42) {
    QByteArray out = "QUSLIST - Tessamy users list\nBroker: TESBKR01\n\n";
    out += "Number of active users defined in the database: " + QByteArray::number(databaseUsers) +
           "\n\nUser         Client                Login date/time\n";
    out += "------------------  --------------------  -------------------\n";
    for (const Session& s : sessions)
        out += (s.user + QStringLiteral("  TCP:01") + s.machine + QLatin1Char('/') + s.pid +
                QStringLiteral("  ") + s.when + QLatin1Char('\n'))
                   .toUtf8();
    out += "\nQUSLIST has been executed successfully.\n";
    return out;
}

// The cells of the entry in group `group` (0, 1, 2) of `row`.
inline QStringList Entry(const CGridCtrl& grid, int row, int group) {
    QStringList cells;
    for (int k = 0; k < MatrixLayout::kGroupWidth; ++k)
        cells.append(grid.GetItemText(row, group * MatrixLayout::kGroupWidth + k));
    return cells;
}

// A disk that takes only part of each line while `full` holds.
class FullDiskHistory : public HistoryLog {
public:
    using HistoryLog::HistoryLog;
    bool full = false;

protected:
    qint64 WriteBytes(int fd, const QByteArray& bytes) override {
        return HistoryLog::WriteBytes(fd, full ? bytes.left(bytes.size() / 2) : bytes);
    }
};
