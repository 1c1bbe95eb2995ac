#include "addin/quilletmain.h"

#include <gtest/gtest.h>

TEST(Quilletmain, VersionHasAtLeastTwoMinorDigits)
{
    EXPECT_EQ(Quilletmain::formatVersion(1, 48), QStringLiteral("1.48"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 5), QStringLiteral("1.05"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 123), QStringLiteral("1.123"));
    EXPECT_EQ(Quilletmain::formatVersion(1, 0), QStringLiteral("1.00"));
}

TEST(Quilletmain, ValuesFromTheVersionResource)
{
    Quilletmain::fillFromVersionResource();
    EXPECT_EQ(Quilletmain::productName, QStringLiteral("Quillet"));
    EXPECT_EQ(Quilletmain::versionString, QStringLiteral("1.00"));
    EXPECT_EQ(Quilletmain::fileDescription,
        QStringLiteral("Name and Save SolidWorks Drawing Documents with Custom Property "
                       "information in a variety of formats based on user defined rules"));
    EXPECT_FALSE(Quilletmain::legalCopyright.isEmpty());
    EXPECT_EQ(Quilletmain::unwantedPathChars, QStringLiteral(":\\/\r\t\n\b"));
    EXPECT_EQ(Quilletmain::unwantedPathChars.size(), 7);
    EXPECT_EQ(Quilletmain::unwantedFileChars, QStringLiteral("\\/:*?<>|\r\t\n\b"));
    EXPECT_EQ(Quilletmain::unwantedFileChars.size(), 12);
}
