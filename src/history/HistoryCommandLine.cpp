#include "history/HistoryCommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "history/HistoryCsv.h"
#include "history/HistoryFilter.h"
#include "history/HistoryOrder.h"
#include "history/HistoryReader.h"
#include "history/HistoryText.h"

namespace {

const QString kSessions = QStringLiteral("history-sessions");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");
const QString kAt = QStringLiteral("at");
const QString kUser = QStringLiteral("user");
const QString kDir = QStringLiteral("dir");

int Fail(QIODevice& err, const QString& message) {
    err.write(QStringLiteral("quorvatel: %1\nSee quorvatel --help.\n").arg(message).toUtf8());
    return HistoryCommandLine::kBadUsage;
}

// A day given as the history writes it, or in ISO 8601.
bool Day(const QCommandLineParser& parser, const QString& option, int64_t& day, QString& error) {
    if (!parser.isSet(option)) return true;
    const QString text = parser.value(option);
    bool dateOnly = false;
    if (!HistoryTime::ParseInput(text, day, &dateOnly) || !dateOnly) {
        error = QStringLiteral("--%1 \"%2\" is not a date (YYYY/MM/DD or YYYY-MM-DD)")
                    .arg(option, text);
        return false;
    }
    return true;
}

}  // namespace

void HistoryCommandLine::AddOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        kSessions, QStringLiteral("Print the sessions of the history log as CSV on standard "
                                  "output and exit, without a window.")));
    parser.addOption(QCommandLineOption(
        kFrom,
        QStringLiteral("With --history-sessions: only sessions on that day or later "
                       "(YYYY/MM/DD or YYYY-MM-DD)."),
        QStringLiteral("DATE")));
    parser.addOption(QCommandLineOption(
        kTo, QStringLiteral("With --history-sessions: only sessions on that day or earlier."),
        QStringLiteral("DATE")));
    parser.addOption(QCommandLineOption(
        kAt,
        QStringLiteral("With --history-sessions: only sessions on at that moment "
                       "(YYYY/MM/DD HH:MM:SS or YYYY-MM-DDTHH:MM:SS)."),
        QStringLiteral("DATETIME")));
    parser.addOption(QCommandLineOption(
        kUser,
        QStringLiteral("With --history-sessions: only sessions whose user id contains TEXT "
                       "(any case)."),
        QStringLiteral("TEXT")));
    parser.addOption(QCommandLineOption(
        kDir,
        QStringLiteral("With --history-sessions: the working directory whose history is read "
                       "(default: the current directory)."),
        QStringLiteral("DIR")));
}

bool HistoryCommandLine::Requested(int argc, char* argv[]) {
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--")) break;
        if (arg == QLatin1String("-h") || arg == QLatin1String("-?") ||
            arg == QLatin1String("--help") || arg == QLatin1String("--help-all") ||
            arg == QLatin1String("-v") || arg == QLatin1String("--version"))
            return false;
        for (const QString& name : {kSessions, kFrom, kTo, kAt, kUser, kDir})
            if (arg == QLatin1String("--") + name ||
                arg.startsWith(QLatin1String("--") + name + '='))
                named = true;
    }
    return named;
}

int HistoryCommandLine::Run(const QStringList& arguments, QIODevice& out, QIODevice& err,
                            int64_t now) {
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(arguments)) return Fail(err, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Fail(
            err,
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (!parser.isSet(kSessions))
        return Fail(err, QStringLiteral("--from, --to, --at, --user and --dir go with "
                                        "--history-sessions"));

    HistoryCriteria criteria;
    QString error;
    int64_t from = HistoryTime::kUnknown;
    int64_t to = HistoryTime::kUnknown;
    if (!Day(parser, kFrom, from, error) || !Day(parser, kTo, to, error)) return Fail(err, error);
    if (from != HistoryTime::kUnknown && to != HistoryTime::kUnknown && from > to)
        return Fail(err, QStringLiteral("--from is after --to"));
    criteria.from = from;
    if (to != HistoryTime::kUnknown) criteria.to = to + HistoryTime::kSecondsPerDay;
    if (parser.isSet(kAt)) {
        const QString text = parser.value(kAt);
        bool dateOnly = false;
        if (!HistoryTime::ParseInput(text, criteria.at, &dateOnly) || dateOnly)
            return Fail(err, QStringLiteral("--at \"%1\" is not a date and time "
                                            "(YYYY/MM/DD HH:MM:SS or YYYY-MM-DDTHH:MM:SS)")
                                 .arg(text));
    }
    criteria.user = parser.value(kUser);
    const QString dir = parser.isSet(kDir) ? parser.value(kDir) : QDir::currentPath();
    if (!QFileInfo(dir).isDir())
        return Fail(err, QStringLiteral("--dir \"%1\" is not a directory").arg(dir));

    HistoryReader reader(dir);
    const HistorySnapshot snap = reader.Update({}, false);
    for (const QString& note : snap.notes)
        err.write(QStringLiteral("quorvatel: note: %1\n").arg(note).toUtf8());
    std::vector<uint32_t> rows = HistoryFilter::Sessions(snap, criteria, now);
    HistoryOrder::Sessions(snap, rows, HistoryText::LoggedOn, false, now);
    if (!HistoryCsv::WriteSessions(out, snap, rows, now)) {
        err.write(QStringLiteral("quorvatel: could not write the sessions: %1\n")
                      .arg(out.errorString())
                      .toUtf8());
        return 1;
    }
    return 0;
}

int HistoryCommandLine::Run(const QStringList& arguments) {
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return 1;
    return Run(arguments, out, err, HistoryTime::FromDateTime(QDateTime::currentDateTime()));
}
