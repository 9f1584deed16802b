#include "mail/EmailAddressLookup.h"

#include <QDir>

#include "app/SettingsKeys.h"
#include "platform/Prompter.h"
#include "platform/RegularFile.h"
#include "platform/SaveFile.h"
#include "platform/ToolOutputFile.h"
#include "scan/HistoryLog.h"
#include "scan/UserListReport.h"

EmailAddressLookup::EmailAddressLookup(CommandLauncher& launcher, Prompter& prompter,
                                       HistoryLog& history, const AppSettings& settings,
                                       const QString& workingDirectory)
    : m_launcher(launcher),
      m_prompter(prompter),
      m_history(history),
      m_settings(settings),
      m_workingDirectory(workingDirectory) {}

void EmailAddressLookup::SetConnection(const QString& broker, const QString& userId,
                                       const QString& password) {
    m_broker = broker;
    m_userId = userId;
    m_password = password;
}

QString EmailAddressLookup::StatementFilePath() const {
    return QDir(m_workingDirectory).absoluteFilePath(QString::fromLatin1(kStatementFileName));
}

QString EmailAddressLookup::OutputFilePath() const {
    return QDir(m_workingDirectory).absoluteFilePath(QString::fromLatin1(kOutputFileName));
}

QString EmailAddressLookup::StatementFor(const QString& userName) {
    QString quoted = userName;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("select email from tesuser where username = '") + quoted +
           QLatin1Char('\'');
}

QString EmailAddressLookup::AddressOf(const QString& userName) {
    QString address;
    const int result = RunSqlGetEmailAddr(StatementFor(userName), address);
    return IsUsable(result, address) ? address : QString();
}

std::optional<QString> EmailAddressLookup::AddressInTime(const QString& userName) {
    const QString address = AddressOf(userName);
    if (m_timedOut) return std::nullopt;
    return address;
}

bool EmailAddressLookup::IsUsable(int result, const QString& address) {
    return result == 1 && !address.isEmpty() && address != QLatin1String(kZeroResults);
}

LaunchRequest EmailAddressLookup::ComposeRequest() const {
    // The tool runs in the process's current directory; the files belong to ours.
    const QString statementFile = StatementFilePath();
    const QString outputFile = OutputFilePath();
    LaunchRequest r;
    r.program = QString::fromLatin1(kProgram);
    r.arguments = {QStringLiteral("-b"),
                   m_broker,
                   QStringLiteral("-usr"),
                   m_userId,
                   QStringLiteral("-pw"),
                   m_password,
                   QStringLiteral("-t"),
                   QStringLiteral("-f"),
                   statementFile,
                   QStringLiteral("-o"),
                   outputFile};
    r.commandLine = r.program + QLatin1Char(' ') + r.arguments.join(QLatin1Char(' '));
    return r;
}

bool EmailAddressLookup::FirstDataLine(const QByteArray& output, QString& line) {
    for (const QString& piece : UserListReport::SplitPieces(output)) {
        if (piece.isEmpty() || piece == QLatin1String(kHeading)) continue;
        line = piece;
        return true;
    }
    return false;
}

void EmailAddressLookup::NoteFailure() {
    if (m_settings.Text(Setting::Debug) == QLatin1String("1")) {
        m_history.WriteHistoryLine(QString::fromLatin1(kFailedLine));
    }
}

int EmailAddressLookup::RunSqlGetEmailAddr(const QString& statement, QString& address) {
    m_timedOut = false;
    if (!ReplaceFile(StatementFilePath(), statement.toUtf8())) {
        NoteFailure();
        return 0;
    }
    // An answer left by an earlier lookup must never pass for this one's, even where it
    // cannot be removed.
    const QString outputPath = OutputFilePath();
    const ToolOutputFile output(outputPath);

    const LaunchOutcome outcome = m_launcher.Run(ComposeRequest());
    m_timedOut = outcome.rc == CommandLauncher::kTimedOut;
    // A tool that ended with a failure status may leave its error text where the answer
    // goes; that text must never pass for the user's address.
    if (outcome.rc < 0 || outcome.exitStatus != 0) {
        NoteFailure();
        return 0;
    }

    // The address is on one of the first lines: the head of the answer is enough.
    QByteArray data;
    const RegularFile::Status status = RegularFile::ReadHead(outputPath, kMaxAnswerBytes, data);
    const bool readable = status == RegularFile::Status::Ok;
    if (status == RegularFile::Status::Missing || (readable && !output.WrittenByRun()))
        return 0;  // the tool gave no answer at all
    if (!readable) {
        // A scan cycle looks addresses up with nobody perhaps at the screen: it goes on.
        const QString text = QString::fromLatin1(kUnableToRead) + outputPath;
        if (m_launcher.Unattended())
            m_prompter.Notice(text);
        else
            m_prompter.Plain(text);
        return 0;
    }
    QString line;
    if (FirstDataLine(data, line)) address = line;
    return 1;
}
