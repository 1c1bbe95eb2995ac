#include "addin/quilletmain.h"
#include "destdirs/destdirtable.h"
#include "memorysettings.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

class DestDirs : public ::testing::Test {
protected:
    void SetUp() override
    {
        Quilletmain::fillFromVersionResource();
        drive.mkdir(QStringLiteral("Base"));
    }
    QString resolve(const QString &entry) { return resolveDestDir(entry, base, dirSpec); }
    QStringList baseEntries() const
    {
        return QDir(drive.native(QStringLiteral("Base")))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    TempDrive drive;
    const QString base = drive.win(QStringLiteral("Base"));
    QString dirSpec;
};

TEST_F(DestDirs, TableFromSettingsDefaultsToCaptionsAndPersistsInOrder)
{
    MemorySettings store;
    store.set(QStringLiteral("DestinationDirectory.JPG"), QStringLiteral("C:\\Pictures"));
    DestDirTable table = DestDirTable::fromSettings(store);
    EXPECT_EQ(table.entry(QStringLiteral("[.SLDDRW]")), QStringLiteral("SLDDRW"));
    EXPECT_EQ(table.entry(QStringLiteral("[.JPG]")), QStringLiteral("C:\\Pictures"));
    EXPECT_EQ(table.entry(QStringLiteral("[.EDRW]")), QStringLiteral("eDrawing"));
    try {
        table.entry(QStringLiteral("[.0.PDF]"));
        FAIL() << "an entry for a key the table does not have";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, 5);
    }

    table.replace(QStringLiteral("[.DXF]"), QString());
    store.writes.clear();
    table.persist(store);
    EXPECT_EQ(store.writes,
        (QStringList { "DestinationDirectory.SLDDRW", "DestinationDirectory.DXF",
            "DestinationDirectory.DWG", "DestinationDirectory.EDRW", "DestinationDirectory.JPG",
            "DestinationDirectory.TIF", "DestinationDirectory.PDF" }));
    EXPECT_EQ(DestDirTable::fromSettings(store).entry(QStringLiteral("[.DXF]")), QString());
}

TEST_F(DestDirs, RelativeEntriesAreCreatedBelowTheBase)
{
    EXPECT_EQ(resolve(QStringLiteral("DXF")), drive.win(QStringLiteral("Base\\DXF")));
    EXPECT_TRUE(QFileInfo(drive.native(QStringLiteral("Base/DXF"))).isDir());
    EXPECT_EQ(resolve(QStringLiteral("\\DXF")), drive.win(QStringLiteral("Base\\DXF")));
    EXPECT_EQ(resolve(QStringLiteral("DXF\\")), drive.win(QStringLiteral("Base\\DXF")));
    EXPECT_EQ(
        resolve(QStringLiteral(" DXF \\ 2005 ")), drive.win(QStringLiteral("Base\\DXF\\2005")));
    EXPECT_EQ(baseEntries(), QStringList { QStringLiteral("DXF") });
    // An empty entry is the base itself.
    EXPECT_EQ(resolve(QString()), base);
}

TEST_F(DestDirs, AMissingDriveBecomesAnOrdinaryLevel)
{
    ASSERT_FALSE(FileSystemObject().DriveExists(QStringLiteral("Q:")));
    EXPECT_EQ(
        resolve(QStringLiteral("Q:\\Out\\DXF")), drive.win(QStringLiteral("Base\\Q\\Out\\DXF")));
    EXPECT_TRUE(QFileInfo(drive.native(QStringLiteral("Base/Q/Out/DXF"))).isDir());
}

TEST_F(DestDirs, AbsoluteEntriesAreUsedOnlyWhenTheyExist)
{
    drive.mkdir(QStringLiteral("Out/DXF"));
    EXPECT_EQ(
        resolve(drive.win(QStringLiteral("Out\\DXF"))), drive.win(QStringLiteral("Out\\DXF")));
    // Blanks around the drive still make it absolute; the directory is tested as it stands.
    EXPECT_EQ(resolve(QStringLiteral("  ") + drive.win(QStringLiteral("Out\\DXF"))), base);
    // Gone: the base, and nothing is created.
    EXPECT_EQ(resolve(drive.win(QStringLiteral("Out\\PDF"))), base);
    EXPECT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Out/PDF"))));
    EXPECT_TRUE(baseEntries().isEmpty());
}

TEST_F(DestDirs, RelativeEntriesCannotLeaveTheBase)
{
    EXPECT_THROW(resolve(QStringLiteral("..\\..\\Escaped")), QuilletError);
    EXPECT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Escaped"))));
    EXPECT_TRUE(baseEntries().isEmpty());
}

TEST_F(DestDirs, AMissingBaseRaisesTheDirectoryError)
{
    try {
        resolveDestDir(QStringLiteral("DXF"), drive.win(QStringLiteral("Gone")), dirSpec);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, 11901);
    }
}
