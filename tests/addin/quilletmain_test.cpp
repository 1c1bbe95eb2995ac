#include "addin/quilletmain.h"

#include <gtest/gtest.h>

// The values from the version resource are checked in the texts that show them, the character
// sets where they are used; so is a minor number padded to two digits ("1.00"). Wider ones stay
// whole.
TEST(Quilletmain, VersionHasAtLeastTwoMinorDigits)
{
    EXPECT_EQ(Quilletmain::formatVersion(1, 123), QStringLiteral("1.123"));
}
