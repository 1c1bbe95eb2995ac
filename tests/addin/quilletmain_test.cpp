#include "addin/quilletmain.h"

#include <gtest/gtest.h>

// The values from the version resource are checked in the texts that show them, the character
// sets where they are used.
TEST(Quilletmain, VersionHasAtLeastTwoMinorDigits)
{
    EXPECT_EQ(Quilletmain::formatVersion(1, 5), QStringLiteral("1.05"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 123), QStringLiteral("1.123"));
}
