// quslist: lists the simulated Broker's client sessions into "QusList.log" in the current
// directory, keeping the command line of the Tessamy users-listing tool.
#include <QCoreApplication>

#include "BrokerAccess.h"
#include "Population.h"
#include "QusListReport.h"
#include "SimRandom.h"
#include "ToolArgs.h"

namespace {

const QString kTool = QStringLiteral("quslist");
const QString kUsage = QStringLiteral("quslist -b BROKER -usr USER -pw PASSWORD -cu");

bool WriteReport(const QByteArray& report) {
    return ReplaceFile(kTool, QString::fromLatin1(QusListReport::kFileName), report);
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = ArgumentsOf(argc, argv);
    if (HelpShown(args, kUsage,
                  QStringLiteral("Lists the client sessions of a simulated Tessamy Broker into "
                                 "QusList.log in the current directory.")))
        return kExitOk;
    ToolArgs parsed(
        {{"b", true, true}, {"usr", true, true}, {"pw", true, true}, {"cu", false, true}}, 0);
    if (!parsed.Parse(args)) return UsageError(kTool, parsed.Error(), kUsage);

    const QString broker = parsed.Value("b");
    BrokerStore store;
    BrokerAccess access(store);
    BrokerState state;
    QString detail;
    const BrokerAccess::Outcome outcome =
        access.Connect(broker, parsed.Value("usr"), parsed.Value("pw"), state, detail);
    const QDateTime now = QDateTime::currentDateTime();
    if (outcome == BrokerAccess::Outcome::CouldNotConnect) {
        PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
        WriteReport(QusListReport::CouldNotConnect(broker, now));
        return kExitFailed;
    }
    if (outcome == BrokerAccess::Outcome::BadCredentials) {
        PrintErr(kTool + QStringLiteral(": ") + detail + u'\n');
        WriteReport(QusListReport::BadCredentials(now));
        return kExitFailed;
    }

    // Churn and damage both advance a stored step; do it under the Broker's lock so that
    // listings running at the same time each take their own step.
    quint64 brokenStep = state.brokenStep;
    if (state.churn || state.condition == BrokerCondition::Broken) {
        BrokerState updated;
        const BrokerStore::Result r = store.Update(
            broker,
            [&](BrokerState& s, QString&) {
                if (s.churn) Population::Churn(s, now);
                if (s.condition == BrokerCondition::Broken) brokenStep = s.brokenStep++;
                updated = s;
                return true;
            },
            detail);
        if (r == BrokerStore::Result::Ok)
            state = updated;
        else
            PrintErr(kTool + QStringLiteral(": sessions unchanged: ") + detail + u'\n');
    }

    SimSession own;
    own.user = parsed.Value("usr");
    own.machine = QusListReport::HostMachineName();
    own.pid = static_cast<quint32>(QCoreApplication::applicationPid());
    own.login = now;
    QByteArray report = QusListReport::Normal(state, own, now);
    if (state.condition == BrokerCondition::Broken) {
        SimRandom random = SimRandom::ForStep(state.brokenSeed, brokenStep);
        report = QusListReport::Damaged(report, state.damage, random);
    }
    return WriteReport(report) ? kExitOk : kExitFailed;
}
