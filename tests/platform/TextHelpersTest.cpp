#include <gtest/gtest.h>

#include "platform/TextHelpers.h"

TEST(TextHelpersTest, LeadingIntFollowsAtoi) {
    EXPECT_EQ(LeadingInt(QStringLiteral("12abc")), 12);
    EXPECT_EQ(LeadingInt(QStringLiteral("  -3")), -3);
    EXPECT_EQ(LeadingInt(QStringLiteral("abc")), 0);
    EXPECT_EQ(LeadingInt(QString()), 0);
    EXPECT_EQ(LeadingInt(QStringLiteral("99999999999")), 2147483647);
}
