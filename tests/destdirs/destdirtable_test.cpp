#include "destdirs/destdirtable.h"
#include "memorysettings.h"
#include "platform/filesystemobject.h"
#include "testsupport.h"

#include <gtest/gtest.h>

class DestDirs : public ::testing::Test {
protected:
    void SetUp() override { drive.mkdir("Base"); }
    QString resolve(const QString &entry) { return resolveDestDir(entry, base, dirSpec); }

    TempDrive drive;
    const QString base = drive.win("Base");
    QString dirSpec;
};

TEST_F(DestDirs, TableFromSettingsDefaultsToCaptionsAndPersistsInOrder)
{
    MemorySettings store;
    store.set("DestinationDirectory.JPG", "C:\\Pictures");
    DestDirTable table = DestDirTable::fromSettings(store);
    QStringList entries;
    for (const char *key :
        { "[.SLDDRW]", "[.DXF]", "[.DWG]", "[.EDRW]", "[.JPG]", "[.TIF]", "[.PDF]" })
        entries.append(table.entry(QLatin1String(key)));
    EXPECT_EQ(entries,
        QStringList({ "SLDDRW", "DXF", "DWG", "eDrawing", "C:\\Pictures", "TIFF", "PDF" }));
    // PDF's single-file option plays no part here.
    EXPECT_EQ(raisedBy([&] { table.entry("[.0.PDF]"); }), "5 Invalid procedure call or argument");

    table.replace("[.DXF]", QString());
    store.writes.clear();
    table.persist(store);
    EXPECT_EQ(store.writes,
        (QStringList { "DestinationDirectory.SLDDRW", "DestinationDirectory.DXF",
            "DestinationDirectory.DWG", "DestinationDirectory.EDRW", "DestinationDirectory.JPG",
            "DestinationDirectory.TIF", "DestinationDirectory.PDF" }));
    EXPECT_EQ(store.get("DestinationDirectory.JPG"), "C:\\Pictures");
    EXPECT_EQ(DestDirTable::fromSettings(store).entry("[.DXF]"), QString());
}

// Relative entries are created below the base T:\Base, with empty levels skipped and blanks
// trimmed, and a drive that does not exist is an ordinary level. Absolute entries are used only
// when they exist, tested as they stand; otherwise the base, and nothing is created.
TEST_F(DestDirs, EachEntryResolvesToItsDirectory)
{
    drive.mkdir("Out/DXF");
    ASSERT_FALSE(FileSystemObject().DriveExists("Q:"));
    const std::pair<const char *, const char *> cases[]
        = { { "DXF", "T:\\Base\\DXF" }, { "\\DXF", "T:\\Base\\DXF" }, { "DXF\\", "T:\\Base\\DXF" },
              { " DXF \\ 2005 ", "T:\\Base\\DXF\\2005" }, { "", "T:\\Base" },
              { "Q:\\Out\\DXF", "T:\\Base\\Q\\Out\\DXF" }, { "T:\\Out\\DXF", "T:\\Out\\DXF" },
              { "t:\\Out\\DXF\\", "t:\\Out\\DXF\\" }, { "  T:\\Out\\DXF", "T:\\Base" },
              { "T:\\Out\\PDF", "T:\\Base" } };
    for (const auto &[entry, directory] : cases)
        EXPECT_EQ(resolve(QLatin1String(entry)), QLatin1String(directory)) << entry;
    EXPECT_EQ(tree(drive.native()),
        QStringList({ "Base", "Base/DXF", "Base/DXF/2005", "Base/Q", "Base/Q/Out", "Base/Q/Out/DXF",
            "Out", "Out/DXF" }));
}

TEST_F(DestDirs, FailuresOfTheDirectoryCreationPassThrough)
{
    // Dot levels are settled first and stop at the drive's root; nothing is made in the base.
    EXPECT_EQ(resolve("..\\..\\Out"), drive.win("Out"));
    // A file in the way of a level.
    writeNative(drive.native("Base/Taken"), "x");
    EXPECT_EQ(raisedBy([&] { resolve("Taken\\DXF"); }), "58 File already exists");
    EXPECT_EQ(raisedBy([&] { resolveDestDir("DXF", drive.win("Gone"), dirSpec); }),
        "11901 Specified base directory does not exist.");
    EXPECT_EQ(tree(drive.native()), QStringList({ "Base", "Base/Taken", "Out" }));
}
