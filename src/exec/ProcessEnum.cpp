#include "exec/ProcessEnum.h"

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

int CProcessEnum::TakeSnapshot() {
    Close();
    QDir dir(m_procRoot);
    if (!dir.exists()) return -2;  // no process list to read
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (ok && pid > 0) m_pids.append(pid);
    }
    std::sort(m_pids.begin(), m_pids.end());
    m_haveSnapshot = true;
    return 0;
}

bool CProcessEnum::MoveFrom(qsizetype index) {
    for (m_index = index; m_index < m_pids.size(); ++m_index) {
        const qint64 pid = m_pids[m_index];
        // A process whose executable link cannot be read (another user's, or one that has
        // ended since the snapshot) is skipped.
        QString target = QFile::symLinkTarget(m_procRoot + QLatin1Char('/') +
                                              QString::number(pid) + QStringLiteral("/exe"));
        if (target.isEmpty()) continue;
        target.remove(QStringLiteral(" (deleted)"));
        m_currentPid = pid;
        m_moduleName = QFileInfo(target).fileName();
        return true;
    }
    m_currentPid = 0;
    m_moduleName.clear();
    return false;
}

bool CProcessEnum::First() { return m_haveSnapshot && MoveFrom(0); }

bool CProcessEnum::Next() { return m_haveSnapshot && m_index >= 0 && MoveFrom(m_index + 1); }

void CProcessEnum::Close() {
    m_haveSnapshot = false;
    m_pids.clear();
    m_index = -1;
    m_currentPid = 0;
    m_moduleName.clear();
}

namespace ProcessFinder {

qint64 FindProcessId(const QString& name, CProcessEnum& processes) {
    if (processes.TakeSnapshot() < 0) return kNoSnapshot;
    qint64 found = kNotFound;
    for (bool more = processes.First(); more; more = processes.Next()) {
        qint64 pid = processes.ProcessId();
        if (pid == 0) pid = processes.ModuleProcessId();
        if (processes.ModuleName().startsWith(name, Qt::CaseInsensitive)) {
            found = pid;
            break;
        }
    }
    processes.Close();
    return found;
}

qint64 FindProcessId(const QString& name) {
    CProcessEnum processes;
    return FindProcessId(name, processes);
}

bool TerminateProcess(qint64 pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace ProcessFinder
