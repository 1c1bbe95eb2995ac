#include "maindialog/refreshrules.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

// Every state in one line, so that a failure shows all of them at once.
QString describe(const ControlStates &s)
{
    return QStringLiteral("sheetSelType %1 pdfSingleFile %2 frame %3 list %4 selectAll %5 "
                          "clearAll %6 go %7 mnuDestDir %8 %9")
        .arg(int(s.sheetSelType))
        .arg(s.pdfSingleFileEnabled)
        .arg(s.sheetFrameEnabled)
        .arg(s.listSheetsEnabled)
        .arg(s.allSheetSelEnabled)
        .arg(s.clrSheetSelEnabled)
        .arg(s.goEnabled)
        .arg(s.mnuDestDirEnabled)
        .arg(s.formatListKey);
}

// The rules as the dialog's refresh states them, written out on their own: first what each
// format does to "Single File", the sheet frame and the sheet choice, then the steps that follow.
ControlStates expectedStates(const DialogChoices &c)
{
    struct FormatRule {
        bool singleFileEnabled, frameEnabled, forcesAllSheets;
        const char *formatListKey;
    };
    static const FormatRule byFormat[] = {
        { false, false, true, "[.SLDDRW]" },
        { false, true, false, "[.DXF]" },
        { false, true, false, "[.DWG]" },
        { false, false, false, "[.EDRW]" },
        { false, true, false, "[.JPG]" },
        { false, true, false, "[.TIF]" },
        { true, true, false, "[.0.PDF]" },
    };
    static const FormatRule pdfSingleFile { true, false, true, "[.1.PDF]" };
    const FormatRule &rule
        = c.outFmtIndex == 6 && c.pdfSingleFile ? pdfSingleFile : byFormat[c.outFmtIndex];

    ControlStates s;
    s.sheetSelType = rule.forcesAllSheets ? SheetChoice::All : c.sheetSelType;
    s.pdfSingleFileEnabled = rule.singleFileEnabled;
    s.sheetFrameEnabled = rule.frameEnabled;
    s.listSheetsEnabled = rule.frameEnabled && s.sheetSelType == SheetChoice::Selected;
    s.allSheetSelEnabled = s.listSheetsEnabled && c.selectedSheets != c.sheetEntries;
    s.clrSheetSelEnabled = s.listSheetsEnabled && c.selectedSheets >= 1;
    s.goEnabled
        = c.selectedSheets >= 1 || s.sheetSelType != SheetChoice::Selected || !rule.frameEnabled;
    s.mnuDestDirEnabled = c.useDestDirs;
    s.formatListKey = QString::fromLatin1(rule.formatListKey);
    return s;
}

} // namespace

TEST(RefreshRules, EveryCombinationOfChoicesFollowsTheRules)
{
    for (int format = 0; format < 7; ++format) {
        for (bool singleFile : { false, true }) {
            for (int sheetSelType = 0; sheetSelType < 3; ++sheetSelType) {
                for (int entries : { 0, 1, 3 }) {
                    // None, some and all of the sheets selected.
                    for (int selected : { 0, 1, 3 }) {
                        if (selected > entries)
                            continue;
                        for (bool useDestDirs : { false, true }) {
                            const DialogChoices choices { format, singleFile,
                                SheetChoice(sheetSelType), entries, selected, useDestDirs };
                            EXPECT_EQ(
                                describe(refreshRules(choices)), describe(expectedStates(choices)))
                                << "format " << format << " singleFile " << singleFile
                                << " sheetSelType " << sheetSelType << " selected " << selected
                                << " of " << entries << " useDestDirs " << useDestDirs;
                        }
                    }
                }
            }
        }
    }
}
