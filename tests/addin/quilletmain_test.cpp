#include "addin/quilletmain.h"

#include <gtest/gtest.h>

TEST(Quilletmain, VersionHasAtLeastTwoMinorDigits)
{
    EXPECT_EQ(Quilletmain::formatVersion(1, 48), QStringLiteral("1.48"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 5), QStringLiteral("1.05"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 123), QStringLiteral("1.123"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 0), QStringLiteral("1.00"));
}

// Name and version are checked in every text that shows them, the character sets where they
// are used.
TEST(Quilletmain, CopyrightComesFromTheVersionResource)
{
    Quilletmain::fillFromVersionResource();
    EXPECT_FALSE(Quilletmain::legalCopyright.isEmpty());
}
