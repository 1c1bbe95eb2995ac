#include "platform/quilleterror.h"
#include "save/filenamebuilder.h"
#include "savefixture.h"

class FilenameBuilder : public SaveFixture {
protected:
    void SetUp() override
    {
        SaveFixture::SetUp();
        writePlate();
    }

    // Activates the sheet as the save run does, then builds its name.
    QString nameFor(
        const QString &sheet, const QString &format, int outFmtIndex = 1, int sheetNumber = 1)
    {
        if (!state.activeDoc)
            openDrawing("PLATE.SLDDRW");
        EXPECT_TRUE(state.activeDoc->ActivateSheet(sheet));
        state.choices.outFmtIndex = OutputFormats::Format(outFmtIndex);
        state.docBaseName = "PLATE";
        state.curSheetName = sheet;
        state.curSheetNumber = sheetNumber;
        state.selSheetCount = 2;
        return getFilenameFromDoc(
            state, *state.activeDoc, format.split(QLatin1Char('|')), surroundings);
    }

    // The name, or the error the build raises.
    QString resultFor(const QString &sheet, const QString &format, int outFmtIndex)
    {
        QString name;
        const QString error = raisedBy([&] { name = nameFor(sheet, format, outFmtIndex); });
        return error.isEmpty() ? name : error;
    }

    const QString factoryFormat = "DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME";
};

TEST_F(FilenameBuilder, NativeModeNamesFromTheResolvedConfiguration)
{
    EXPECT_EQ(nameFor("Sheet2", factoryFormat, 0, 2), "PLATE_Sheet2_C_2005-09-09_09_46");
    EXPECT_EQ(surroundings.lines,
        (QStringList { "CPs Copied Successfully...", "", "Renaming Drawing Document...",
            "Sheet: Sheet2", "View: Drawing View2", "Model: PLATE.SLDPRT", "Configuration: C",
            "" }));
    EXPECT_EQ(state.activateErrors, 0);
    // The model became the host's active document, and its properties the drawing's.
    EXPECT_EQ(app->ActiveDocument()->Title(), "PLATE.SLDPRT");
    EXPECT_EQ(state.activeDoc->CustomInfo2(QString(), "Revision"), "C");
}

TEST_F(FilenameBuilder, EveryKeyword)
{
    openDrawing("PLATE.SLDDRW");
    state.docSheetCount = 6;
    const QString format
        = QStringLiteral("FILENAME|,|SHEETNUMBER|,|CURRENTSHEETNUMBER|,|TOTALSELSHEETS|,|"
                         "TOTALDOCSHEETS|,|TOTALDRWSHEETS|,|"
                         "YEAR|,|MONTH|,|DAY|,|MODELNAME|,|MODELFILENAME|,|"
                         "MODELFILENAMEWITHOUTEXTN|,|MODELFILENAMEWITHEXTN|,|Revision");
    EXPECT_EQ(nameFor("Sheet2", format, 0, 3),
        "PLATE,3,3,2,6,6,2005,09,09,PLATE,PLATE,PLATE,PLATE.SLDPRT,C");
    // Model names are known only in the native format; the copy gave the drawing Revision C.
    EXPECT_EQ(nameFor("Sheet2", format, 4, 3), "PLATE,3,3,2,6,6,2005,09,09,,,,,C");
}

// An evening in March, a minute later at every reading: month apart from day, hours past noon
// and single digits all show.
TEST_F(FilenameBuilder, DateAndTimeFieldsReadTheClockEachTime)
{
    QDateTime moment(QDate(2005, 3, 7), QTime(21, 5));
    Clock::setSource([&moment] {
        moment = moment.addSecs(60);
        return moment.addSecs(-60);
    });
    EXPECT_EQ(nameFor("Sheet1", "DATE|,|YEAR|,|MONTH|,|DAY|,|TIME|,|TIME"),
        "2005-03-07,2005,03,07,21_09,21_10");
}

// Each format on Sheet1 of a freshly opened PLATE, in the native mode (0) or DXF (1).
TEST_F(FilenameBuilder, FieldsTakeValuesThenLiteralsAsTheModeSays)
{
    const QString noValue = QStringLiteral(
        "11401 All specified Custom Property Values returned NULL. (getFilenameFromDoc)");
    const std::tuple<const char *, int, QString> cases[] = {
        // Configuration Default has no Revision of its own: the general A is used.
        { "Revision|_|Material|_|Finish", 0, "A_steel_Finish" },
        // The value is used as the host gives it, blanks included.
        { "Description", 0, "  Base plate  " },
        // Nothing named Material in the drawing: the name itself is copied.
        { "Material", 1, "Material" },
        // Keywords are capitals only, and match with blanks around them.
        { "date|_| DATE |_|Sheetname", 1, "date_2005-09-09_Sheetname" },
        // Blanks around a literal stay only in the native mode.
        { "DRWNAME| - |Revision", 1, "PLATE-D" },
        { "DRWNAME| - |Revision", 0, "PLATE - A" },
        // Two separators in a row contribute nothing; only separators give an empty name.
        { "DRWNAME||SHEETNAME", 1, "PLATESheet1" },
        { "||", 1, "" },
        // The native mode needs at least one property value.
        { "||", 0, noValue },
        { "DRWNAME|_|SHEETNAME", 0, noValue },
    };
    for (const auto &[format, outFmtIndex, expected] : cases) {
        app->closeAllDocuments();
        openDrawing("PLATE.SLDDRW");
        EXPECT_EQ(resultFor("Sheet1", QLatin1String(format), outFmtIndex), expected)
            << format << " in " << outFmtIndex;
    }
}

TEST_F(FilenameBuilder, PathCharactersInValuesNeverReachTheName)
{
    openDrawing("PLATE.SLDDRW");
    state.activeDoc->SetCustomInfo2(QString(), "Revision", " ..\\..\\a/b:c*?<>|\"d e \t");
    EXPECT_EQ(nameFor("Sheet1", "Revision"), "....abcd e ");
    state.activeDoc->SetCustomInfo2(QString(), "Revision", "x\r\ny\bz");
    EXPECT_EQ(nameFor("Sheet1", "Revision"), "xyz");
    // Written into the format as literal text, and in a sheet's name.
    EXPECT_EQ(nameFor("Sheet1", "\"Q\"|SHEETNAME"), "QSheet1");
    state.curSheetName = "Plan \"A\"";
    EXPECT_EQ(getFilenameFromDoc(state, *state.activeDoc, { "SHEETNAME" }, surroundings), "Plan A");
}

TEST_F(FilenameBuilder, AStatusTextReplacesTheReportWithDiagnosticsOff)
{
    state.choices.displayDiags = false;
    nameFor("Sheet2", factoryFormat, 0);
    EXPECT_EQ(statusText(),
        QStringLiteral(
            "Quillet 1.00: [View: Drawing View2] [Model: PLATE.SLDPRT] [Configuration: C]"));
    // The copy's result is logged all the same.
    EXPECT_EQ(surroundings.lines, (QStringList { "CPs Copied Successfully...", "" }));
}

// Drawings of tests/data over PLATE: PartNo P-1001 in general, P-1001-X1 in configuration X1.
class ViewResolution : public SaveFixture {
protected:
    // The native name of the field PartNo for a sheet of a drawing, or the error number and
    // description.
    QString nameOn(const QString &drawing, const QString &sheet = "Sheet1")
    {
        app->closeAllDocuments();
        for (const QString &file : { QStringLiteral("PLATE.SLDPRT"), drawing })
            drive.copyData(file);
        openDrawing(drawing);
        state.activeDoc->ActivateSheet(sheet);
        state.choices.outFmtIndex = OutputFormats::Slddrw;
        try {
            return getFilenameFromDoc(state, *state.activeDoc, { "PartNo" }, surroundings);
        } catch (const QuilletError &error) {
            EXPECT_EQ(Quilletmain::curProcName, "getFilenameFromDoc");
            return QString::number(error.number) + QLatin1Char(' ') + error.description;
        }
    }
};

// The sheet's properties view chooses the model, unless a view is selected. Only "Default"
// exactly marks the first view; any other text names a view. Where there is a choice, the view
// not chosen shows the other configuration.
TEST_F(ViewResolution, PropertiesViewOrSelectedViewChoosesTheModel)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        // "Default", and "Drawing View4", the second view.
        { "PLATE.SLDDRW", "Sheet1", "P-1001" },
        { "PLATE.SLDDRW", "Sheet2", "P-1001" },
        { "LOWERDEFAULT.SLDDRW", "Sheet1", "10901 Error activating default view." },
        // No properties view; a selected note or sheet does not count.
        { "SELECTEDVIEW.SLDDRW", "Sheet1", "P-1001-X1" },
        { "SELECTEDOTHER.SLDDRW", "Sheet1", "P-1001" },
    };
    for (const auto &[drawing, sheet, expected] : cases)
        EXPECT_EQ(nameOn(drawing, sheet), QLatin1String(expected)) << drawing << " " << sheet;
}

// A sheet without drawing views; a model whose file has gone, which no view can load, whether
// the drawing says it is loaded or not; a model file the host cannot read, which a view that says
// it is loaded cannot activate.
TEST_F(ViewResolution, FailuresOfTheHostEndTheCallWithTheirTexts)
{
    EXPECT_EQ(nameOn("NOVIEWS.SLDDRW"), "10801 No valid drawing views found.");
    for (const char *drawing : { "LIGHTWEIGHT_MISSINGMODEL.SLDDRW", "MISSINGMODEL.SLDDRW" }) {
        EXPECT_EQ(nameOn(drawing), "11201 Model referred in view could not be loaded.") << drawing;
        EXPECT_EQ(state.activateErrors, 0) << drawing;
    }
    drive.copyData("broken/NOTJSON.SLDDRW", "MISSING.SLDPRT");
    EXPECT_EQ(nameOn("MISSINGMODEL.SLDDRW"), "11301 Error [1] activating SW Model.");
    EXPECT_EQ(state.activateErrors, 1);
}
