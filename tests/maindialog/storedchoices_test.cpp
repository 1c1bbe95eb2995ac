#include "addin/quilletmain.h"
#include "maindialog/storedchoices.h"
#include "memorysettings.h"

#include <gtest/gtest.h>

class StoredChoicesTest : public ::testing::Test {
protected:
    void SetUp() override { Quilletmain::fillFromVersionResource(); }
    MemorySettings store;
};

TEST_F(StoredChoicesTest, FirstUseGivesTheFactoryChoices)
{
    const StoredChoices choices = StoredChoices::read(store);
    EXPECT_EQ(choices.path, QStringLiteral("c:\\"));
    EXPECT_EQ(choices.outFmtIndex, 0);
    EXPECT_TRUE(choices.displayDiags);
    EXPECT_EQ(choices.sheetSelType, SheetChoice(0));
    EXPECT_FALSE(choices.useDestDirs);
    ASSERT_EQ(choices.currentFmts.size(), 8);
    for (const QString &format : choices.currentFmts)
        EXPECT_EQ(format, QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME"));
    EXPECT_EQ(choices.ocDestDir.entry(QStringLiteral("[.EDRW]")), QStringLiteral("eDrawing"));
    EXPECT_EQ(choices.ocDestDir.entry(QStringLiteral("[.TIF]")), QStringLiteral("TIFF"));
    EXPECT_EQ(choices.ocDestDir.entry(QStringLiteral("[.PDF]")), QStringLiteral("PDF"));
}

TEST_F(StoredChoicesTest, ReadsInTheDialogsLoadOrder)
{
    StoredChoices::read(store);
    const QStringList expected { "Path", "OutputFormatIndex", "isDisplayDiags",
        "FilenameFormat.SLDDRW", "DestinationDirectory.SLDDRW", "FilenameFormat.DXF",
        "DestinationDirectory.DXF", "FilenameFormat.DWG", "DestinationDirectory.DWG",
        "FilenameFormat.EDRW", "DestinationDirectory.EDRW", "FilenameFormat.JPG",
        "DestinationDirectory.JPG", "FilenameFormat.TIF", "DestinationDirectory.TIF",
        "FilenameFormat.0.PDF", "FilenameFormat.1.PDF", "DestinationDirectory.PDF",
        "SaveSheetSelectionType", "isUseDestDirs" };
    EXPECT_EQ(store.reads, expected);
}

TEST_F(StoredChoicesTest, WritesWhatGoWritesInItsOrder)
{
    StoredChoices choices = StoredChoices::read(store);
    choices.path = QStringLiteral("T:\\Out");
    choices.outFmtIndex = 6;
    choices.displayDiags = false;
    choices.currentFmts.insert(
        QStringLiteral("[.1.PDF]"), QStringLiteral("DRWNAME|-|TOTALDOCSHEETS"));
    choices.sheetSelType = SheetChoice::Selected;
    choices.useDestDirs = true;
    choices.write(store);
    const QStringList expected { "Path", "OutputFormatIndex", "isDisplayDiags",
        "FilenameFormat.SLDDRW", "FilenameFormat.DXF", "FilenameFormat.DWG", "FilenameFormat.EDRW",
        "FilenameFormat.JPG", "FilenameFormat.TIF", "FilenameFormat.0.PDF", "FilenameFormat.1.PDF",
        "SaveSheetSelectionType", "isUseDestDirs" };
    EXPECT_EQ(store.writes, expected);
    EXPECT_EQ(store.get(QStringLiteral("Path")), QStringLiteral("T:\\Out"));
    EXPECT_EQ(store.get(QStringLiteral("OutputFormatIndex")), QStringLiteral("6"));
    EXPECT_EQ(store.get(QStringLiteral("isDisplayDiags")), QStringLiteral("0"));
    EXPECT_EQ(store.get(QStringLiteral("FilenameFormat.1.PDF")),
        QStringLiteral("DRWNAME|-|TOTALDOCSHEETS"));
    EXPECT_EQ(store.get(QStringLiteral("SaveSheetSelectionType")), QStringLiteral("2"));
    EXPECT_EQ(store.get(QStringLiteral("isUseDestDirs")), QStringLiteral("1"));

    // Round trip, with PDF's two formats kept apart.
    const StoredChoices again = StoredChoices::read(store);
    EXPECT_EQ(again.currentFmts.value(QStringLiteral("[.1.PDF]")),
        QStringLiteral("DRWNAME|-|TOTALDOCSHEETS"));
    EXPECT_EQ(
        again.currentFmts.value(QStringLiteral("[.0.PDF]")), StoredChoices::defaultFilenameFormat);
    EXPECT_EQ(again.outFmtIndex, 6);
    EXPECT_EQ(again.sheetSelType, SheetChoice(2));
}

TEST_F(StoredChoicesTest, NumbersOutOfRangeOrNotWholeKeepThePresets)
{
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("7"));
    store.set(QStringLiteral("SaveSheetSelectionType"), QStringLiteral("two"));
    store.set(QStringLiteral("isDisplayDiags"), QStringLiteral("2"));
    store.set(QStringLiteral("isUseDestDirs"), QStringLiteral("1.0"));
    const StoredChoices choices = StoredChoices::read(store);
    EXPECT_EQ(choices.outFmtIndex, 0);
    EXPECT_EQ(choices.sheetSelType, SheetChoice(1));
    EXPECT_TRUE(choices.displayDiags);
    EXPECT_FALSE(choices.useDestDirs);

    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("-1"));
    store.set(QStringLiteral("SaveSheetSelectionType"), QStringLiteral("2"));
    EXPECT_EQ(StoredChoices::read(store).outFmtIndex, 0);
    EXPECT_EQ(StoredChoices::read(store).sheetSelType, SheetChoice(2));
}

TEST_F(StoredChoicesTest, StoredEmptyDestinationStaysEmpty)
{
    store.set(QStringLiteral("DestinationDirectory.DXF"), QString());
    EXPECT_EQ(StoredChoices::read(store).ocDestDir.entry(QStringLiteral("[.DXF]")), QString());
}
