#include "addin/quilletmain.h"
#include "batchfixture.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The save run's log lines and failures are the save tests' subject; these tests keep to what the
// program adds: options, streams, statuses, stored defaults and the files left on disk.

namespace {

// 0 when pdfinfo cannot read the file. Where there is no pdfinfo (Windows), the count of the
// document's page tree, which the PDF writer leaves uncompressed.
int pdfPages(const QString &nativePath)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()) {
        static const QRegularExpression tree(
            QStringLiteral("/Type\\s*/Pages\\b[^>]*/Count\\s+(\\d+)"));
        return tree.match(QString::fromLatin1(readNative(nativePath))).captured(1).toInt();
    }
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), { nativePath });
    pdfinfo.waitForFinished(30000);
    static const QRegularExpression pages(
        QStringLiteral("^Pages: +(\\d+)$"), QRegularExpression::MultilineOption);
    return pages.match(QString::fromUtf8(pdfinfo.readAllStandardOutput())).captured(1).toInt();
}

} // namespace

TEST_F(Batch, HelpAndVersionPrintOnStandardOutput)
{
    const BatchRun help = run({ QStringLiteral("--help") });
    const BatchRun version = run({ QStringLiteral("--version") });
    EXPECT_EQ(QList<int>({ help.status, version.status }), QList<int>({ 0, 0 }));
    EXPECT_EQ(help.err + version.err, QStringList());
    EXPECT_EQ(help.out.value(0), QStringLiteral("Usage: quillet-batch [options] DRAWING..."));
    EXPECT_FALSE(help.out.join('\n').contains(QStringLiteral(QUILLET_BATCH)));
    EXPECT_EQ(
        version.out, QStringList { QStringLiteral("quillet-batch ") + Quilletmain::versionString });
}

// One run and how it ends: nothing on standard output, one line per drawing on standard error.
struct StatusCase {
    const char *name;
    // Split at blanks; %T as in err.
    QString arguments;
    int status;
    // Lines split at line ends; %T stands for the native folder of drive T:, "%V: " for the
    // status line's product prefix.
    QString err;
    QStringList files = {};
    // The image format of the files and the size of each at 100 dpi, which tells the sheet.
    QByteArray kind = {};
    QList<QSize> sizes = {};
    // QUILLET_DRIVES of the run; empty for T: and Z:=/.
    QString drives = {};
    QMap<QString, QString> stored = {};
};

void PrintTo(const StatusCase &param, std::ostream *out)
{
    *out << param.name;
}

class BatchStatus : public Batch, public ::testing::WithParamInterface<StatusCase> {
protected:
    QString placeholders(QString text) const
    {
        text.replace(QStringLiteral("%T"), drive.native());
        if (text.startsWith(QStringLiteral("%V: ")))
            text = status(text.mid(4));
        return text;
    }
};

TEST_P(BatchStatus, EndsWithItsStatusAndLinesAndFiles)
{
    const StatusCase &param = GetParam();
#ifdef Q_OS_WIN
    if (!param.drives.isEmpty() || param.arguments.contains("--drive")
        || param.err.contains("mapped drive"))
        GTEST_SKIP() << "the drive map is played off Windows only";
#endif
    if (!param.stored.isEmpty())
        store(param.stored);
    if (!param.drives.isEmpty())
        drives = placeholders(param.drives);
    const BatchRun result = run(placeholders(param.arguments).split(QLatin1Char(' ')));
    EXPECT_EQ(result.status, param.status);
    EXPECT_EQ(result.out, QStringList());
    QStringList err;
    for (const QString &line : param.err.split(QLatin1Char('\n')))
        err.append(placeholders(line));
    EXPECT_EQ(result.err, err);
    ASSERT_EQ(filesIn("Out"), param.files);
    for (qsizetype i = 0; i < param.files.size(); ++i) {
        QImageReader image(drive.native("Out/" + param.files.at(i)));
        EXPECT_EQ(image.format(), param.kind) << param.files.at(i).toStdString();
        EXPECT_EQ(image.size(), param.sizes.at(i)) << param.files.at(i).toStdString();
    }
    // Nothing lands in the home folder, and no run here is a PDF run.
    EXPECT_TRUE(filesBelow(home.path()).isEmpty());
    EXPECT_EQ(whatToPlot(), QString());
}

QString quietPlate(const char *options)
{
    return QLatin1String(options)
        + QLatin1String(" --quiet -n SHEETNUMBER|_|SHEETNAME -o Out PLATE.SLDDRW");
}

const QSize a3(1654, 1169);
const QSize a4(1169, 827);
const QString outputToOut = QStringLiteral("%V: Files output to [T:\\Out\\]");
const QString notOnADrive
    = QStringLiteral("quillet-batch: the %1 is on no mapped drive (map one with --drive): %2");

INSTANTIATE_TEST_SUITE_P(Batch, BatchStatus,
    ::testing::Values(
        // Bad usage ends before any drawing with 64.
        StatusCase { "NoDrawing", "-f DXF -o Out", 64, "quillet-batch: no drawing given" },
        StatusCase { "StoredSelectedSheetsNeedNames", "PLATE.SLDDRW SIXSHEETS.SLDDRW", 64,
            "quillet-batch: no sheet chosen; name the sheets with --sheets\n"
            "quillet-batch: no sheet chosen; name the sheets with --sheets",
            {}, {}, {}, {},
            { { "Path", "T:\\Out" }, { "OutputFormatIndex", "1" },
                { "SaveSheetSelectionType", "2" } } },
        // A drawing that cannot run: 2.
        StatusCase { "SheetNamesAreExact", "-f DXF -s Sheet2,sheet1 -o Out PLATE.SLDDRW", 2,
            "quillet-batch: PLATE.SLDDRW has no sheet named \"sheet1\"" },
        StatusCase { "MissingOutputDirectory", "-f DXF -o Out/New PLATE.SLDDRW", 2,
            "quillet-batch: output directory does not exist: Out/New" },
        StatusCase { "DrawingOnNoMappedDrive", "-f DXF -o Out PLATE.SLDDRW", 2,
            notOnADrive.arg("drawing", "%T/PLATE.SLDDRW"), {}, {}, {}, "T:=%T/Out" },
        StatusCase { "DriveMappedOnTheCommandLine", quietPlate("--drive T:=%T -f DXF -s Sheet1"), 0,
            outputToOut, { "1_Sheet1.DXF" }, {}, { {} }, "T:=%T/Out" },
        StatusCase { "OutputOnNoMappedDrive", "-f DXF -o / PLATE.SLDDRW", 2,
            notOnADrive.arg("output directory", "/"), {}, {}, {}, "T:=%T" },
        StatusCase { "StoredOutputDirectoryGone", "-f DXF PLATE.SLDDRW", 2,
            "quillet-batch: the stored output directory does not exist: T:\\Gone", {}, {}, {}, {},
            { { "Path", "T:\\Gone" } } },
        // The option check found the report's place free; the run made a directory there.
        StatusCase { "ReportWhereTheRunMadeADirectory",
            quietPlate("-f DXF -s Sheet1 --dest-dirs --report Out/DXF"), 2,
            "%V: Files output to [T:\\Out\\DXF\\]\n"
            "quillet-batch: cannot write the report Out/DXF: Filename refers to a directory",
            { "DXF", "DXF/1_Sheet1.DXF" }, {}, { {}, {} } },
        // Formats by caption or extension in any case. Named sheets are saved in the drawing's
        // order and numbered in the run's.
        StatusCase { "JpgNamedSheets", quietPlate("-f jpg -s Sheet3,Sheet1"), 0, outputToOut,
            { "1_Sheet1.JPG", "2_Sheet3.JPG" }, "jpeg", { a3, a4 } },
        StatusCase { "TiffCurrentSheet", quietPlate("-f TIFF -s current"), 0, outputToOut,
            { "1_Sheet1.TIF" }, "tiff", { a3 } },
        StatusCase { "TifAllSheets", quietPlate("-f .tif -s ALL"), 0, outputToOut,
            { "1_Sheet1.TIF", "2_Sheet2.TIF", "3_Sheet3.TIF" }, "tiff", { a3, a3, a4 } }),
    [](const ::testing::TestParamInfo<StatusCase> &info) { return std::string(info.param.name); });

// Both streams, redirected as here, carry every name whole: on Windows too, where the system's
// code page would make "?" of them.
TEST_F(Batch, ADrawingNamedInAnyScriptOpens)
{
    // Greek and Japanese letters, which no single Western code page holds.
    const QString name = QString::fromUtf8("\u03a3\u03c7\u03ad\u03b4\u03b9\u03bf_\u56f3\u9762");
    ASSERT_TRUE(QFile::copy(drive.native("PLATE.SLDDRW"), drive.native(name + ".SLDDRW")));
    const BatchRun result = run({ "-f", "DXF", "-s", "Sheet1", "-n", "DRWNAME", "-o", "Out",
        name + ".SLDDRW", name + "-2.SLDDRW" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(filesIn("Out"), QStringList { name + ".DXF" });
    EXPECT_EQ(result.out.mid(0, 1), QStringList { "Drawing Document Name: " + name });
    EXPECT_TRUE(result.out.contains("Sheet1 filename: " + name + ".DXF"))
        << result.out.join('\n').toStdString();
    EXPECT_EQ(result.err.mid(result.err.size() - 1),
        QStringList { "quillet-batch: no such drawing: " + name + "-2.SLDDRW" });
}

#ifndef Q_OS_WIN
// The host's failed save says which file and why on standard error, beside the log's bare error
// code. Out/PLATE_Sheet1.DXF leads into a folder that is a file, which no user can write into,
// whatever rights they have.
TEST_F(Batch, AFileTheHostCannotWriteIsNamedWithTheReason)
{
    writeNative(drive.native("file"), "a file, not a folder");
    ASSERT_TRUE(QFile::link("../file/PLATE_Sheet1.DXF", drive.native("Out/PLATE_Sheet1.DXF")));
    const BatchRun result = run({ "-q", "-f", "DXF", "-s", "Sheet1", "-n", "DRWNAME|_|SHEETNAME",
        "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
        (QStringList { "quillet-batch: cannot save " + drive.native("Out/PLATE_Sheet1.DXF")
                + ": Not a directory",
            status("SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 1 files not saved]") }));
}
#endif

TEST_F(Batch, EveryDrawingIsTriedAndTheHighestStatusWins)
{
    const QString readOnly = drive.native("Out/PLATE.DXF");
    writeNative(readOnly, "kept");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QStringList options { "-q", "-f", "DXF", "-s", "Sheet1", "-n", "DRWNAME", "-o", "Out" };
    const QString notSaved = status("SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 1 files not saved]");

    const BatchRun result = run(options
        + QStringList { "PLATE.SLDDRW", "NOPE.SLDDRW", "TRUNCATED.SLDDRW", "PLATE.SLDPRT",
            "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, QStringList());
    // The reader's own words about the broken file follow its name.
    QStringList err = result.err;
    EXPECT_TRUE(err.value(2).startsWith(
        "quillet-batch: " + drive.native("TRUNCATED.SLDDRW") + ": not valid JSON"));
    err.removeAt(2);
    EXPECT_EQ(err,
        (QStringList { notSaved, "quillet-batch: no such drawing: NOPE.SLDDRW",
            "Exit on Error. Document open in SolidWorks is not a drawing. Error #10201.",
            status("Files output to [T:\\Out\\]") }));
    EXPECT_EQ(filesIn("Out"), (QStringList { "PLATE.DXF", "SIXSHEETS.DXF" }));

    // A later drawing that saves does not lower the status of an earlier failed save.
    const BatchRun later = run(options + QStringList { "PLATE.SLDDRW", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(later.status, 1);
    EXPECT_EQ(later.err, (QStringList { notSaved, status("Files output to [T:\\Out\\]") }));
}

TEST_F(Batch, OptionsLeftOutTakeTheStoredChoices)
{
    store({ { "Path", "T:\\Out" }, { "OutputFormatIndex", "1" }, { "isDisplayDiags", "0" },
        { "FilenameFormat.DXF", "SHEETNAME|-|DRWNAME" }, { "FilenameFormat.JPG", "DRWNAME" },
        { "SaveSheetSelectionType", "1" }, { "isUseDestDirs", "1" },
        { "DestinationDirectory.DXF", "Cad\\DXF" }, { "DestinationDirectory.JPG", "T:\\Images" } });
    drive.mkdir("Images");

    // The stored "Display Output Log" is the dialog's; only --quiet silences the batch.
    const BatchRun stored = run({ "PLATE.SLDDRW" });
    EXPECT_EQ(stored.status, 0);
    EXPECT_EQ(stored.out.value(0), QStringLiteral("Drawing Document Name: PLATE"));
    EXPECT_EQ(stored.err, QStringList());
    EXPECT_EQ(filesIn("Out/Cad/DXF"),
        (QStringList { "Sheet1-PLATE.DXF", "Sheet2-PLATE.DXF", "Sheet3-PLATE.DXF" }));

    // Another format brings its own stored filename format and destination directory.
    const BatchRun jpg = run({ "-f", "JPG", "-s", "Sheet2", "-q", "PLATE.SLDDRW" });
    EXPECT_EQ(jpg.status, 0);
    EXPECT_EQ(jpg.err, QStringList { status("Files output to [T:\\Images\\]") });
    EXPECT_EQ(filesIn("Images"), QStringList { "PLATE.JPG" });

    drive.mkdir("Other");
    const BatchRun given = run({ "-f", "JPG", "-n", "DRWNAME|+|SHEETNAME", "-s", "Sheet2", "-o",
        "Other", "--no-dest-dirs", "-q", "PLATE.SLDDRW" });
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(given.err, QStringList { status("Files output to [T:\\Other\\]") });
    EXPECT_EQ(filesIn("Other"), QStringList { "PLATE+Sheet2.JPG" });
    EXPECT_EQ(filesIn("Images"), QStringList { "PLATE.JPG" });
}

TEST_F(Batch, PdfWriterValueDecidesBetweenOneFilePerSheetAndOneForAll)
{
    store({ { "Path", "T:\\Out" }, { "OutputFormatIndex", "6" },
        { "FilenameFormat.0.PDF", "DRWNAME|_|SHEETNAME" },
        { "FilenameFormat.1.PDF", "DRWNAME|_|ALL" }, { "SaveSheetSelectionType", "1" } });
    const QStringList perSheet { "PLATE_Sheet1.PDF", "PLATE_Sheet2.PDF", "PLATE_Sheet3.PDF" };
    const BatchRun result = run({ "-q", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, QStringList { status("Files output to [T:\\Out\\]") });
    ASSERT_EQ(filesIn("Out"), perSheet);
    for (const QString &file : perSheet)
        EXPECT_EQ(pdfPages(drive.native("Out/" + file)), 1) << file.toStdString();
    EXPECT_EQ(whatToPlot(), QStringLiteral("0"));

    // One file for all sheets: the sheet choice gives way, and the single-file format applies.
    const BatchRun single = run({ "--single-file", "-q", "-s", "Sheet2", "PLATE.SLDDRW" });
    EXPECT_EQ(single.status, 0);
    EXPECT_EQ(single.err, QStringList { status("Files output to [T:\\Out\\]") });
    EXPECT_EQ(filesIn("Out"), QStringList { "PLATE_ALL.PDF" } + perSheet);
    EXPECT_EQ(pdfPages(drive.native("Out/PLATE_ALL.PDF")), 3);
    EXPECT_EQ(whatToPlot(), QStringLiteral("1"));

    // The PDF writer's value left at 1 keeps the next run to one file.
    const BatchRun next = run({ "-q", "-n", "SIXSHEETS", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(pdfPages(drive.native("Out/SIXSHEETS.PDF")), 6);
    EXPECT_EQ(filesIn("Out").size(), 5);
    EXPECT_EQ(whatToPlot(), QStringLiteral("1"));
}

// Each layout of a DXF drawing is named from its own title block; the native format finds no
// view of a model to name the sheet from.
TEST_F(Batch, DxfLayoutsAreNamedFromTheirOwnTitleBlocks)
{
    drive.copyData("dxf/LAYOUTS.dxf", "LAYOUTS.dxf");
    const QStringList options { "-q", "-s", "all", "-n", "DRWNAME|_|DWG_NO|_|REV", "-o", "Out" };
    const BatchRun pdf = run(options + QStringList { "-f", "PDF", "LAYOUTS.dxf" });
    EXPECT_EQ(pdf.status, 0);
    EXPECT_EQ(pdf.err, QStringList { status("Files output to [T:\\Out\\]") });
    EXPECT_EQ(filesIn("Out"), (QStringList { "LAYOUTS_QA-1001_B.PDF", "LAYOUTS_QA-1002_A.PDF" }));

    const BatchRun native = run(options + QStringList { "-f", "SLDDRW", "LAYOUTS.dxf" });
    EXPECT_EQ(native.status, 2);
    EXPECT_EQ(native.err,
        QStringList { "No valid drawing views found. Error #10801 in getFilenameFromDoc." });
}
