#include "addin/quilletmain.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "save/pathutils.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
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

// Levels to make below T:\A\B, two levels below the drive's root, where A\B\DXF is already there:
// the directory that results, the same the second time, and every directory on the drive
// afterwards. Nothing is made on the way to a level that ".." takes back, and ".." stops at the
// drive's root.
struct LevelsCase {
    const char *dirName;
    const char *dirSpec;
    QStringList dirs;
};

class MkRecurseDirLevels : public PathUtils, public ::testing::WithParamInterface<LevelsCase> { };

TEST_P(MkRecurseDirLevels, MakeOnlyTheMissingLevelsOfTheDirectoryTheyName)
{
    drive.mkdir(QStringLiteral("A/B/DXF"));
    for (int turn = 0; turn < 2; ++turn) {
        ASSERT_TRUE(mkRecurseDir(drive.win(QStringLiteral("A\\B")), GetParam().dirName, dirSpec));
        EXPECT_EQ(dirSpec, drive.win(GetParam().dirSpec));
    }
    QStringList dirs;
    QDirIterator it(drive.native(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        dirs.append(QDir(drive.native()).relativeFilePath(it.next()));
    dirs.sort();
    EXPECT_EQ(dirs, GetParam().dirs);
}

INSTANTIATE_TEST_SUITE_P(Cases, MkRecurseDirLevels,
    ::testing::Values(
        LevelsCase { "DXF\\2005", "A\\B\\DXF\\2005", { "A", "A/B", "A/B/DXF", "A/B/DXF/2005" } },
        LevelsCase { ".\\DXF", "A\\B\\DXF", { "A", "A/B", "A/B/DXF" } },
        LevelsCase { "..\\DXF", "A\\DXF", { "A", "A/B", "A/B/DXF", "A/DXF" } },
        LevelsCase { "DXF\\.\\x", "A\\B\\DXF\\x", { "A", "A/B", "A/B/DXF", "A/B/DXF/x" } },
        LevelsCase { "a\\..\\b", "A\\B\\b", { "A", "A/B", "A/B/DXF", "A/B/b" } },
        LevelsCase { "..\\..\\..\\..\\..\\x", "x", { "A", "A/B", "A/B/DXF", "x" } },
        LevelsCase { " .. \\ .. \\..\\..", "", { "A", "A/B", "A/B/DXF" } }));
