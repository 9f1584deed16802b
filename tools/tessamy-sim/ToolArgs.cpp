#include "ToolArgs.h"

#include <QSaveFile>
#include <cstdio>

ToolArgs::ToolArgs(QList<Option> options, int positionalCount)
    : m_options(std::move(options)), m_positionalCount(positionalCount) {}

bool ToolArgs::Parse(const QStringList& args) {
    m_values.clear();
    m_positional.clear();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const Option* match = nullptr;
        if (arg.size() > 1 && arg.startsWith(u'-')) {
            for (const Option& o : m_options)
                if (arg.mid(1).compare(QLatin1String(o.name), Qt::CaseInsensitive) == 0) match = &o;
            if (!match) {
                m_error = QStringLiteral("unknown option ") + arg;
                return false;
            }
        }
        if (!match) {
            m_positional.append(arg);
            continue;
        }
        const QString key = QString::fromLatin1(match->name);
        if (m_values.contains(key)) {
            m_error = QStringLiteral("option -") + key + QStringLiteral(" given twice");
            return false;
        }
        if (match->takesValue) {
            if (i + 1 >= args.size()) {
                m_error = QStringLiteral("option -") + key + QStringLiteral(" needs a value");
                return false;
            }
            m_values.insert(key, args[++i]);
        } else {
            m_values.insert(key, QString());
        }
    }
    for (const Option& o : m_options) {
        if (o.required && !m_values.contains(QString::fromLatin1(o.name))) {
            m_error = QStringLiteral("option -") + QString::fromLatin1(o.name) +
                      QStringLiteral(" is missing");
            return false;
        }
    }
    if (m_positional.size() != m_positionalCount) {
        m_error =
            m_positional.size() > m_positionalCount
                ? QStringLiteral("unexpected argument ") + m_positional.value(m_positionalCount)
                : QStringLiteral("an argument is missing");
        return false;
    }
    return true;
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

void PrintOut(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void PrintErr(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool HelpShown(const QStringList& args, const QString& usage, const QString& summary) {
    // Only the first argument: later ones may be values such as a password "-h".
    if (args.isEmpty()) return false;
    const QString& a = args.first();
    if (a != u"-h" && a != u"--help" && a != u"-?") return false;
    PrintOut(QStringLiteral("usage: ") + usage + u'\n' + summary + u'\n');
    return true;
}

int UsageError(const QString& tool, const QString& reason, const QString& usage) {
    PrintErr(tool + QStringLiteral(": ") + reason + u'\n' + QStringLiteral("usage: ") + usage +
             u'\n');
    return kExitUsage;
}

bool ReplaceFile(const QString& tool, const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        PrintErr(tool + QStringLiteral(": cannot write ") + path + QStringLiteral(": ") +
                 file.errorString() + u'\n');
        return false;
    }
    return true;
}
