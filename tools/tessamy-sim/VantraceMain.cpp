// vantrace: switches the simulated Broker's debug logging for one machine or all clients,
// keeping the command line of the Tessamy debug-logging tool. The Broker records each
// request; the log named by -o ends with the success line when the request was carried out.
#include "BrokerAccess.h"
#include "ToolArgs.h"

namespace {

const QString kTool = QStringLiteral("vantrace");
const QString kUsage = QStringLiteral(
    "vantrace -b BROKER -usr USER -pw PASSWORD -o LOGFILE bkrproc:ON|OFF:LEVEL:TYPES:MACHINE");
const char* const kSuccessLine = "Vantrace has been executed successfully.";
const char* const kTarget = "bkrproc:";
// The Broker keeps this many requests; older ones are dropped from its state.
constexpr qsizetype kKeptRequests = 1000;

bool WriteLog(const QString& path, const QString& text) {
    return ReplaceFile(kTool, path, text.toUtf8());
}

bool ParseTarget(const QString& text, TraceRequest& request, QString& error) {
    if (!text.startsWith(QLatin1String(kTarget), Qt::CaseInsensitive)) {
        error = QStringLiteral("the request must begin with bkrproc:");
        return false;
    }
    const QString rest = text.mid(qsizetype(qstrlen(kTarget)));
    const QStringList parts = rest.split(u':');
    if (parts.size() < 4) {
        error = QStringLiteral("the request needs ON or OFF, a level, the types and a machine");
        return false;
    }
    request.mode = parts[0].toUpper();
    if (request.mode != u"ON" && request.mode != u"OFF") {
        error = QStringLiteral("the request must say ON or OFF, not ") + parts[0];
        return false;
    }
    request.level = parts[1];
    request.types = parts[2];
    // The machine is the rest, so a machine text holding ':' stays whole.
    request.machine = parts.mid(3).join(u':');
    if (!SimText::IsStorable(request.level) || !SimText::IsStorable(request.types) ||
        !SimText::IsStorable(request.machine)) {
        error = QStringLiteral("the request holds a tab or a line break");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = ArgumentsOf(argc, argv);
    if (HelpShown(args, kUsage,
                  QStringLiteral("Switches debug logging of a simulated Tessamy Broker; an "
                                 "empty MACHINE means all clients.")))
        return kExitOk;
    ToolArgs parsed({{"b", true, true}, {"usr", true, true}, {"pw", true, true}, {"o", true, true}},
                    1);
    if (!parsed.Parse(args)) return UsageError(kTool, parsed.Error(), kUsage);
    const QString logPath = parsed.Value("o");
    if (logPath.isEmpty()) return UsageError(kTool, QStringLiteral("-o names no file"), kUsage);
    TraceRequest request;
    QString error;
    if (!ParseTarget(parsed.Positional().first(), request, error))
        return UsageError(kTool, error, kUsage);

    const QString broker = parsed.Value("b");
    // Shown in the log as one line, so no typed text can pose as the success line.
    const QString shownBroker = SimText::OneLine(broker);
    BrokerStore store;
    BrokerAccess access(store);
    BrokerState state;
    QString detail;
    const QDateTime now = QDateTime::currentDateTime();
    QString log = QStringLiteral("Tessamy VANTRACE utility (simulated Broker)\n") +
                  QStringLiteral("Broker ") + shownBroker + QStringLiteral(", ") +
                  SimText::FormatTime(now) + u'\n';
    switch (access.Connect(broker, parsed.Value("usr"), parsed.Value("pw"), state, detail)) {
        case BrokerAccess::Outcome::CouldNotConnect:
            PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
            WriteLog(logPath,
                     log + shownBroker + QStringLiteral(": COULD NOT CONNECT TO BROKER\n"));
            return kExitFailed;
        case BrokerAccess::Outcome::BadCredentials:
            PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
            WriteLog(logPath, log + QStringLiteral("ERROR: ") + SimText::OneLine(detail) + u'\n');
            return kExitFailed;
        case BrokerAccess::Outcome::Connected:
            break;
    }

    if (state.condition == BrokerCondition::Silent) {
        // The tool ran and the Broker took the login, but the request went nowhere.
        return WriteLog(logPath, log + QStringLiteral("Waiting for the Broker's answer ... none\n"))
                   ? kExitOk
                   : kExitFailed;
    }

    request.at = now;
    request.admin = parsed.Value("usr");
    const BrokerStore::Result stored = store.Update(
        broker,
        [&](BrokerState& s, QString&) {
            s.traceLog.append(request);
            if (s.traceLog.size() > kKeptRequests)
                s.traceLog.remove(0, s.traceLog.size() - kKeptRequests);
            return true;
        },
        detail);
    if (stored != BrokerStore::Result::Ok) {
        PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
        WriteLog(logPath,
                 log + QStringLiteral("ERROR: the request was not carried out: ") + detail + u'\n');
        return kExitFailed;
    }
    log += QStringLiteral("Debug logging ") + request.mode + QStringLiteral(", level ") +
           request.level + QStringLiteral(", transaction types ") + request.types +
           QStringLiteral(", ") +
           (request.machine.isEmpty() ? QStringLiteral("all clients")
                                      : QStringLiteral("machine ") + request.machine) +
           u'\n' + QString::fromLatin1(kSuccessLine) + u'\n';
    return WriteLog(logPath, log) ? kExitOk : kExitFailed;
}
