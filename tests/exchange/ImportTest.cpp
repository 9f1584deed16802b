#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "FakeFileChooser.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "platform/SettingsStore.h"

namespace {

QStringList Rows(const CReportCtrl& list) {
    QStringList rows;
    for (int row = 0; row < list.GetItemCount(); ++row)
        rows.append(QString::number(list.GetCheck(row) ? 1 : 0) + QLatin1Char(':') +
                    list.GetItemText(row, 0));
    return rows;
}

TEST(ImportTest, ASnapshotOfTheProgramsOwnExportAddsEachNewAddressOnceTickedAndSorted) {
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("snap.d/week")));
    SettingsStore store(work.filePath(QStringLiteral("profile.ini")));
    AppSettings settings(store);
    FakeFileChooser chooser;
    RecordingPrompter prompter;

    // Two sessions of one user share an address; one address is listed already in other
    // capitals; one session has none.
    const QString snapshot = work.filePath(QStringLiteral("snap.d/week/monday.csv"));
    chooser.answers = {snapshot};
    CExport exporter({{"3312", "lnovak", "PC042", "2017/11/02_09:01:00", "lnovak@example.com"},
                      {"3313", "lnovak", "PC043", "2017/11/02_09:02:00", "lnovak@example.com"},
                      {"4100", "vobrien", "PC007", "2017/11/02_09:03:00", "VOBrien@Example.com"},
                      {"4101", "guest", "PC008", "2017/11/02_09:04:00", ""},
                      {"4102", "Zed", "PC009", "2017/11/02_09:05:00", "Zed@example.com"}},
                     QStringLiteral(" PID  ,    UserId     ,        Machine          ,   "
                                    "DateTime         ,   Email"),
                     QStringLiteral("ZuDU.csv"), {settings, chooser, prompter, work.path()});
    ASSERT_TRUE(exporter.Export());

    CReportCtrl list;
    list.SetColumnHeader(QStringLiteral("Email address, 292;"));
    list.SetCheckboxMode(CReportCtrl::RC_CHKBOX_NORMAL);
    list.InsertItem(0, QStringLiteral("vobrien@example.com"));
    list.InsertItem(0, QStringLiteral("ops@example.com"));

    chooser.answers = {snapshot};
    const CImport::Services services{settings, chooser, prompter, nullptr};
    EXPECT_TRUE(CImport(list, services).Import());
    EXPECT_EQ(Rows(list), (QStringList{"1:Zed@example.com", "1:lnovak@example.com",
                                       "0:ops@example.com", "0:vobrien@example.com"}));
    const FakeFileChooser::Call first = chooser.calls.last();
    EXPECT_EQ(first.directory, QDir::toNativeSeparators(QStringLiteral("../data")));
    EXPECT_EQ(first.filter, QStringLiteral("CSV Files (*.csv)"));
    EXPECT_EQ(settings.Text(Setting::ImportDirectory),
              QDir::toNativeSeparators(work.filePath(QStringLiteral("snap.d/week"))));

    // The next import starts there. This file has a line far longer than 1023 characters,
    // whose tail must not count as a line of its own, Windows line ends, quotes taken as
    // they are, and lines too short to hold an address.
    const QString other = work.filePath(QStringLiteral("other.csv"));
    const QByteArray filler(1500, 'x');
    ASSERT_TRUE(WriteAll(other,
                         "header\r\n"
                         "1,2,3,4,long@example.com," +
                             filler +
                             ",6,7,8,bogus@example.com\r\n"
                             "1,\"a,b\",3,quoted@example.com\r\n"
                             "1,2,3\r\n"
                             "1,2,3,4,\r\n"
                             "1,2,3,4,ZED@EXAMPLE.COM\r\n"
                             "1,2,3,4,last@example.com"));
    chooser.answers = {other};
    EXPECT_TRUE(CImport(list, services).Import());
    EXPECT_EQ(chooser.calls.last().directory,
              QDir::toNativeSeparators(work.filePath(QStringLiteral("snap.d/week"))));
    EXPECT_EQ(Rows(list),
              (QStringList{"1:Zed@example.com", "1:last@example.com", "1:lnovak@example.com",
                           "1:long@example.com", "0:ops@example.com", "1:quoted@example.com",
                           "0:vobrien@example.com"}));
    EXPECT_EQ(settings.Text(Setting::ImportDirectory), QDir::toNativeSeparators(work.path()));

    // Cancel reads nothing; a file that cannot be opened says so and adds nothing.
    EXPECT_TRUE(CImport(list, services).Import());
    EXPECT_TRUE(prompter.shown.size() == 1) << "only the export's own confirmation so far";
    chooser.answers = {work.filePath(QStringLiteral("missing.csv"))};
    EXPECT_FALSE(CImport(list, services).Import());
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown.last().kind, RecordingPrompter::Kind::Warning);
    EXPECT_TRUE(prompter.shown.last().text.contains(QStringLiteral("missing.csv")));
    EXPECT_EQ(list.GetItemCount(), 7);
    // A FIFO would hold the program until something writes into it: it is refused at once.
    const QString fifo = work.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(CImport(list, services).ReadFile(fifo));
    EXPECT_TRUE(prompter.shown.last().text.endsWith(QStringLiteral("(not a regular file).")));
}

// What a user may pick besides a snapshot: text in another encoding, stray control
// characters, a binary file, a file that says it is empty (as those under /proc do).
TEST(ImportTest, TextIsReadWhateverItsEncodingAndWhatIsNotTextIsRefused) {
    QTemporaryDir work;
    SettingsStore store(work.filePath(QStringLiteral("profile.ini")));
    AppSettings settings(store);
    FakeFileChooser chooser;
    RecordingPrompter prompter;
    CReportCtrl list;
    list.SetColumnHeader(QStringLiteral("Email address, 292;"));
    list.InsertItem(0, QString::fromUtf8("stra\xc3\x9f"
                                         "e@example.de"));
    list.InsertItem(0, QStringLiteral("bob@x.org"));
    CImport import(list, {settings, chooser, prompter, nullptr});
    const QString text = work.filePath(QStringLiteral("text.csv"));
    ASSERT_TRUE(
        WriteAll(text, QByteArrayLiteral("h\n1,2,3,4,m\xfcller@example.de\n1,2,3,4,n\0@x.org"
                                         "\n1,2,3,4,STRASSE@example.de\n1,2,3,4,BOB@x.org")));
    EXPECT_TRUE(import.ReadFile(text));
    EXPECT_EQ(Rows(list), (QStringList{"1:STRASSE@example.de", "0:bob@x.org",
                                       QString::fromUtf8("1:m\xc3\xbcller@example.de"),
                                       QString::fromUtf8("0:stra\xc3\x9f"
                                                         "e@example.de")}));
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary.append(char(i * 7 % 256));
    ASSERT_TRUE(WriteAll(text, "h\n1,2,3,4,x@example.com\n" + binary));
    EXPECT_FALSE(import.ReadFile(text));
    EXPECT_EQ(prompter.Texts(), QStringList{"Unable to Import csv file data"});
    EXPECT_EQ(list.GetItemCount(), 4);
    // Mount options are comma-separated: /proc/self/mountinfo has lines with a fifth field.
    EXPECT_TRUE(import.ReadFile(QStringLiteral("/proc/self/mountinfo")));
    EXPECT_GT(list.GetItemCount(), 4);
}

TEST(ImportTest, AReadErrorKeepsWhatWasReadAndSaysSo) {
    // A device that fails after its first two lines.
    class FailingDevice : public QBuffer {
    public:
        using QBuffer::QBuffer;
        qint64 readData(char* data, qint64 max) override {
            if (pos() >= 40) return -1;
            return QBuffer::readData(data, qMin<qint64>(max, 40 - pos()));
        }
    };
    QByteArray bytes = "h\n1,2,3,4,a@example.com\n" + QByteArray(200, 'y') + "\n";
    FailingDevice device(&bytes);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    QStringList addresses;
    EXPECT_EQ(ReadImportAddresses(device, addresses, 1000), ImportReading::ReadError);
    EXPECT_EQ(addresses, QStringList{"a@example.com"});
}

}  // namespace
