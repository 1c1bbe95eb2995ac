#include "formats/outputformats.h"
#include "maindialog/storedchoices.h"
#include "memorysettings.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

// The format, the sheet choice, the log and the destination directories, as "6 2 0 1".
QString numbers(const RunChoices &run)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(run.outFmtIndex)
        .arg(int(run.sheetSelType))
        .arg(run.displayDiags)
        .arg(run.useDestDirs);
}

} // namespace

// The keys GO! writes, in their order, are checked through the main dialog.
TEST(StoredChoices, FirstUseGivesTheFactoryChoicesAndWhatGoWritesReadsBack)
{
    MemorySettings store;
    StoredChoices choices = StoredChoices::read(store);
    EXPECT_EQ(choices.run.baseDir, "c:\\");
    for (const QString &key : OutputFormats::allFormatListKeys())
        EXPECT_EQ(choices.currentFmts.value(key), "DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME");

    choices.run.baseDir = "T:\\Out";
    choices.run.outFmtIndex = OutputFormats::Pdf;
    choices.run.displayDiags = false;
    choices.currentFmts.insert("[.1.PDF]", "DRWNAME|-|TOTALDOCSHEETS");
    choices.run.sheetSelType = SheetChoice::Selected;
    choices.run.useDestDirs = true;
    choices.write(store);

    // Round trip, with PDF's two formats kept apart. The reader takes only whole numbers in range,
    // so the stored texts are right when they read back.
    const StoredChoices again = StoredChoices::read(store);
    EXPECT_EQ(again.run.baseDir, "T:\\Out");
    EXPECT_EQ(numbers(again.run), "6 2 0 1");
    EXPECT_EQ(again.currentFmts.value("[.1.PDF]"), "DRWNAME|-|TOTALDOCSHEETS");
    EXPECT_EQ(again.currentFmts.value("[.0.PDF]"), RunChoices::defaultFilenameFormat);
}

// Each stored text alone in the store; a number that is not whole or out of range leaves the
// preset (format 0, "All Sheets", log shown, destination directories unused), and an absent
// key reads as its default (format 0, "Current Sheet", log shown, unused).
TEST(StoredChoices, NumbersAreReadWithinTheirRangesOnly)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        { "OutputFormatIndex", "6", "6 0 1 0" },
        { "OutputFormatIndex", "7", "0 0 1 0" },
        { "OutputFormatIndex", "-1", "0 0 1 0" },
        { "SaveSheetSelectionType", "2", "0 2 1 0" },
        { "SaveSheetSelectionType", "3", "0 1 1 0" },
        { "SaveSheetSelectionType", "two", "0 1 1 0" },
        { "isDisplayDiags", "0", "0 0 0 0" },
        { "isDisplayDiags", "2", "0 0 1 0" },
        { "isDisplayDiags", "0.0", "0 0 1 0" },
        { "isUseDestDirs", "1", "0 0 1 1" },
    };
    for (const auto &[key, stored, expected] : cases) {
        MemorySettings one;
        one.set(QLatin1String(key), QLatin1String(stored));
        EXPECT_EQ(numbers(StoredChoices::read(one).run), QLatin1String(expected))
            << key << " = " << stored;
    }
}
