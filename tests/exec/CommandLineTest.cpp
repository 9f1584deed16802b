#include <gtest/gtest.h>

#include <QProcess>
#include <QRandomGenerator>

#include "exec/CommandLine.h"

namespace {

TEST(CommandLineTest, PlainValuesStayReadable) {
    EXPECT_EQ(CommandLine::Join({QStringLiteral("quslist"), QStringLiteral("-b"),
                                 QStringLiteral("TESBKR01"), QStringLiteral("-cu")}),
              QStringLiteral("quslist -b TESBKR01 -cu"));
}

TEST(CommandLineTest, EveryNonEmptyValueComesBackExactly) {
    const QString alphabet = QStringLiteral(" \t\"'ab;$`\\|<>&%*\n");
    QRandomGenerator rng(7);
    for (int i = 0; i < 20000; ++i) {
        QStringList words;
        const int n = 1 + rng.bounded(4);
        for (int k = 0; k < n; ++k) {
            QString w;
            const int len = 1 + rng.bounded(6);
            for (int j = 0; j < len; ++j) w += alphabet[rng.bounded(alphabet.size())];
            words << w;
        }
        ASSERT_EQ(QProcess::splitCommand(CommandLine::Join(words)), words)
            << CommandLine::Join(words).toStdString();
    }
}

}  // namespace
