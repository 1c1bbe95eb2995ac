#include "savefixture.h"

// The load's checks and Go's preparation, shared by the main dialog, quillet-batch and the tests.
class RunPreparation : public SaveFixture { };

TEST_F(RunPreparation, OnlyADrawingCanBeSaved)
{
    EXPECT_EQ(raisedBy([&] { openActiveDrawing(app); }),
        "10101 No active document in SolidWorks. (usrForm Load)");
    // A part is refused alike, as the main dialog's and quillet-batch's tests show. What a drawing
    // fills in is what every save test opens its drawing with.
    app->open(testDataPath("FRAME.SLDASM"));
    EXPECT_EQ(raisedBy([&] { openActiveDrawing(app); }),
        "10201 Document open in SolidWorks is not a drawing. (usrForm Load)");
}

TEST_F(RunPreparation, TheFormatDecidesTheSheetsAndTheFilenameFormatIsCleanedAndSplit)
{
    writePlate();
    openDrawing("PLATE.SLDDRW");
    choices.sheetSelType = SheetChoice::Selected;
    choices.filenameFmt = "C:\\DRW/NAME||\tSHEET\r\nNAME|";
    for (const char *format : { "DXF", "SLDDRW", "eDrawing", "PDF" }) {
        choices.outFmtIndex = OutputFormats::Format(OutputFormats::indexOf(QLatin1String(format)));
        const ControlStates controls = prepareRun(state, choices);
        const bool forced = qstrcmp(format, "SLDDRW") == 0;
        EXPECT_EQ(state.choices.sheetSelType, forced ? SheetChoice::All : SheetChoice::Selected)
            << format;
        EXPECT_EQ(
            state.sheetFrameEnabled, qstrcmp(format, "DXF") == 0 || qstrcmp(format, "PDF") == 0)
            << format;
        // Nothing selected: only a disabled frame lets the run go.
        EXPECT_EQ(controls.goEnabled, !state.sheetFrameEnabled) << format;
    }
    choices.pdfSingleFile = true;
    prepareRun(state, choices);
    EXPECT_EQ(state.choices.sheetSelType, SheetChoice::All);
    EXPECT_FALSE(state.sheetFrameEnabled);

    EXPECT_EQ(state.filenameFormat, "CDRWNAME||SHEETNAME|");
    EXPECT_EQ(state.fmtFields, (QStringList { "CDRWNAME", "", "SHEETNAME", "" }));
    EXPECT_EQ(state.choices.baseDir, drive.win("Out"));

    choices.filenameFmt = ":\\/\r\t\n\b";
    EXPECT_EQ(raisedBy([&] { prepareRun(state, choices); }),
        "10401 Invalid or empty filename specification.");
    // A lone separator is not empty: it makes two empty fields.
    choices.filenameFmt = "|";
    prepareRun(state, choices);
    EXPECT_EQ(state.fmtFields, (QStringList { "", "" }));
}
