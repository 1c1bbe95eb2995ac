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

// Relative entries are created below the base T:\Base as the base's levels are (dot levels
// settled first), and a drive that does not exist is an ordinary level. Absolute entries are used
// only when they exist, tested as they stand; otherwise the base, and nothing is created.
TEST_F(DestDirs, EachEntryResolvesToItsDirectory)
{
    drive.mkdir("Out/DXF");
    ASSERT_FALSE(FileSystemObject().DriveExists("Q:"));
    const std::pair<const char *, const char *> cases[]
        = { { "DXF", "T:\\Base\\DXF" }, { "", "T:\\Base" }, { "..\\..\\Out", "T:\\Out" },
              { "Q:\\Out\\DXF", "T:\\Base\\Q\\Out\\DXF" }, { "T:\\Out\\DXF", "T:\\Out\\DXF" },
              { "t:\\Out\\DXF\\", "t:\\Out\\DXF\\" }, { "  T:\\Out\\DXF", "T:\\Base" },
              { "T:\\Out\\PDF", "T:\\Base" } };
    for (const auto &[entry, directory] : cases)
        EXPECT_EQ(resolve(QLatin1String(entry)), QLatin1String(directory)) << entry;
    EXPECT_EQ(tree(drive.native()),
        QStringList(
            { "Base", "Base/DXF", "Base/Q", "Base/Q/Out", "Base/Q/Out/DXF", "Out", "Out/DXF" }));
}
