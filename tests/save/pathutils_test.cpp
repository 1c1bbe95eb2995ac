#include "platform/quilleterror.h"
#include "save/pathutils.h"
#include "testsupport.h"

#include <array>
#include <gtest/gtest.h>

class PathUtils : public ::testing::Test {
protected:
    TempDrive drive;
    QString dirSpec = "unchanged";
};

// The sets that names and filename formats are cleaned with are checked through the filename
// builder and the run preparation.
TEST_F(PathUtils, CleanStringRemovesEachCharacterExactly)
{
    const std::array<const char *, 3> cases[] = { { "a|b", "|", "ab" }, { "aAbB", "ab", "AB" },
        { "a b", "", "a b" }, { "a::b", "::", "ab" } };
    for (const auto &[text, unwanted, clean] : cases)
        EXPECT_EQ(cleanString(QLatin1String(text), QLatin1String(unwanted)), QLatin1String(clean));
}

TEST_F(PathUtils, MkRecurseDirTrimsLevelsAndSkipsEmptyOnes)
{
    drive.mkdir("Base");
    ASSERT_TRUE(mkRecurseDir(drive.win("Base"), "\\  A \\\\ B  \\", dirSpec));
    EXPECT_EQ(dirSpec, drive.win("Base\\A\\B"));
    // Tabs are not blanks: they stay part of the level, which Windows refuses.
#ifdef Q_OS_WIN
    EXPECT_EQ(raisedBy([&] { mkRecurseDir(drive.win("Base"), "\tT", dirSpec); }),
        "52 Bad file name or number");
    const QStringList made { "Base", "Base/A", "Base/A/B" };
#else
    ASSERT_TRUE(mkRecurseDir(drive.win("Base"), "\tT", dirSpec));
    const QStringList made { "Base", "Base/\tT", "Base/A", "Base/A/B" };
#endif
    ASSERT_TRUE(mkRecurseDir(drive.win("Base"), QString(), dirSpec));
    EXPECT_EQ(dirSpec, drive.win("Base"));
    EXPECT_EQ(tree(drive.native()), made);
}

TEST_F(PathUtils, MkRecurseDirRaisesItsErrorsAndKeepsTheResult)
{
    drive.mkdir("Base");
    writeNative(drive.native("Base/A/file"), "x");
    const QString noBase = "11901 Specified base directory does not exist.";
    EXPECT_EQ(raisedBy([&] { mkRecurseDir(drive.win("Missing"), "A", dirSpec); }), noBase);
    // A drive that is not mapped does not exist either.
    EXPECT_EQ(raisedBy([&] { mkRecurseDir("Q:\\Out", "A", dirSpec); }), noBase);
    // A file where a level should be: the level cannot be made a directory.
    EXPECT_EQ(raisedBy([&] { mkRecurseDir(drive.win("Base"), "A\\file\\C", dirSpec); }),
        "58 File already exists");
    EXPECT_EQ(tree(drive.native()), QStringList({ "Base", "Base/A", "Base/A/file" }));
    EXPECT_EQ(dirSpec, "unchanged");
}

// Levels to make below T:\A\B, two levels below the drive's root, where A\B\DXF is already there:
// the directory that results, the same the second time, and every directory on the drive
// afterwards. Nothing is made on the way to a level that ".." takes back, and ".." stops at the
// drive's root.
TEST_F(PathUtils, MkRecurseDirMakesOnlyTheMissingLevelsOfTheDirectoryItNames)
{
    const std::tuple<const char *, const char *, QStringList> cases[]
        = { { "DXF\\2005", "A\\B\\DXF\\2005", { "A/B/DXF/2005" } }, { ".\\DXF", "A\\B\\DXF", {} },
              { "..\\DXF", "A\\DXF", { "A/DXF" } }, { "a\\..\\b", "A\\B\\b", { "A/B/b" } },
              { "..\\..\\..\\..\\..\\x", "x", { "x" } }, { " .. \\ .. \\..\\..", "", {} } };
    for (const auto &[dirName, made, dirs] : cases) {
        const TempDrive fresh;
        fresh.mkdir("A/B/DXF");
        for (int turn = 0; turn < 2; ++turn) {
            ASSERT_TRUE(mkRecurseDir(fresh.win("A\\B"), QString::fromLatin1(dirName), dirSpec));
            EXPECT_EQ(dirSpec, fresh.win(QString::fromLatin1(made))) << dirName;
        }
        EXPECT_EQ(tree(fresh.native()), QStringList({ "A", "A/B", "A/B/DXF" }) + dirs) << dirName;
    }
}
