#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include "TestFiles.h"

// A folder of fake tools put first on PATH for the lifetime of the object. Every fake
// records each run in <bin>/<name>.runs: one argument per line, then "==== stdin", the
// bytes it read, and "====" with a line end. Its exit status is the text of <bin>/<name>.status
// (default 0), it sleeps the seconds in <bin>/<name>.delay when present, and it prints
// <bin>/<name>.stdout (default "<name> ran") to its standard output.
class FakeTools {
public:
    FakeTools() : m_oldPath(qgetenv("PATH")) {
        qputenv("PATH", QDir::toNativeSeparators(m_dir.path()).toLocal8Bit() + ':' + m_oldPath);
    }
    ~FakeTools() { qputenv("PATH", m_oldPath); }
    FakeTools(const FakeTools&) = delete;
    FakeTools& operator=(const FakeTools&) = delete;

    // Installs a recording fake; `extra` is shell code run before it exits (it sees the
    // arguments as "$@").
    void Install(const QString& name, const QByteArray& extra = QByteArray()) {
        const QString path = Path(name);
        const QByteArray n = name.toUtf8();
        const QByteArray script =
            "#!/bin/sh\n"
            "d=$(dirname \"$0\")\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$d/" +
            n +
            ".runs\"; done\n"
            "echo '==== stdin' >> \"$d/" +
            n +
            ".runs\"\n"
            "cat >> \"$d/" +
            n +
            ".runs\"\n"
            "printf '\\n====\\n' >> \"$d/" +
            n +
            ".runs\"\n"
            "[ -f \"$d/" +
            n + ".delay\" ] && sleep \"$(cat \"$d/" + n +
            ".delay\")\"\n"
            "if [ -f \"$d/" +
            n + ".stdout\" ]; then cat \"$d/" + n +
            ".stdout\"; "
            "else echo '" +
            n + " ran'; fi\n" + extra + "\nexit \"$(cat \"$d/" + n +
            ".status\" 2>/dev/null || echo 0)\"\n";
        WriteAll(path, script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void SetStatus(const QString& name, int status) {
        WriteAll(Path(name + QStringLiteral(".status")), QByteArray::number(status));
    }
    void SetDelay(const QString& name, const QByteArray& seconds) {
        WriteAll(Path(name + QStringLiteral(".delay")), seconds);
    }

    struct Run {
        QStringList args;
        QByteArray stdinData;
    };
    QList<Run> Runs(const QString& name) const {
        QList<Run> runs;
        const QByteArray all = ReadAll(Path(name + QStringLiteral(".runs")));
        qsizetype pos = 0;
        while (pos < all.size()) {
            const qsizetype marker = all.indexOf("==== stdin\n", pos);
            const qsizetype end = all.indexOf("\n====\n", marker);
            if (marker < 0 || end < 0) break;
            Run r;
            const QByteArray argText = all.mid(pos, marker - pos);
            for (const QByteArray& a : argText.split('\n')) r.args.append(QString::fromUtf8(a));
            r.args.removeLast();  // after the last line end
            r.stdinData = all.mid(marker + 11, end - marker - 11);
            runs.append(r);
            pos = end + 6;
        }
        return runs;
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
