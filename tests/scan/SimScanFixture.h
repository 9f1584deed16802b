#pragma once

#include <gtest/gtest.h>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "ScanTestSupport.h"
#include "SimBroker.h"
#include "exec/CommandLauncher.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

// The engine against the stand-in users-listing tool and a simulated Broker.
class SimScanFixture : public ::testing::Test {
protected:
    void SetUp() override {
        broker.Create();
        history.Start(true);
        engine.SetPresenter(&presenter);
        ScanSettings s;
        s.broker = QString::fromLatin1(SimBroker::kBroker);
        s.adminUserId = QString::fromLatin1(SimBroker::kAdmin);
        s.adminPassword = QString::fromLatin1(SimBroker::kPassword);
        engine.SetSettings(s);
        engine.SetAlertHook([this](int tries) { alerts.append(tries); });
        launcher.SetTimeoutMs(1500);  // the real limit is 20 s; a hanging Broker outlasts both
    }

    QString Now() const { return clock.Now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

    SimBroker broker;
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30, 0))};
    RecordingPrompter prompter;
    CommandLauncher launcher{prompter};
    HistoryLog history{clock, broker.WorkDir()};
    CGridCtrl grid;
    RecordingPresenter presenter{grid};
    ScanEngine engine{grid.Model(), &grid, launcher, history, clock, prompter, broker.WorkDir()};
    QList<int> alerts;
};
