#include <gtest/gtest.h>

#include "monitor/TrayState.h"

namespace {

using Condition = TrayState::Condition;

// The tray through a day of a monitor left running: scans that answer, a short outage, an
// outage that raises an alert, the scanner switched off and on, the Broker back.
TEST(TrayStateTest, FollowsScansPausesAlertsAndRecovery) {
    TrayState tray;
    tray.SetBroker(QStringLiteral("TESBKR01"));
    EXPECT_EQ(tray.State(), Condition::Answering);
    EXPECT_EQ(tray.ToolTip(),
              QStringLiteral("Quorvatel - Broker: TESBKR01\nSessions: unknown\nScanning"));

    EXPECT_FALSE(tray.ScanAnswered(12));
    EXPECT_EQ(tray.ToolTip(),
              QStringLiteral("Quorvatel - Broker: TESBKR01\nSessions: 12\nScanning"));

    // A short outage: red while it lasts, back to green without a notice.
    tray.ScanFailed();
    EXPECT_EQ(tray.State(), Condition::Failing);
    EXPECT_EQ(tray.StateText(), QStringLiteral("Broker not answering (1 failed scan)"));
    tray.ScanFailed();
    EXPECT_EQ(tray.StateText(), QStringLiteral("Broker not answering (2 failed scans)"));
    EXPECT_FALSE(tray.ScanAnswered(11));
    EXPECT_EQ(tray.State(), Condition::Answering);

    // An outage long enough for an alert.
    for (int i = 0; i < 6; ++i) tray.ScanFailed();
    const TrayState::Notice alert = tray.AlertRaised();
    EXPECT_TRUE(alert.warning);
    EXPECT_EQ(alert.title, QStringLiteral("Quorvatel"));
    EXPECT_EQ(alert.text, QStringLiteral("Broker TESBKR01 has not answered 6 scans in a row."));
    EXPECT_TRUE(tray.ToolTip().endsWith(
        QStringLiteral("Sessions: 11\nBroker not answering (6 failed scans)")));

    // Switched off, the tray shows paused whatever the Broker did; on again, still failing.
    tray.SetScanEnabled(false);
    EXPECT_EQ(tray.State(), Condition::Paused);
    EXPECT_TRUE(tray.ToolTip().endsWith(QStringLiteral("\nScanner Paused")));
    tray.SetScanEnabled(true);
    EXPECT_EQ(tray.State(), Condition::Failing);
    tray.ScanFailed();

    // The Broker answers again: one notice, then quiet.
    const std::optional<TrayState::Notice> back = tray.ScanAnswered(9);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->warning);
    EXPECT_EQ(back->text, QStringLiteral("Broker TESBKR01 answers again after 7 failed scans."));
    EXPECT_EQ(tray.State(), Condition::Answering);
    EXPECT_EQ(tray.Sessions(), 9);
    EXPECT_FALSE(tray.ScanAnswered(10));
}

}  // namespace
