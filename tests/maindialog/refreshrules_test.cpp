#include "maindialog/refreshrules.h"

#include <gtest/gtest.h>

struct RefreshCase {
    const char *name;
    DialogChoices choices;
    int sheetSelType;
    bool pdfSingleFile, frame, list, selectAll, clearAll, go;
};

class RefreshRules : public ::testing::TestWithParam<RefreshCase> { };

TEST_P(RefreshRules, EnablesAndForcesAsTheFormatNeeds)
{
    const RefreshCase &c = GetParam();
    const ControlStates states = refreshRules(c.choices);
    EXPECT_EQ(int(states.sheetSelType), c.sheetSelType);
    EXPECT_EQ(states.pdfSingleFileEnabled, c.pdfSingleFile);
    EXPECT_EQ(states.sheetFrameEnabled, c.frame);
    EXPECT_EQ(states.listSheetsEnabled, c.list);
    EXPECT_EQ(states.allSheetSelEnabled, c.selectAll);
    EXPECT_EQ(states.clrSheetSelEnabled, c.clearAll);
    EXPECT_EQ(states.goEnabled, c.go);
}

// choices: outFmtIndex, pdfSingleFile, sheetSelType, sheetEntries, selectedSheets, useDestDirs
INSTANTIATE_TEST_SUITE_P(Cases, RefreshRules,
    ::testing::Values(
        RefreshCase { "NativeForcesAllSheetsAndGreysTheFrame",
            { 0, false, SheetChoice(2), 3, 0, false }, 1, false, false, false, false, false, true },
        RefreshCase { "DxfCurrentSheet", { 1, false, SheetChoice(0), 3, 0, false }, 0, false, true,
            false, false, false, true },
        RefreshCase { "SelectedNoneDisablesGoAndClear", { 1, false, SheetChoice(2), 3, 0, false },
            2, false, true, true, true, false, false },
        RefreshCase { "SelectedOneEnablesGoAndClear", { 4, false, SheetChoice(2), 3, 1, false }, 2,
            false, true, true, true, true, true },
        RefreshCase { "SelectedAllDisablesSelectAll", { 5, false, SheetChoice(2), 3, 3, false }, 2,
            false, true, true, false, true, true },
        RefreshCase { "EDrawingGreysFrameWithoutForcing", { 3, false, SheetChoice(2), 3, 0, false },
            2, false, false, false, false, false, true },
        RefreshCase { "PdfSingleFileForcesAllSheets", { 6, true, SheetChoice(0), 3, 0, false }, 1,
            true, false, false, false, false, true },
        RefreshCase { "PdfSeparateFilesKeepsTheChoice", { 6, false, SheetChoice(2), 3, 0, false },
            2, true, true, true, true, false, false },
        RefreshCase { "EmptyDrawingSelectedSheets", { 2, false, SheetChoice(2), 0, 0, false }, 2,
            false, true, true, false, false, false }),
    [](const ::testing::TestParamInfo<RefreshCase> &info) { return std::string(info.param.name); });

TEST(RefreshRulesKeys, FormatListKeyAndDestinationMenu)
{
    EXPECT_EQ(refreshRules({ 6, true, SheetChoice(1), 1, 0, false }).formatListKey,
        QStringLiteral("[.1.PDF]"));
    EXPECT_EQ(refreshRules({ 6, false, SheetChoice(1), 1, 0, false }).formatListKey,
        QStringLiteral("[.0.PDF]"));
    EXPECT_EQ(refreshRules({ 5, true, SheetChoice(1), 1, 0, false }).formatListKey,
        QStringLiteral("[.TIF]"));
    EXPECT_FALSE(refreshRules({ 1, false, SheetChoice(1), 1, 0, false }).mnuDestDirEnabled);
    EXPECT_TRUE(refreshRules({ 1, false, SheetChoice(1), 1, 0, true }).mnuDestDirEnabled);
}
