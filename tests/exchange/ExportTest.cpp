#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FakeFileChooser.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "exchange/Export.h"
#include "platform/SettingsStore.h"

namespace {

const QString kHeader = QStringLiteral(
    " PID  ,    UserId     ,        Machine          ,   DateTime         ,   Email");

class ExportTest : public ::testing::Test {
protected:
    ExportTest() : store(Path("q.conf")), settings(store) { QDir().mkpath(Path("start")); }

    bool Run(const QString& answer, const QList<ExportRow>& sessions = Two()) {
        chooser.answers = {answer};
        CExport exporter(sessions, kHeader, QStringLiteral("ZuDU.csv"),
                         {settings, chooser, prompter, Path("start"), nullptr});
        return exporter.Export();
    }
    static QList<ExportRow> Two() {
        return {{"3312", "ABCDEFGHIJKLMNOPQRST", "PC-0001", "2024/03/01_10:00:00", "a@example.com"},
                {"1234567", "Jürgen", "A-MACHINE-NAME-LONGER-THAN-25", "2024/3/1_9:5:0", ""}};
    }
    QString Path(const char* relative) const { return dir.filePath(QString::fromUtf8(relative)); }
    bool Exists(const char* relative) const { return QFileInfo::exists(Path(relative)); }

    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings;
    FakeFileChooser chooser;
    RecordingPrompter prompter;
};

TEST_F(ExportTest, FileHoldsTheHeaderAndOneFixedWidthLinePerSessionInOrder) {
    ASSERT_TRUE(Run(Path("snap.csv")));
    EXPECT_EQ(
        ReadAll(Path("snap.csv")),
        " PID  ,    UserId     ,        Machine          ,   DateTime         ,   Email\n"
        "3312  ,ABCDEFGHIJKLMNO,PC-0001                  , 2024/03/01_10:00:00,a@example.com\n"
        "123456,J\xC3\xBCrgen         ,A-MACHINE-NAME-LONGER-THA,      2024/3/1_9:5:0,\n");
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Information);
    EXPECT_EQ(prompter.shown[0].text, Path("snap.csv") + " Exported Successfully.");

    ASSERT_EQ(chooser.calls.size(), 1);
    EXPECT_EQ(chooser.calls[0].directory, Path("start")) << "nothing remembered yet";
    EXPECT_EQ(chooser.calls[0].defaultName, QStringLiteral("ZuDU.csv"));
    EXPECT_EQ(chooser.calls[0].filter, QStringLiteral("CSV Files (*.csv)"));
    EXPECT_TRUE(chooser.calls[0].overwritePrompt);

    // A date-time longer than 20 keeps its first 20; a lone session is exported too.
    ASSERT_TRUE(Run(Path("one.csv"), {{"1", "u", "m", "2024/03/01_10:00:00.123", "e"}}));
    EXPECT_EQ(ReadAll(Path("one.csv")),
              (kHeader + "\n1     ,u              ,m                        ,"
                         "2024/03/01_10:00:00.,e\n")
                  .toUtf8());
}

TEST_F(ExportTest, ExtensionIsAddedOnlyWhenThePathHasNoDotAtAll) {
    ASSERT_TRUE(Run(Path("plain")));
    EXPECT_TRUE(Exists("plain.csv"));
    EXPECT_FALSE(Exists("plain"));
    EXPECT_EQ(prompter.Texts().last(), Path("plain.csv") + " Exported Successfully.");
    ASSERT_TRUE(Run(Path("report.txt")));
    EXPECT_TRUE(Exists("report.txt"));
    QDir().mkpath(Path("my.dir"));
    ASSERT_TRUE(Run(Path("my.dir/snap")));
    EXPECT_TRUE(Exists("my.dir/snap")) << "the dot in the folder name counts";
}

TEST_F(ExportTest, TheNextExportStartsInTheFolderOfTheLastOne) {
    QDir().mkpath(Path("other"));
    ASSERT_TRUE(Run(Path("other/a.csv")));
    EXPECT_EQ(settings.Text(Setting::ExportDirectory), Path("other"));
    prompter.shown.clear();
    EXPECT_FALSE(Run(QString())) << "Cancel";
    EXPECT_TRUE(prompter.shown.isEmpty());
    ASSERT_EQ(chooser.calls.size(), 2);
    EXPECT_EQ(chooser.calls[1].directory, Path("other"));
    EXPECT_EQ(CExport::FolderOf(QStringLiteral("/x.csv")), QStringLiteral("/"));
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsReportedAndNotPresentedAsSuccess) {
    EXPECT_FALSE(Run(Path("missing/snap.csv")));
    // A directory in the way of the file: it stays, and no temporary file is left behind.
    QDir().mkpath(Path("blocked.csv"));
    EXPECT_FALSE(Run(Path("blocked.csv")));

    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Warning);
    EXPECT_TRUE(prompter.shown[0].text.contains(Path("missing/snap.csv")));
    EXPECT_EQ(prompter.shown[1].kind, RecordingPrompter::Kind::Warning);
    EXPECT_TRUE(prompter.shown[1].text.contains(Path("blocked.csv")));
    EXPECT_TRUE(QFileInfo(Path("blocked.csv")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"q.conf"});
}

}  // namespace
