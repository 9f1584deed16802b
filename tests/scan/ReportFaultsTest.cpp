#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include "SimScanFixture.h"

// Reports that are not what the users-listing tool should leave: a FIFO, a link to
// /dev/zero, hundreds of megabytes, a directory, a file that cannot be read, endless lines,
// binary bytes. The real engine runs the stand-in tool through a wrapper that damages the
// report; the monitor must go on scanning, count what is a failed scan, and lose nothing.
namespace {

// Child processes of this test still around (zombies included).
QStringList Children() {
    QStringList out;
    const QString self = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self.toLatin1()) out.append(pid);
    }
    return out;
}

class ReportFaultsTest : public SimScanFixture {
protected:
    void SetUp() override {
        SimScanFixture::SetUp();
        broker.AddUser(QStringLiteral("alice"));
        broker.AddUser(QStringLiteral("bob"));
        broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                     QStringLiteral("2017/11/02 09:01:00"));
        broker.LogOn(QStringLiteral("bob"), QStringLiteral("PC2"), QStringLiteral("200"),
                     QStringLiteral("2017/11/02 09:02:00"));
        // The wrapper runs the stand-in tool, then does to its report what "fault" says.
        const QString bin = broker.Root() + QStringLiteral("/faultbin");
        QDir().mkpath(bin);
        faultFile = broker.Root() + QStringLiteral("/fault");
        payloadFile = broker.Root() + QStringLiteral("/payload");
        QFile script(bin + QStringLiteral("/quslist"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        // Without a fault the tool runs in the wrapper's place, so its own session is known.
        script.write("#!/bin/sh\nmode=$(cat '" + faultFile.toUtf8() +
                     "' 2>/dev/null)\n"
                     "[ -z \"$mode\" ] && exec \"" QV_SIM_BIN_DIR
                     "/quslist\" \"$@\"\n"
                     "\"" QV_SIM_BIN_DIR
                     "/quslist\" \"$@\" || exit $?\n"
                     "case \"$mode\" in\n"
                     "fifo) rm -f QusList.log; mkfifo QusList.log ;;\n"
                     "zero) rm -f QusList.log; ln -s /dev/zero QusList.log ;;\n"
                     "huge) truncate -s 300M QusList.log ;;\n"
                     "directory) rm -f QusList.log; mkdir QusList.log ;;\n"
                     "unreadable) chmod 000 QusList.log ;;\n"
                     "payload) cat '" +
                     payloadFile.toUtf8() +
                     "' > QusList.log ;;\n"
                     "esac\nexit 0\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
        qputenv("PATH", bin.toLocal8Bit() + ':' + qgetenv("PATH"));
    }

    void Fault(const QByteArray& mode) { WriteAll(faultFile, mode); }

    // The directory entry the fault left behind goes before the next run, as an operator
    // would clear it.
    void ClearReport() {
        const QString report = QDir(broker.WorkDir()).filePath(QStringLiteral("QusList.log"));
        QFile::setPermissions(report, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QDir(report).removeRecursively();
        QFile::remove(report);
    }

    QByteArray History() const { return ReadAll(history.Path()); }

    void ExpectSessionsShown() {
        EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"100", "ALICE", "PC1", "2017/11/02 09:01:00"}));
        EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    }

    QString faultFile;
    QString payloadFile;
};

TEST_F(ReportFaultsTest, ReportsThatAreNoReportsAreFailedScansAndScanningGoesOn) {
    engine.StartScanning();
    ExpectSessionsShown();
    const QStringList before = Children();

    // Not a regular file, or far past any real report: "Failed to Respond", counted, and
    // read no further than its directory entry (a FIFO would block, /dev/zero never end).
    const QList<QByteArray> unusable{"fifo", "zero", "huge", "directory", "unreadable"};
    for (const QByteArray& mode : unusable) {
        SCOPED_TRACE(mode.toStdString());
        if (mode == "unreadable" && ::geteuid() == 0) continue;  // root reads it anyway
        const QByteArray earlier = History();
        clock.Advance(10000);
        Fault(mode);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(engine.RunScanCycle(), 0);
        EXPECT_LT(t.elapsed(), 15000);
        EXPECT_EQ(Entry(grid, 1, 2), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));
        EXPECT_EQ(History(), earlier +
                                 "REC : Error      Broker               Failed to Respond    " +
                                 Now().toLatin1() + "\n");
        EXPECT_EQ(engine.ContigFailCount(), 1);
        EXPECT_TRUE(engine.Scanning());
        EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
        ExpectSessionsShown();

        // The Broker answers again: the failure entry goes, the sessions stay.
        ClearReport();
        Fault("");
        clock.Advance(10000);
        EXPECT_EQ(engine.RunScanCycle(), 1);
        ExpectSessionsShown();
        EXPECT_EQ(Entry(grid, 1, 2)[0], QString());
        EXPECT_EQ(engine.ContigFailCount(), 0);
        EXPECT_TRUE(History().startsWith(earlier)) << "an earlier history line changed";
    }
    EXPECT_TRUE(alerts.isEmpty());

    // Readable reports with damaged lines are read as the tool's reports are: lines of
    // 100,000 characters and binary bytes give no session, the others are still read.
    QByteArray good;
    for (const QByteArray& line :
         ReadAll(QDir(broker.WorkDir()).filePath(QStringLiteral("QusList.log"))).split('\n'))
        if (!line.startsWith(SimBroker::kAdmin)) good += line + '\n';  // that run's own session
    const qsizetype separatorEnd = good.indexOf('\n', good.indexOf("------------------")) + 1;
    ASSERT_GT(separatorEnd, 0);
    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator rng(11);
    for (char& c : binary) {
        c = static_cast<char>(rng.bounded(256));
        if (c == '\n') c = '\0';
    }
    const QByteArray damaged = good.left(separatorEnd) + QByteArray(100000, 'x') + '\n' +
                               QByteArray("ab ").repeated(33334) + '\n' + binary + '\n' +
                               good.mid(separatorEnd);
    WriteAll(payloadFile, damaged);
    Fault("payload");
    const QByteArray earlier = History();
    clock.Advance(10000);
    EXPECT_EQ(engine.RunScanCycle(), 1);
    ExpectSessionsShown();
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("2"));
    EXPECT_EQ(History(), earlier) << "damaged lines gave a session";

    // A report of nothing but binary bytes has no separator: the login was refused.
    WriteAll(payloadFile, binary.repeated(64));
    clock.Advance(10000);
    EXPECT_EQ(engine.RunScanCycle(), 0);
    EXPECT_EQ(Entry(grid, 1, 2), (QStringList{"Error", "Broker", "Invalid Credentials", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 0);
    EXPECT_TRUE(History().startsWith(earlier));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();

    Fault("");
    clock.Advance(10000);
    EXPECT_EQ(engine.RunScanCycle(), 1);
    ExpectSessionsShown();
    EXPECT_EQ(Children(), before) << "a process was left behind";
}

}  // namespace
