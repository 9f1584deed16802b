#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Parses the Tessamy tools' command lines: options such as "-b NAME" (compared without
// case, as the Windows tools do) and flags such as "-cu". An option's value is the next
// argument whatever it looks like, so a password may begin with "-".
class ToolArgs {
public:
    struct Option {
        const char* name;  // without the leading "-"
        bool takesValue;
        bool required;
    };

    ToolArgs(QList<Option> options, int positionalCount);

    // False with Error() set on an unknown option, a missing value, a repeated option, a
    // missing required option or the wrong number of other arguments.
    bool Parse(const QStringList& args);

    bool Has(const char* name) const { return m_values.contains(QString::fromLatin1(name)); }
    QString Value(const char* name) const { return m_values.value(QString::fromLatin1(name)); }
    QStringList Positional() const { return m_positional; }
    QString Error() const { return m_error; }

private:
    QList<Option> m_options;
    int m_positionalCount;
    QMap<QString, QString> m_values;
    QStringList m_positional;
    QString m_error;
};

// The program's arguments without the program name, decoded from the locale.
QStringList ArgumentsOf(int argc, char** argv);

// Writes text to standard output or standard error, UTF-8, without printf formatting.
void PrintOut(const QString& text);
void PrintErr(const QString& text);

// With "-h", "--help" or "-?" as the first argument: the usage line and `summary` on
// standard output, and true.
bool HelpShown(const QStringList& args, const QString& usage, const QString& summary);

// The usage exit: the reason and the usage line on standard error, status 2.
int UsageError(const QString& tool, const QString& reason, const QString& usage);

// Replaces the file with `bytes` through a rename, so a reader never sees half of it.
// False, after saying why on standard error, when it cannot be written.
bool ReplaceFile(const QString& tool, const QString& path, const QByteArray& bytes);

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
