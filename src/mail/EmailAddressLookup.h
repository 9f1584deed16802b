#pragma once

#include <QString>
#include <optional>

#include "exec/CommandLauncher.h"

class AppSettings;
class HistoryLog;
class Prompter;

// Finds a user's e-mail address in the server database with the SQL tool `vqry`: the
// statement goes to "vqrystmt.sql", the tool's answer comes back in "vqrystmt.dat", both in
// the working directory.
class EmailAddressLookup {
public:
    static constexpr const char* kProgram = "vqry";
    static constexpr const char* kStatementFileName = "vqrystmt.sql";
    static constexpr const char* kOutputFileName = "vqrystmt.dat";
    static constexpr const char* kHeading = "EMAIL";
    static constexpr const char* kZeroResults = "VQRY query has Zero results.";
    static constexpr const char* kUnableToRead = "Unable to read: ";
    static constexpr const char* kFailedLine = "REC : Execute RUNSQL Get Email Addrs Failed\n";
    // The part of the answer read: the address is on its first lines.
    static constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

    // `settings` is read at each lookup for the "Debug" switch, which adds a history line
    // when the statement cannot be written or the tool does not run to a successful end.
    EmailAddressLookup(CommandLauncher& launcher, Prompter& prompter, HistoryLog& history,
                       const AppSettings& settings, const QString& workingDirectory);

    // The broker connection the main window currently uses.
    void SetConnection(const QString& broker, const QString& userId, const QString& password);

    // 1 when the tool ran and its answer was read: `address` is then the first data line,
    // or unchanged when there was none. 0 when there was no usable run (statement not
    // written, tool failed to start, timed out or ended with a failure status, no answer
    // file, answer unreadable); `address` is then unchanged.
    int RunSqlGetEmailAddr(const QString& statement, QString& address);

    // The address query for a server user name; a quote in the name is doubled so that it
    // stays inside the string literal.
    static QString StatementFor(const QString& userName);
    // The address of a server user, or empty when none is known (no usable lookup).
    QString AddressOf(const QString& userName);
    // The same, but nothing when the tool did not answer within its time limit (or was
    // ended by a close request): the scan cycle then skips its remaining lookups.
    std::optional<QString> AddressInTime(const QString& userName);

    // Whether a lookup produced an address a caller may use.
    static bool IsUsable(int result, const QString& address);

    // The first line of the answer that is neither empty nor the heading; false when none.
    static bool FirstDataLine(const QByteArray& output, QString& line);

    QString StatementFilePath() const;
    QString OutputFilePath() const;

private:
    LaunchRequest ComposeRequest() const;
    void NoteFailure();

    CommandLauncher& m_launcher;
    Prompter& m_prompter;
    HistoryLog& m_history;
    const AppSettings& m_settings;
    QString m_workingDirectory;
    QString m_broker;
    QString m_userId;
    QString m_password;
    bool m_timedOut = false;  // the last run was ended before it answered
};
