#pragma once

#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include "TestFiles.h"

// Helpers for the fault-injection tests: stand-in tools written as shell scripts, files that
// cannot be removed, and the processes a test leaves behind.

// Writes an executable script `name` into `bin`.
inline bool WriteScript(const QString& bin, const QString& name, const QByteArray& body) {
    QDir().mkpath(bin);
    const QString path = bin + QLatin1Char('/') + name;
    if (!WriteAll(path, "#!/bin/sh\n" + body)) return false;
    return QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Puts `bin` first on PATH for as long as it lives.
class PathFirst {
public:
    explicit PathFirst(const QString& bin) : m_old(qgetenv("PATH")) {
        qputenv("PATH", bin.toLocal8Bit() + ':' + m_old);
    }
    ~PathFirst() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
};

// The working directory turned read-only with `files` in it kept. A directory's mode does
// not stop root, so there the files are made immutable as well; Locked() is false where
// neither works.
class ReadOnlyDirectory {
public:
    ReadOnlyDirectory(QString dir, QStringList files)
        : m_dir(std::move(dir)), m_files(std::move(files)) {
        QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                         QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        const QString probe = m_dir + QStringLiteral("/probe");
        if (!WriteAll(probe, "x")) {
            m_locked = true;
            return;
        }
        QFile::remove(probe);
        m_immutable = true;
        m_locked = true;
        for (const QString& f : m_files)
            if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), Path(f)}) != 0)
                m_locked = false;
    }
    ~ReadOnlyDirectory() {
        if (m_immutable)
            for (const QString& f : m_files)
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), Path(f)});
        QFile::setPermissions(
            m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool Locked() const { return m_locked; }

private:
    QString Path(const QString& f) const { return m_dir + QLatin1Char('/') + f; }
    QString m_dir;
    QStringList m_files;
    bool m_locked = false;
    bool m_immutable = false;
};

// The processes whose parent is this test process, by pid.
inline QStringList ChildProcesses() {
    QStringList out;
    const QString self = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = ReadAll(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        // After the name: state, then the parent's pid.
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[0] != "Z" && QString::fromLatin1(fields[1]) == self)
            out.append(pid);
    }
    return out;
}

// True when process `pid` has ended: it is gone, or only its exit status is left to collect.
inline bool ProcessEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// Waits up to `ms` for process `pid` to end.
inline bool WaitUntilGone(qint64 pid, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!ProcessEnded(pid)) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}
