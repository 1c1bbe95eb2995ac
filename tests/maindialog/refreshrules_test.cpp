#include "maindialog/refreshrules.h"
#include "testsupport.h"

#include <gtest/gtest.h>

// One case per rule and boundary: the format (0 SLDDRW ... 6 PDF), Single File, the sheet choice,
// the sheet list's entries and selected entries, and destination directories in use; then what
// the dialog shows: the sheet choice, whether Single File, the frame, the list, Select All,
// Clear All, GO! and the destination menu are enabled (1) or not (0), and the format list key.
TEST(RefreshRules, EachFormatAndSheetChoiceEnablesItsControls)
{
    const std::tuple<int, bool, SheetChoice, int, int, bool, const char *> cases[] = {
        // The native format forces All Sheets and greys the frame; GO! stays enabled.
        { 0, false, SheetChoice::Selected, 3, 0, false, "1 0000010 [.SLDDRW]" },
        // Selected Sheets with none, some and all of the entries selected, or no entries at all.
        { 1, false, SheetChoice::Selected, 3, 0, true, "2 0111001 [.DXF]" },
        { 1, false, SheetChoice::Selected, 3, 1, false, "2 0111110 [.DXF]" },
        { 2, false, SheetChoice::Selected, 3, 3, false, "2 0110110 [.DWG]" },
        { 5, false, SheetChoice::Selected, 0, 0, false, "2 0110000 [.TIF]" },
        // The other choices need no list; Single File means nothing outside PDF.
        { 1, true, SheetChoice::All, 3, 1, false, "1 0100010 [.DXF]" },
        { 4, false, SheetChoice::Current, 3, 3, true, "0 0100011 [.JPG]" },
        // eDrawing greys the frame without forcing a choice.
        { 3, false, SheetChoice::Selected, 3, 0, false, "2 0000010 [.EDRW]" },
        // PDF offers Single File, which forces All Sheets and switches the list.
        { 6, false, SheetChoice::Selected, 3, 0, false, "2 1111000 [.0.PDF]" },
        { 6, true, SheetChoice::Current, 3, 0, false, "1 1000010 [.1.PDF]" },
    };
    for (const auto &[format, singleFile, sheetSelType, entries, selected, useDestDirs, expected] :
        cases) {
        RunChoices choices;
        choices.outFmtIndex = OutputFormats::Format(format);
        choices.pdfSingleFile = singleFile;
        choices.sheetSelType = sheetSelType;
        choices.selectedSheets = QStringList(selected, QStringLiteral("Sheet"));
        choices.useDestDirs = useDestDirs;
        const ControlStates s = refreshRules(choices, entries);
        QString flags;
        for (bool enabled : { s.pdfSingleFileEnabled, s.sheetFrameEnabled, s.listSheetsEnabled,
                 s.allSheetSelEnabled, s.clrSheetSelEnabled, s.goEnabled, s.mnuDestDirEnabled })
            flags += enabled ? '1' : '0';
        EXPECT_EQ(QString::number(int(s.sheetSelType)) + ' ' + flags + ' ' + s.formatListKey,
            QLatin1String(expected))
            << "format " << format << " singleFile " << singleFile << " sheetSelType "
            << int(sheetSelType) << " selected " << selected << " of " << entries;
    }
}
