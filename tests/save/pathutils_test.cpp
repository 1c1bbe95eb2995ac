#include "addin/quilletmain.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "save/pathutils.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

class PathUtils : public ::testing::Test {
protected:
    void SetUp() override { Quilletmain::fillFromVersionResource(); }
    TempDrive drive;
    QString dirSpec = QStringLiteral("unchanged");
};

TEST_F(PathUtils, CleanStringRemovesEachCharacterExactly)
{
    EXPECT_EQ(cleanString(QStringLiteral("A:B/C"), Quilletmain::unwantedPathChars),
        QStringLiteral("ABC"));
    EXPECT_EQ(cleanString(QStringLiteral("a|b"), QStringLiteral("|")), QStringLiteral("ab"));
    EXPECT_EQ(cleanString(QStringLiteral("aAbB"), QStringLiteral("ab")), QStringLiteral("AB"));
    EXPECT_EQ(cleanString(QStringLiteral("x\ty\r\n\bz"), Quilletmain::unwantedPathChars),
        QStringLiteral("xyz"));
    EXPECT_EQ(cleanString(QStringLiteral("a b"), QString()), QStringLiteral("a b"));
    EXPECT_EQ(cleanString(QStringLiteral("a::b"), QStringLiteral("::")), QStringLiteral("ab"));
    EXPECT_EQ(cleanString(QStringLiteral("<a*b?c>\"d\""), Quilletmain::unwantedFileChars),
        QStringLiteral("abc\"d\""));
    // The set without "\" keeps level separators, as the new-directory dialog needs.
    const QString levelSafe = cleanString(Quilletmain::unwantedFileChars, QStringLiteral("\\"));
    EXPECT_EQ(cleanString(QStringLiteral("A\\B:*C"), levelSafe), QStringLiteral("A\\BC"));
}

TEST_F(PathUtils, MkRecurseDirCreatesMissingLevelsBelowTheBase)
{
    drive.mkdir(QStringLiteral("Base/DXF"));
    ASSERT_TRUE(
        mkRecurseDir(drive.win(QStringLiteral("Base")), QStringLiteral("DXF\\2005"), dirSpec));
    EXPECT_EQ(dirSpec, drive.win(QStringLiteral("Base\\DXF\\2005")));
    EXPECT_TRUE(QFileInfo(drive.native(QStringLiteral("Base/DXF/2005"))).isDir());

    // Twice with the same arguments: the same result, nothing new.
    ASSERT_TRUE(
        mkRecurseDir(drive.win(QStringLiteral("Base")), QStringLiteral("DXF\\2005"), dirSpec));
    EXPECT_EQ(
        QDir(drive.native(QStringLiteral("Base/DXF"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("2005") });
}

TEST_F(PathUtils, MkRecurseDirTrimsLevelsAndSkipsEmptyOnes)
{
    drive.mkdir(QStringLiteral("Base"));
    ASSERT_TRUE(mkRecurseDir(
        drive.win(QStringLiteral("Base")), QStringLiteral("\\  A \\\\ B  \\"), dirSpec));
    EXPECT_EQ(dirSpec, drive.win(QStringLiteral("Base\\A\\B")));
    EXPECT_TRUE(QFileInfo(drive.native(QStringLiteral("Base/A/B"))).isDir());

    // Tabs are not blanks: they stay part of the level.
    ASSERT_TRUE(mkRecurseDir(drive.win(QStringLiteral("Base")), QStringLiteral("\tT"), dirSpec));
    EXPECT_TRUE(QFileInfo(drive.native(QStringLiteral("Base/\tT"))).isDir());

    ASSERT_TRUE(mkRecurseDir(drive.win(QStringLiteral("Base")), QString(), dirSpec));
    EXPECT_EQ(dirSpec, drive.win(QStringLiteral("Base")));
}

TEST_F(PathUtils, MkRecurseDirRaisesItsErrorsAndKeepsTheResult)
{
    try {
        mkRecurseDir(drive.win(QStringLiteral("Missing")), QStringLiteral("A"), dirSpec);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, 11901);
        EXPECT_EQ(error.description, QStringLiteral("Specified base directory does not exist."));
    }
    EXPECT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Missing"))));
    EXPECT_EQ(dirSpec, QStringLiteral("unchanged"));
    // A drive that is not mapped does not exist either.
    try {
        mkRecurseDir(QStringLiteral("Q:\\Out"), QStringLiteral("A"), dirSpec);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, 11901);
    }

    // A file where a level should be: the level cannot be made a directory.
    drive.mkdir(QStringLiteral("Base"));
    writeNative(drive.native(QStringLiteral("Base/A/file")), "x");
    try {
        mkRecurseDir(drive.win(QStringLiteral("Base")), QStringLiteral("A\\file\\C"), dirSpec);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, PlatformError::FileAlreadyExists);
    }
    EXPECT_EQ(dirSpec, QStringLiteral("unchanged"));
}

TEST_F(PathUtils, MkRecurseDirNeverClimbsOutOfTheBase)
{
    drive.mkdir(QStringLiteral("Base"));
    try {
        mkRecurseDir(drive.win(QStringLiteral("Base")), QStringLiteral("..\\Escaped"), dirSpec);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, PlatformError::BadFileName);
    }
    EXPECT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Escaped"))));
    EXPECT_EQ(dirSpec, QStringLiteral("unchanged"));
}
