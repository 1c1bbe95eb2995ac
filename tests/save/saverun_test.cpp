#include "formats/outputformats.h"
#include "memorysettings.h"
#include "save/saverun.h"
#include "savefixture.h"

#include <QFile>
#include <QFileInfo>

class SaveRun : public SaveFixture {
protected:
    void SetUp() override
    {
        SaveFixture::SetUp();
        writePlate();
        openDrawing("PLATE.SLDDRW");
        choose("DXF", "DRWNAME|_|SHEETNAME");
        choices.sheetSelType = SheetChoice::All;
        choices.ocDestDir = DestDirTable::fromSettings(MemorySettings());
    }

    void choose(const QString &format, const QString &filenameFmt)
    {
        choices.outFmtIndex = OutputFormats::Format(OutputFormats::indexOf(format));
        choices.filenameFmt = filenameFmt;
    }

    SaveRunResult run()
    {
        // Readies the state for a run with the choices, as GO! does.
        prepareRun(state, choices);
        return Quillet(state, surroundings);
    }

    QStringList out() const { return tree(drive.native("Out")); }

    QStringList notes() const
    {
        return { "NOTES:", "     - Quillet will NOT overwrite ReadOnly files.",
            "     - SolidWorks may return success even if files are NOT saved.",
            "     - Ensure that there is adequate disk space.",
            "     - Ensure write permission to destination directory.", "" };
    }
};

TEST_F(SaveRun, SavesEverySheetAndLogsEachStep)
{
    const SaveRunResult result = run();
    EXPECT_TRUE(result.allSaved());
    EXPECT_EQ(out(), (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF" }));
    const QStringList expected = QStringList { "Drawing Document Name: PLATE",
        "Output Base Directory: T:\\Out\\", "Output format is DXF",
        "Filename format: DRWNAME|_|SHEETNAME", "Document has 2 sheets", "",
        "Sheet1 filename: PLATE_Sheet1.DXF", "     Save Status [True] Errors [0] Warnings [0]", "",
        "Sheet2 filename: PLATE_Sheet2.DXF", "     Save Status [True] Errors [0] Warnings [0]", "",
        "Finished, but check output files!", "" }
        + notes();
    EXPECT_EQ(surroundings.lines, expected);
    // The sheets done show at each refresh: none until the first sheet's name is logged, one
    // less than the sheet in hand while it is saved, all at the end.
    EXPECT_EQ(surroundings.calls,
        (QStringList { "hideMain", "show", "refresh", "0 of 2", "refresh", "0 of 2", "refresh",
            "1 of 2", "refresh", "2 of 2", "hide", "modal" }));
    // The drawing is active again, as it was, rebuilt once for the run.
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);
    EXPECT_EQ(state.activeDoc->Title(), "PLATE.SLDDRW");
    EXPECT_EQ(std::dynamic_pointer_cast<StandInDocument>(state.activeDoc)->rebuildCount(), 1);
}

// Destination directories lie below the base; the log names the base, the status bar the
// directory of the last file.
TEST_F(SaveRun, DestinationDirectoriesAndDiagnosticsOff)
{
    drive.mkdir("Out/Sub");
    choices.baseDir = drive.win("Out\\Sub");
    choices.useDestDirs = true;
    choices.ocDestDir.replace("[.DXF]", "..\\DXF");
    EXPECT_TRUE(run().allSaved());
    EXPECT_EQ(surroundings.lines.mid(0, 3),
        (QStringList { "Drawing Document Name: PLATE", "Using Destination Directories...",
            "Output Base Directory: T:\\Out\\Sub\\" }));

    surroundings.lines.clear();
    surroundings.calls.clear();
    choices.displayDiags = false;
    EXPECT_TRUE(run().allSaved());
    EXPECT_TRUE(surroundings.lines.isEmpty());
    EXPECT_EQ(surroundings.calls,
        (QStringList {
            "0 of 2", "refresh", "0 of 2", "refresh", "1 of 2", "refresh", "2 of 2", "hideMain" }));
    EXPECT_EQ(statusText(), "Quillet 1.00: Files output to [T:\\Out\\DXF\\]");
    EXPECT_EQ(
        out(), (QStringList { "DXF", "DXF/PLATE_Sheet1.DXF", "DXF/PLATE_Sheet2.DXF", "Sub" }));
}

TEST_F(SaveRun, ADriveRootBaseIsShownWithOneSeparator)
{
    choices.baseDir = drive.win();
    run();
    EXPECT_EQ(surroundings.lines.at(1), "Output Base Directory: T:\\");
    EXPECT_TRUE(QFileInfo::exists(drive.native("PLATE_Sheet1.DXF")));
    choices.displayDiags = false;
    run();
    EXPECT_EQ(statusText(), "Quillet 1.00: Files output to [T:\\]");
}

TEST_F(SaveRun, SheetNumbersFollowTheRunNotTheDrawing)
{
    drive.copyData("SIXSHEETS.SLDDRW");
    openDrawing("SIXSHEETS.SLDDRW");
    const QStringList names = state.docSheetNames;
    choose("DXF", "SHEETNAME|-|SHEETNUMBER|-|TOTALSELSHEETS|-|TOTALDOCSHEETS");
    choices.sheetSelType = SheetChoice::Selected;
    choices.selectedSheets = QStringList { names.at(2), names.at(4), names.at(5) };
    run();
    EXPECT_EQ(out(),
        (QStringList {
            names.at(2) + "-1-3-6.DXF", names.at(4) + "-2-3-6.DXF", names.at(5) + "-3-3-6.DXF" }));
}

TEST_F(SaveRun, AFailedSaveIsNeverReportedAsSuccess)
{
    // Sheet1's target is read-only; Sheet2, the last, saves.
    writeNative(drive.native("Out/PLATE_Sheet1.DXF"), "old");
    QFile::setPermissions(drive.native("Out/PLATE_Sheet1.DXF"), QFile::ReadOwner);
    run();
    EXPECT_EQ(out(), (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF" }));
    EXPECT_EQ(surroundings.lines.mid(6),
        (QStringList { "Sheet1 filename: PLATE_Sheet1.DXF",
             "     Save Status [False] Errors [2] Warnings [0]", "",
             "Sheet2 filename: PLATE_Sheet2.DXF", "     Save Status [True] Errors [0] Warnings [0]",
             "", "SOMETHING WRONG, FILE SAVE ERROR!!!", "" }
            + notes()));
    // The finishing path still follows the last save: the drawing is active again.
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);

    surroundings.lines.clear();
    choices.displayDiags = false;
    const SaveRunResult result = run();
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(surroundings.lines, (QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" }));
    EXPECT_EQ(statusText(),
        QStringLiteral(
            "Quillet 1.00: SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 2 files not saved]"));
}

TEST_F(SaveRun, ANameIsSavedOnlyOnceInARun)
{
    drive.copyData("SIXSHEETS.SLDDRW");
    openDrawing("SIXSHEETS.SLDDRW");
    const QString first = state.docSheetNames.first();
    choose("DXF", "DRWNAME");
    const SaveRunResult result = run();
    EXPECT_EQ(result.failed, 5);
    EXPECT_EQ(out(), QStringList { "SIXSHEETS.DXF" });
    EXPECT_EQ(surroundings.lines.mid(9, 2),
        (QStringList { state.docSheetNames.at(1) + " filename: SIXSHEETS.DXF",
            "     Save Status [False] Not saved: sheet [" + first
                + "] was saved under this name in this run" }));

    // Names compare as Windows compares them; files of earlier runs are still replaced.
    writeDocument("CASES.SLDDRW",
        R"({ "quilletStandIn": 1, "type": "drawing", "properties": {},
        "sheets": [ { "name": "Detail", "paper": [210, 297], "views": [] },
                    { "name": "DETAIL", "paper": [210, 297], "views": [] } ] })");
    openDrawing("CASES.SLDDRW");
    choose("DXF", "SHEETNAME");
    choices.displayDiags = false;
    for (int turn = 0; turn < 2; ++turn)
        EXPECT_EQ(run().failed, 1);
    EXPECT_EQ(out(), (QStringList { "Detail.DXF", "SIXSHEETS.DXF" }));
}

TEST_F(SaveRun, AnEmptySheetListSavesNothing)
{
    prepareRun(state, choices);
    state.choices.sheetSelType = SheetChoice::Selected;
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_EQ(result.sheets, 0);
    EXPECT_FALSE(result.allSaved());
    EXPECT_EQ(surroundings.lines.mid(6),
        (QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" } + notes()));
    EXPECT_TRUE(out().isEmpty());

    state.choices.displayDiags = false;
    Quillet(state, surroundings);
    EXPECT_EQ(statusText(), "Quillet 1.00: SOMETHING WRONG, FILE SAVE ERROR!!! [no sheet to save]");
}

TEST_F(SaveRun, AnUnknownSheetEndsTheRunWithItsError)
{
    choices.sheetSelType = SheetChoice::Selected;
    choices.selectedSheets = QStringList { "Missing" };
    // No name was built yet: the run named itself last.
    EXPECT_EQ(raisedBy([&] { run(); }), "10601 Unable to activate sheet [Missing] (Quillet)");
    // The filename builder ran for the first sheet and recorded itself last.
    choices.selectedSheets = QStringList { "Sheet1", "Missing", "Sheet2" };
    EXPECT_EQ(
        raisedBy([&] { run(); }), "10601 Unable to activate sheet [Missing] (getFilenameFromDoc)");
    EXPECT_EQ(out(), QStringList { "PLATE_Sheet1.DXF" });
    EXPECT_EQ(surroundings.calls.last(), "refresh");
}

TEST_F(SaveRun, NativeFormatReplacesTheDrawingByTheLastFileSaved)
{
    // Sheet1's copy cannot be written; Sheet2's, the last, can.
    writeNative(drive.native("Out/PLATE_Sheet1_A.SLDDRW"), "old");
    QFile::setPermissions(drive.native("Out/PLATE_Sheet1_A.SLDDRW"), QFile::ReadOwner);
    choose("SLDDRW", "DRWNAME|_|SHEETNAME|_|Revision");
    prepareRun(state, choices);
    // A frame left enabled by hand: the run then saves every sheet.
    state.sheetFrameEnabled = true;
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(surroundings.lines.mid(surroundings.lines.size() - 8, 2),
        (QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" }));
    ASSERT_TRUE(state.activeDoc);
    EXPECT_EQ(state.activeDoc->PathName(), drive.win("Out\\PLATE_Sheet2_C.SLDDRW"));
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);
    // The drawing that was open before the run is closed; the saved copy carries the model's
    // properties and opens from its own folder.
    for (const auto &document : app->documents())
        EXPECT_NE(document->Title(), "PLATE.SLDDRW");
    EXPECT_EQ(state.activeDoc->CustomInfo2(QString(), "Material"), "steel");
    EXPECT_EQ(state.activeDoc->GetCurrentSheet()->GetName(), "Sheet2");
}

TEST_F(SaveRun, AnUnsavedDrawingIsNamedNullAndClosedByTitle)
{
    const std::shared_ptr<StandInDocument> fresh = app->newDrawing(drive.native("PLATE.SLDDRW"));
    state = openActiveDrawing(app);
    ASSERT_TRUE(state.docPathName.isEmpty());
    choose("SLDDRW", "DRWNAME|SHEETNAME|_|Revision");
    run();
    EXPECT_EQ(surroundings.lines.first(), "Drawing Document Name: NULL");
    EXPECT_EQ(out(), QStringList { "Sheet1_A.SLDDRW" });
    for (const auto &document : app->documents())
        EXPECT_NE(document->Title(), fresh->Title());
}

// A NUL in a value cannot be written and is never cut off: the save fails and says so.
TEST_F(SaveRun, ANulInAValueFailsTheSave)
{
    choose("DXF", "Revision");
    choices.sheetSelType = SheetChoice::Current;
    state.activeDoc->SetCustomInfo2(QString(), "Revision", QString("a") + QChar(0) + "b");
    const SaveRunResult result = run();
    EXPECT_EQ(result.failed, 1);
    EXPECT_TRUE(out().isEmpty());
}

// What a dry run lists is checked through quillet-batch; here the native format, whose last file
// would take the drawing's place.
TEST_F(SaveRun, ADryRunNamesEveryFileAndWritesNothing)
{
    choose("SLDDRW", "DRWNAME|_|Revision");
    choices.useDestDirs = true;
    choices.ocDestDir.replace("[.SLDDRW]", "Copies\\New\\..\\Drw");
    prepareRun(state, choices);
    state.sheetFrameEnabled = true;
    state.dryRun = true;
    EXPECT_TRUE(Quillet(state, surroundings).allSaved());
    EXPECT_EQ(surroundings.lines.filter(" filename: "),
        (QStringList { "Sheet1 filename: PLATE_A.SLDDRW", "Sheet2 filename: PLATE_C.SLDDRW" }));
    EXPECT_TRUE(out().isEmpty());
    // No file was written to take the drawing's place.
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);
    EXPECT_EQ(state.activeDoc->Title(), "PLATE.SLDDRW");

    state.choices.displayDiags = false;
    Quillet(state, surroundings);
    EXPECT_EQ(statusText(), "Quillet 1.00: [dry run] Files output to [T:\\Out\\Copies\\Drw\\]");
}
