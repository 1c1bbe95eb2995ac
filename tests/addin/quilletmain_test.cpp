#include "addin/quilletmain.h"

#include <gtest/gtest.h>

TEST(Quilletmain, VersionHasAtLeastTwoMinorDigits)
{
    EXPECT_EQ(Quilletmain::formatVersion(1, 48), QStringLiteral("1.48"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 5), QStringLiteral("1.05"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 123), QStringLiteral("1.123"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 0), QStringLiteral("1.00"));
}

// The character sets and the file description are checked where they are used.
TEST(Quilletmain, ValuesFromTheVersionResource)
{
    Quilletmain::fillFromVersionResource();
    EXPECT_EQ(Quilletmain::productName, QStringLiteral("Quillet"));
    EXPECT_EQ(Quilletmain::versionString, QStringLiteral("1.00"));
    EXPECT_FALSE(Quilletmain::legalCopyright.isEmpty());
}
