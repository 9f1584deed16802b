// vqry: answers the one statement the monitor asks, the e-mail address of a user, from the
// simulated Broker's user table, keeping the command line of the Tessamy SQL tool.
#include <QFile>
#include <QRegularExpression>

#include "BrokerAccess.h"
#include "ToolArgs.h"

namespace {

const QString kTool = QStringLiteral("vqry");
const QString kUsage =
    QStringLiteral("vqry -b BROKER -usr USER -pw PASSWORD [-t] -f STATEMENT_FILE -o OUTPUT_FILE");
const char* const kHeading = "EMAIL";
const char* const kZeroResults = "VQRY query has Zero results.";
const char* const kErrorPrefix = "VQRY ERROR: ";

bool WriteOutput(const QString& path, const QString& text) {
    return ReplaceFile(kTool, path, text.toUtf8());
}

int Fail(const QString& output, const QString& message) {
    PrintErr(kTool + QStringLiteral(": ") + message + u'\n');
    // One line, so that no typed text in the message can pass for an address line.
    WriteOutput(output, QString::fromLatin1(kErrorPrefix) + SimText::OneLine(message) + u'\n');
    return kExitFailed;
}

// The user name in "select email from tesuser where username = '...'", with doubled quotes
// undone; false for any other statement.
bool UserNameOf(const QString& statement, QString& user) {
    static const QRegularExpression kStatement(
        QStringLiteral(R"(^\s*select\s+email\s+from\s+tesuser\s+where\s+username\s*=\s*)"
                       R"('((?:[^']|'')*)'\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kStatement.match(statement);
    if (!m.hasMatch()) return false;
    user = m.captured(1).replace(QStringLiteral("''"), QStringLiteral("'"));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = ArgumentsOf(argc, argv);
    if (HelpShown(args, kUsage,
                  QStringLiteral("Answers \"select email from tesuser where username = "
                                 "'NAME'\" from a simulated Tessamy Broker.")))
        return kExitOk;
    ToolArgs parsed({{"b", true, true},
                     {"usr", true, true},
                     {"pw", true, true},
                     {"t", false, false},
                     {"f", true, true},
                     {"o", true, true}},
                    0);
    if (!parsed.Parse(args)) return UsageError(kTool, parsed.Error(), kUsage);
    const QString output = parsed.Value("o");
    if (output.isEmpty()) return UsageError(kTool, QStringLiteral("-o names no file"), kUsage);

    QFile statementFile(parsed.Value("f"));
    if (!statementFile.open(QIODevice::ReadOnly))
        return Fail(output, QStringLiteral("cannot read the statement file ") +
                                statementFile.fileName() + QStringLiteral(": ") +
                                statementFile.errorString());
    const QString statement = QString::fromUtf8(statementFile.readAll());

    const QString broker = parsed.Value("b");
    BrokerStore store;
    BrokerAccess access(store);
    BrokerState state;
    QString detail;
    switch (access.Connect(broker, parsed.Value("usr"), parsed.Value("pw"), state, detail)) {
        case BrokerAccess::Outcome::CouldNotConnect:
            PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
            return Fail(output, broker + QStringLiteral(": COULD NOT CONNECT TO BROKER"));
        case BrokerAccess::Outcome::BadCredentials:
            return Fail(output, detail);
        case BrokerAccess::Outcome::Connected:
            break;
    }

    QString user;
    if (!UserNameOf(statement, user))
        return Fail(output, QStringLiteral("unsupported statement; this Broker answers only "
                                           "select email from tesuser where username = 'NAME' "
                                           "(a quote inside NAME doubled)"));
    const SimUser* found = state.FindUser(user);
    QString answer;
    if (!found)
        answer = QString::fromLatin1(kZeroResults) + u'\n';
    else  // a user without an address is a row whose column is empty
        answer = QString::fromLatin1(kHeading) + u'\n' + found->email + u'\n';
    return WriteOutput(output, answer) ? kExitOk : kExitFailed;
}
