#include "formats/outputformats.h"
#include "platform/quilleterror.h"
#include "save/saverun.h"
#include "savefixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

class SaveRun : public SaveFixture {
protected:
    void SetUp() override
    {
        SaveFixture::SetUp();
        writePlate();
        openDrawing(QStringLiteral("PLATE.SLDDRW"));
        choose(1, QStringLiteral("DRWNAME|_|SHEETNAME"));
        state.sheetSelType = 1;
        state.ocDestDir = DestDirTable();
        for (int i = 0; i < OutputFormats::count; ++i)
            state.ocDestDir.replace(
                OutputFormats::destDirKey(i), OutputFormats::outFmtCaption().at(i));
    }

    void choose(int outFmtIndex, const QString &format)
    {
        state.outFmtIndex = outFmtIndex;
        state.outFmtCaption = OutputFormats::outFmtCaption().at(outFmtIndex);
        state.outFmtTag = OutputFormats::outFmtTag().at(outFmtIndex);
        state.filenameFormat = format;
        state.fmtFields = format.split(QLatin1Char('|'));
    }

    QStringList filesIn(const QString &relative) const
    {
        return QDir(drive.native(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

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
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_TRUE(result.allSaved());
    EXPECT_EQ(
        filesIn(QStringLiteral("Out")), (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF" }));
    const QStringList expected = QStringList { "Drawing Document Name: PLATE",
        "Output Base Directory: T:\\Out\\", "Output format is DXF",
        "Filename format: DRWNAME|_|SHEETNAME", "Document has 2 sheets", "",
        "Sheet1 filename: PLATE_Sheet1.DXF", "     Save Status [True] Errors [0] Warnings [0]", "",
        "Sheet2 filename: PLATE_Sheet2.DXF", "     Save Status [True] Errors [0] Warnings [0]", "",
        "Finished, but check output files!", "" }
        + notes();
    EXPECT_EQ(surroundings.lines, expected);
    EXPECT_EQ(OutputLog::instance().lines(), expected);
    EXPECT_EQ(surroundings.calls,
        (QStringList {
            "hideMain", "show", "refresh", "refresh", "refresh", "refresh", "hide", "modal" }));
    EXPECT_EQ(Quilletmain::curProcName, QStringLiteral("getFilenameFromDoc"));
    // The drawing is active again, as it was.
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);
    EXPECT_EQ(state.activeDoc->Title(), QStringLiteral("PLATE.SLDDRW"));
}

TEST_F(SaveRun, DiagnosticsOffReportsOnTheStatusBar)
{
    state.displayDiags = false;
    state.useDestDirs = true;
    Quillet(state, surroundings);
    EXPECT_TRUE(surroundings.lines.isEmpty());
    EXPECT_EQ(surroundings.calls, (QStringList { "refresh", "refresh", "refresh", "hideMain" }));
    EXPECT_EQ(statusText(), QStringLiteral("Quillet 1.00: Files output to [T:\\Out\\DXF\\]"));
    EXPECT_EQ(filesIn(QStringLiteral("Out/DXF")),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF" }));
}

TEST_F(SaveRun, DestinationDirectoryIsCreatedOnFirstUse)
{
    state.useDestDirs = true;
    ASSERT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Out/DXF"))));
    Quillet(state, surroundings);
    EXPECT_EQ(surroundings.lines.mid(0, 3),
        (QStringList { "Drawing Document Name: PLATE", "Using Destination Directories...",
            "Output Base Directory: T:\\Out\\" }));
    EXPECT_EQ(filesIn(QStringLiteral("Out/DXF")),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF" }));
    EXPECT_TRUE(filesIn(QStringLiteral("Out")).isEmpty());
}

TEST_F(SaveRun, ADriveRootBaseStillGetsItsSeparator)
{
    state.baseDir = drive.win();
    Quillet(state, surroundings);
    EXPECT_EQ(surroundings.lines.at(1), QStringLiteral("Output Base Directory: T:\\\\"));
    EXPECT_TRUE(QFileInfo::exists(drive.native(QStringLiteral("PLATE_Sheet1.DXF"))));
}

TEST_F(SaveRun, SheetNumbersFollowTheRunNotTheDrawing)
{
    writeDocument(QStringLiteral("SIX.SLDDRW"), R"({ "quilletStandIn": 1, "type": "drawing",
        "properties": {}, "sheets": [ { "name": "A", "paper": [210, 297], "views": [] }, { "name": "B", "paper": [210, 297], "views": [] },
                    { "name": "C", "paper": [210, 297], "views": [] }, { "name": "D", "paper": [210, 297], "views": [] },
                    { "name": "E", "paper": [210, 297], "views": [] }, { "name": "F", "paper": [210, 297], "views": [] } ] })");
    openDrawing(QStringLiteral("SIX.SLDDRW"));
    choose(1, QStringLiteral("SHEETNAME|-|SHEETNUMBER|-|TOTALSELSHEETS|-|TOTALDOCSHEETS"));
    state.sheetSelType = 2;
    state.selectedSheets = QStringList { "C", "E", "F" };
    Quillet(state, surroundings);
    EXPECT_EQ(filesIn(QStringLiteral("Out")),
        (QStringList { "C-1-3-6.DXF", "E-2-3-6.DXF", "F-3-3-6.DXF" }));
}

TEST_F(SaveRun, ADisabledSheetFrameSavesTheCurrentSheetOnly)
{
    state.activeDoc->ActivateSheet(QStringLiteral("Sheet2"));
    state.sheetFrameEnabled = false;
    state.sheetSelType = 1;
    Quillet(state, surroundings);
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList { "PLATE_Sheet2.DXF" });
}

TEST_F(SaveRun, AFailedSaveIsNeverReportedAsSuccess)
{
    // Sheet1's target is read-only; Sheet2, the last, saves.
    writeNative(drive.native(QStringLiteral("Out/PLATE_Sheet1.DXF")), "old");
    QFile::setPermissions(drive.native(QStringLiteral("Out/PLATE_Sheet1.DXF")), QFile::ReadOwner);
    Quillet(state, surroundings);
    EXPECT_EQ(readNative(drive.native(QStringLiteral("Out/PLATE_Sheet1.DXF"))), QByteArray("old"));
    EXPECT_TRUE(QFileInfo::exists(drive.native(QStringLiteral("Out/PLATE_Sheet2.DXF"))));
    const QStringList tail = surroundings.lines.mid(6);
    EXPECT_EQ(tail,
        (QStringList { "Sheet1 filename: PLATE_Sheet1.DXF",
             "     Save Status [False] Errors [2] Warnings [0]", "",
             "Sheet2 filename: PLATE_Sheet2.DXF", "     Save Status [True] Errors [0] Warnings [0]",
             "", "SOMETHING WRONG, FILE SAVE ERROR!!!", "" }
            + notes()));
    // The finishing path still follows the last save: the drawing is active again.
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);

    surroundings.lines.clear();
    state.displayDiags = false;
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(surroundings.lines, (QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" }));
    EXPECT_EQ(statusText(),
        QStringLiteral(
            "Quillet 1.00: SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 2 files not saved]"));
}

TEST_F(SaveRun, AnEmptySheetListSavesNothing)
{
    state.sheetSelType = 2;
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_EQ(result.sheets, 0);
    EXPECT_FALSE(result.allSaved());
    EXPECT_EQ(surroundings.lines.mid(6),
        (QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" } + notes()));
    EXPECT_TRUE(filesIn(QStringLiteral("Out")).isEmpty());

    state.displayDiags = false;
    Quillet(state, surroundings);
    EXPECT_EQ(statusText(),
        QStringLiteral("Quillet 1.00: SOMETHING WRONG, FILE SAVE ERROR!!! [no sheet to save]"));
}

TEST_F(SaveRun, AnUnknownSheetEndsTheRunWithItsError)
{
    state.sheetSelType = 2;
    state.selectedSheets = QStringList { "Sheet1", "Missing", "Sheet2" };
    try {
        Quillet(state, surroundings);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.number, 10601);
        EXPECT_EQ(error.description, QStringLiteral("Unable to activate sheet [Missing]"));
        // The filename builder ran for the first sheet and recorded itself last.
        EXPECT_EQ(error.source, QStringLiteral("getFilenameFromDoc"));
    }
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList { "PLATE_Sheet1.DXF" });
    EXPECT_EQ(surroundings.calls.last(), QStringLiteral("refresh"));
}

TEST_F(SaveRun, ErrorsBeforeAnyNameCarryTheRunsName)
{
    state.sheetSelType = 2;
    state.selectedSheets = QStringList { "Missing" };
    try {
        Quillet(state, surroundings);
        FAIL() << "no error raised";
    } catch (const QuilletError &error) {
        EXPECT_EQ(error.source, QStringLiteral("Quillet"));
    }
}

TEST_F(SaveRun, NativeFormatReplacesTheDrawingByTheLastFileSaved)
{
    choose(0, QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision"));
    Quillet(state, surroundings);
    EXPECT_EQ(filesIn(QStringLiteral("Out")),
        (QStringList { "PLATE_Sheet1_A.SLDDRW", "PLATE_Sheet2_C.SLDDRW" }));
    ASSERT_TRUE(state.activeDoc);
    EXPECT_EQ(state.activeDoc->PathName(), drive.win(QStringLiteral("Out\\PLATE_Sheet2_C.SLDDRW")));
    EXPECT_EQ(app->ActiveDocument(), state.activeDoc);
    // The drawing that was open before the run is closed; the saved copy carries the model's
    // properties and opens from its own folder.
    for (const auto &document : app->documents())
        EXPECT_NE(document->Title(), QStringLiteral("PLATE.SLDDRW"));
    EXPECT_EQ(state.activeDoc->CustomInfo2(QString(), QStringLiteral("Material")),
        QStringLiteral("steel"));
    EXPECT_EQ(state.activeDoc->GetCurrentSheet()->GetName(), QStringLiteral("Sheet2"));
}

TEST_F(SaveRun, AnUnsavedDrawingIsNamedNullAndClosedByTitle)
{
    const std::shared_ptr<StandInDocument> fresh
        = app->newDrawing(drive.native(QStringLiteral("PLATE.SLDDRW")));
    state.activeDoc = fresh;
    state.docPathName = fresh->PathName();
    ASSERT_TRUE(state.docPathName.isEmpty());
    choose(0, QStringLiteral("DRWNAME|SHEETNAME|_|Revision"));
    Quillet(state, surroundings);
    EXPECT_EQ(surroundings.lines.first(), QStringLiteral("Drawing Document Name: NULL"));
    EXPECT_EQ(
        filesIn(QStringLiteral("Out")), (QStringList { "Sheet1_A.SLDDRW", "Sheet2_C.SLDDRW" }));
    for (const auto &document : app->documents())
        EXPECT_NE(document->Title(), fresh->Title());
}

TEST_F(SaveRun, HostilePropertyValuesStayInTheOutputDirectory)
{
    state.activeDoc->SetCustomInfo2(
        QString(), QStringLiteral("Revision"), QStringLiteral("..\\..\\..\\evil"));
    choose(1, QStringLiteral("Revision"));
    state.sheetSelType = 0;
    Quillet(state, surroundings);
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList { "......evil.DXF" });

    // A NUL cannot be written and is never cut off: the save fails and says so.
    state.activeDoc->SetCustomInfo2(QString(), QStringLiteral("Revision"),
        QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    const SaveRunResult result = Quillet(state, surroundings);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList { "......evil.DXF" });
}

TEST_F(SaveRun, TheLogKeepsEarlierRunsLines)
{
    state.displayDiags = false;
    choose(0, QStringLiteral("Revision"));
    state.sheetSelType = 0;
    Quillet(state, surroundings);
    EXPECT_EQ(OutputLog::instance().lines(), (QStringList { "CPs Copied Successfully...", "" }));
}
