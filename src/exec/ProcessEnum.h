#pragma once

#include <QList>
#include <QString>

// Walks the system's processes (over /proc) and gives, for each one whose executable the
// program may inspect, its process id and the executable's file name.
class CProcessEnum {
public:
    CProcessEnum() = default;
    virtual ~CProcessEnum() = default;

    // Takes a new snapshot of all process ids; 0 on success, a negative status otherwise.
    int TakeSnapshot();
    // Moves to the first / next process whose executable can be read.
    bool First();
    bool Next();

    qint64 ProcessId() const { return m_currentPid; }
    QString ModuleName() const { return m_moduleName; }
    qint64 ModuleProcessId() const { return m_currentPid; }

    void Close();

    // Sets the root of the process file system (tests).
    void SetProcRoot(const QString& root) { m_procRoot = root; }

private:
    bool MoveFrom(qsizetype index);

    QString m_procRoot = QStringLiteral("/proc");
    bool m_haveSnapshot = false;
    QList<qint64> m_pids;
    qsizetype m_index = -1;
    qint64 m_currentPid = 0;
    QString m_moduleName;
};

namespace ProcessFinder {

inline constexpr qint64 kNoSnapshot = -1;
inline constexpr qint64 kNotFound = 0;

// The first process, in snapshot order, whose executable name begins with `name`,
// ignoring case; kNoSnapshot or kNotFound otherwise.
qint64 FindProcessId(const QString& name, CProcessEnum& processes);
qint64 FindProcessId(const QString& name);

// Ends the process with the given id; true when it was signalled.
bool TerminateProcess(qint64 pid);

}  // namespace ProcessFinder
