#include "addin/quilletmain.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// quillet-batch as users run it: the built program in a process of its own, with its own
// settings store, drive map and home, so every run sees only what the test prepared.

namespace {

const QString batchProgram = QStringLiteral(QUILLET_BATCH);
const QString pdfWriterFile = QStringLiteral("Bluebeam Software/Pushbutton PDF.ini");

struct BatchRun {
    int status = -1;
    // The lines of each stream; a last line without its line end shows as a marker.
    QStringList out;
    QStringList err;
};

QStringList linesOf(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    else
        lines.append(QStringLiteral("<no line end>"));
    return lines;
}

QString status(const QString &text)
{
    return Quilletmain::productAndVersion() + QStringLiteral(": ") + text;
}

QStringList heading(const QString &caption, const QString &format, int sheets,
    const QString &base = QStringLiteral("T:\\Out\\"), bool destDirs = false)
{
    QStringList lines { QStringLiteral("Drawing Document Name: PLATE") };
    if (destDirs)
        lines.append(QStringLiteral("Using Destination Directories..."));
    return lines
        + QStringList { QStringLiteral("Output Base Directory: ") + base,
              QStringLiteral("Output format is ") + caption,
              QStringLiteral("Filename format: ") + format,
              QStringLiteral("Document has %1 sheets").arg(sheets), QString() };
}

QStringList saved(const QString &sheet, const QString &fileName, int errors = 0)
{
    return { sheet + QStringLiteral(" filename: ") + fileName,
        QStringLiteral("     Save Status [%1] Errors [%2] Warnings [0]")
            .arg(errors == 0 ? QStringLiteral("True") : QStringLiteral("False"))
            .arg(errors),
        QString() };
}

QStringList notes()
{
    return { "NOTES:", "     - Quillet will NOT overwrite ReadOnly files.",
        "     - SolidWorks may return success even if files are NOT saved.",
        "     - Ensure that there is adequate disk space.",
        "     - Ensure write permission to destination directory.", "" };
}

QStringList finished()
{
    return QStringList { "Finished, but check output files!", "" } + notes();
}

QStringList saveError()
{
    return QStringList { "SOMETHING WRONG, FILE SAVE ERROR!!!", "" } + notes();
}

// Every file below a folder, relative path to content.
QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readNative(path));
    }
    return files;
}

int pdfPages(const QString &nativePath)
{
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), { nativePath });
    if (!pdfinfo.waitForFinished(30000) || pdfinfo.exitCode() != 0)
        return -1;
    for (const QString &line : QString::fromUtf8(pdfinfo.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

} // namespace

class Batch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Quilletmain::fillFromVersionResource(); }

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && config.isValid());
        for (const char *name : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT",
                 "SIXSHEETS.SLDDRW", "LIGHTWEIGHT_MISSINGMODEL.SLDDRW" })
            drive.copyData(QString::fromLatin1(name));
        drive.copyData(
            QStringLiteral("broken/TRUNCATED.SLDDRW"), QStringLiteral("TRUNCATED.SLDDRW"));
        drive.mkdir(QStringLiteral("Out"));
        drives = QStringLiteral("T:=") + drive.native() + QStringLiteral(";Z:=/");
        formatsFileBefore = readNative(formatsFile());
        ASSERT_FALSE(formatsFileBefore.isEmpty()) << "no formats file beside the program";
    }

    // The formats file beside the program belongs to the main dialog; the batch leaves it alone.
    void TearDown() override { EXPECT_EQ(readNative(formatsFile()), formatsFileBefore); }

    static QString formatsFile()
    {
        return QFileInfo(batchProgram).absolutePath() + QStringLiteral("/Quillet.FMT");
    }

    BatchRun run(const QStringList &arguments)
    {
        QProcessEnvironment environment;
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "PATH", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS",
                 "UBSAN_OPTIONS", "ASAN_SYMBOLIZER_PATH" }) {
            if (system.contains(QLatin1String(name)))
                environment.insert(QLatin1String(name), system.value(QLatin1String(name)));
        }
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("QUILLET_DRIVES"), drives);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));

        QMap<QString, QByteArray> settingsBefore = filesBelow(config.path());
        settingsBefore.remove(pdfWriterFile);

        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(drive.native());
        process.start(batchProgram, arguments);
        BatchRun result;
        if (!process.waitForFinished(120000)) {
            ADD_FAILURE() << "quillet-batch did not finish";
            process.kill();
            process.waitForFinished();
            return result;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        result.status = process.exitCode();
        result.out = linesOf(process.readAllStandardOutput());
        result.err = linesOf(process.readAllStandardError());

        // The batch reads the stored choices and writes nothing there; only the PDF writer's
        // value may change.
        QMap<QString, QByteArray> settingsAfter = filesBelow(config.path());
        settingsAfter.remove(pdfWriterFile);
        EXPECT_TRUE(settingsAfter == settingsBefore)
            << "the settings store changed: " << settingsAfter.keys().join(", ").toStdString();
        return result;
    }

    // Stored choices as the main dialog's GO! leaves them.
    void store(const QMap<QString, QString> &values) const
    {
        QSettings settings(
            config.path() + QStringLiteral("/Quillet/Quillet.ini"), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Startup"));
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.endGroup();
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }

    QString pdfPath() const { return config.path() + QLatin1Char('/') + pdfWriterFile; }

    void setWhatToPlot(int value) const
    {
        QSettings settings(pdfPath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SolidWorksLt/WhatToPlot"), value);
        settings.sync();
    }

    // The PDF writer's value as a text, "" when it was never written.
    QString whatToPlot() const
    {
        if (!QFileInfo::exists(pdfPath()))
            return {};
        return QSettings(pdfPath(), QSettings::IniFormat)
            .value(QStringLiteral("SolidWorksLt/WhatToPlot"))
            .toString();
    }

    QStringList filesIn(const QString &relative) const
    {
        return QDir(drive.native(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QString placeholders(QString text) const
    {
        text.replace(QStringLiteral("%T"), drive.native());
        return text;
    }

    QTemporaryDir home;
    QTemporaryDir config;
    TempDrive drive;
    // QUILLET_DRIVES of the child.
    QString drives;
    QByteArray formatsFileBefore;
};

TEST_F(Batch, HelpAndVersionPrintOnStandardOutput)
{
    const BatchRun help = run({ QStringLiteral("--help") });
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, QStringList());
    ASSERT_FALSE(help.out.isEmpty());
    EXPECT_EQ(help.out.constFirst(), QStringLiteral("Usage: quillet-batch [options] DRAWING..."));
    const QString text = help.out.join('\n');
    for (const char *option : { "-f, --format <F>", "-n, --filename-format <S>", "-s, --sheets <W>",
             "-o, --output <DIR>", "--dest-dirs", "--no-dest-dirs", "--single-file", "-q, --quiet",
             "--drive <X:=DIR>", "-h, --help", "--version" })
        EXPECT_TRUE(text.contains(QLatin1String(option))) << option;
    EXPECT_FALSE(text.contains(batchProgram));

    const BatchRun version = run({ QStringLiteral("--version") });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(
        version.out, QStringList { QStringLiteral("quillet-batch ") + Quilletmain::versionString });
    EXPECT_EQ(version.err, QStringList());
}

// Bad usage: one line on standard error, status 64, and nothing run at all.
struct UsageCase {
    const char *name;
    QStringList arguments;
    QString message;
};

void PrintTo(const UsageCase &param, std::ostream *out)
{
    *out << param.name;
}

class BatchUsage : public Batch, public ::testing::WithParamInterface<UsageCase> { };

TEST_P(BatchUsage, EndsWithOneLineAndSavesNothing)
{
    const BatchRun result = run(GetParam().arguments);
    EXPECT_EQ(result.status, 64);
    EXPECT_EQ(result.out, QStringList());
    EXPECT_EQ(result.err, QStringList { GetParam().message });
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList());
    EXPECT_EQ(whatToPlot(), QString());
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchUsage,
    ::testing::Values(UsageCase { "UnknownFormat", { "-f", "PDFX", "-o", "Out", "PLATE.SLDDRW" },
                          "quillet-batch: unknown format \"PDFX\"" },
        UsageCase { "DriveWithoutFolder",
            { "--drive", "Q:=", "-f", "PDF", "-o", "Out", "PLATE.SLDDRW" },
            "quillet-batch: bad drive mapping \"Q:=\" (expected X:=DIR)" },
        UsageCase { "DriveWithoutLetter",
            { "-f", "DXF", "-o", "Out", "--drive", "/srv", "PLATE.SLDDRW" },
            "quillet-batch: bad drive mapping \"/srv\" (expected X:=DIR)" },
        UsageCase { "NoDrawing", { "-f", "DXF", "-o", "Out" }, "quillet-batch: no drawing given" },
        UsageCase { "UnknownOption", { "--overwrite", "-f", "DXF", "-o", "Out", "PLATE.SLDDRW" },
            "quillet-batch: Unknown option 'overwrite'." },
        UsageCase { "MissingValue", { "-o", "Out", "PLATE.SLDDRW", "--format" },
            "quillet-batch: Missing value after '--format'." },
        UsageCase { "BothDestinationChoices",
            { "--dest-dirs", "--no-dest-dirs", "-f", "DXF", "-o", "Out", "PLATE.SLDDRW" },
            "quillet-batch: --dest-dirs and --no-dest-dirs exclude each other" }),
    [](const ::testing::TestParamInfo<UsageCase> &info) { return std::string(info.param.name); });

// A drawing that cannot run: one line on standard error, status 2, nothing saved.
struct DrawingErrorCase {
    const char *name;
    QStringList arguments;
    QStringList out;
    // %T stands for the native folder of drive T:.
    QString message;
    // QUILLET_DRIVES of the run, %T as above; empty for T: and Z:=/.
    QString drives;
};

void PrintTo(const DrawingErrorCase &param, std::ostream *out)
{
    *out << param.name;
}

class BatchDrawingError : public Batch, public ::testing::WithParamInterface<DrawingErrorCase> { };

TEST_P(BatchDrawingError, EndsWithOneLineAndSavesNothing)
{
    if (!GetParam().drives.isEmpty())
        drives = placeholders(GetParam().drives);
    const BatchRun result = run(GetParam().arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, GetParam().out);
    EXPECT_EQ(result.err, QStringList { placeholders(GetParam().message) });
    EXPECT_EQ(filesIn(QStringLiteral("Out")), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchDrawingError,
    ::testing::Values(
        DrawingErrorCase { "MissingDrawing", { "-f", "DXF", "-o", "Out", "NOPE.SLDDRW" }, {},
            "quillet-batch: no such drawing: NOPE.SLDDRW", {} },
        DrawingErrorCase { "Part", { "-f", "DXF", "-o", "Out", "PLATE.SLDPRT" }, {},
            "Exit on Error. Document open in SolidWorks is not a drawing. Error "
            "#10201.",
            {} },
        DrawingErrorCase { "UnknownSheet",
            { "-f", "DXF", "-s", "Sheet2,Sheet9", "-o", "Out", "PLATE.SLDDRW" }, {},
            "quillet-batch: PLATE.SLDDRW has no sheet named \"Sheet9\"", {} },
        DrawingErrorCase { "SheetNamesAreExact",
            { "-f", "DXF", "-s", "sheet1", "-o", "Out", "PLATE.SLDDRW" }, {},
            "quillet-batch: PLATE.SLDDRW has no sheet named \"sheet1\"", {} },
        DrawingErrorCase { "MissingOutputDirectory",
            { "-f", "DXF", "-o", "Out/New", "PLATE.SLDDRW" }, {},
            "quillet-batch: output directory does not exist: Out/New", {} },
        DrawingErrorCase { "FilenameFormatEmptyAfterCleaning",
            { "-f", "DXF", "-n", ":\\/", "-o", "Out", "PLATE.SLDDRW" }, {},
            "Invalid or empty filename specification. Error #10401 in usrForm "
            "Load.",
            {} },
        DrawingErrorCase { "ModelCannotBeLoaded",
            { "-f", "SLDDRW", "-n", "DRWNAME", "-o", "Out", "LIGHTWEIGHT_MISSINGMODEL.SLDDRW" },
            { "Drawing Document Name: LIGHTWEIGHT_MISSINGMODEL", "Output Base Directory: T:\\Out\\",
                "Output format is SLDDRW", "Filename format: DRWNAME", "Document has 1 sheet", "" },
            "Model referred in view could not be loaded. Error #11201 in "
            "getFilenameFromDoc.",
            {} },
        DrawingErrorCase { "DrawingOnNoMappedDrive", { "-f", "DXF", "-o", "Out", "PLATE.SLDDRW" },
            {},
            "quillet-batch: the drawing is on no mapped drive (map one with "
            "--drive): %T/PLATE.SLDDRW",
            "T:=%T/Out" },
        DrawingErrorCase { "OutputOnNoMappedDrive", { "-f", "DXF", "-o", "/", "PLATE.SLDDRW" }, {},
            "quillet-batch: the output directory is on no mapped drive (map one "
            "with --drive): /",
            "T:=%T" }),
    [](const ::testing::TestParamInfo<DrawingErrorCase> &info) {
        return std::string(info.param.name);
    });

TEST_F(Batch, DxfRunSavesEachChosenSheetAndPrintsTheLog)
{
    const QString format = QStringLiteral("DRWNAME|_|SHEETNAME");
    const BatchRun result
        = run({ "-f", "dxf", "-s", "all", "-n", format, "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
        heading("DXF", format, 3) + saved("Sheet1", "PLATE_Sheet1.DXF")
            + saved("Sheet2", "PLATE_Sheet2.DXF") + saved("Sheet3", "PLATE_Sheet3.DXF")
            + finished());
    EXPECT_EQ(result.err, QStringList());
    const QStringList files { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" };
    ASSERT_EQ(filesIn("Out"), files);
    for (const QString &file : files) {
        const QByteArray dxf = readNative(drive.native("Out/" + file));
        EXPECT_TRUE(dxf.startsWith("  0\nSECTION\n  2\nHEADER\n")) << file.toStdString();
        EXPECT_TRUE(dxf.endsWith("  0\nEOF\n")) << file.toStdString();
    }
    // Only a PDF run sets the PDF writer's value.
    EXPECT_EQ(whatToPlot(), QString());

    drive.mkdir("Out/Quiet");
    const BatchRun quiet = run(
        { "--quiet", "-f", "DXF", "-s", "all", "-n", format, "-o", "Out/Quiet", "PLATE.SLDDRW" });
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, QStringList());
    EXPECT_EQ(quiet.err, QStringList { status("Files output to [T:\\Out\\Quiet\\]") });
    EXPECT_EQ(filesIn("Out/Quiet"), files);
}

// Each format by caption or extension in any case, quiet; the files' names, kinds and sizes.
struct FormatCase {
    const char *name;
    QStringList arguments;
    int status;
    QString statusText;
    QStringList files;
    // The image format each file is read as, or the bytes a PDF begins with.
    QByteArray kind;
    // For images: the size of each file at 100 dpi, which tells the sheet.
    QList<QSize> sizes;
};

void PrintTo(const FormatCase &param, std::ostream *out)
{
    *out << param.name;
}

class BatchFormat : public Batch, public ::testing::WithParamInterface<FormatCase> { };

TEST_P(BatchFormat, SavesUnderTheFormatsExtension)
{
    const FormatCase &param = GetParam();
    const BatchRun result = run(param.arguments
        + QStringList { "-q", "-n", "SHEETNUMBER|_|SHEETNAME", "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, param.status);
    EXPECT_EQ(result.out, QStringList());
    EXPECT_EQ(result.err, QStringList { status(param.statusText) });
    ASSERT_EQ(filesIn("Out"), param.files);
    for (qsizetype i = 0; i < param.files.size(); ++i) {
        const QString path = drive.native("Out/" + param.files.at(i));
        if (param.sizes.isEmpty()) {
            EXPECT_TRUE(readNative(path).startsWith(param.kind)) << path.toStdString();
        } else {
            QImageReader image(path);
            EXPECT_EQ(image.format(), param.kind) << path.toStdString();
            EXPECT_EQ(image.size(), param.sizes.at(i)) << path.toStdString();
        }
    }
}

const QSize a3(1654, 1169);
const QSize a4(1169, 827);

INSTANTIATE_TEST_SUITE_P(Batch, BatchFormat,
    ::testing::Values(
        // Named sheets are saved in the drawing's order and numbered in the run's.
        FormatCase { "JpgNamedSheets", { "-f", "jpg", "-s", "Sheet3,Sheet1" }, 0,
            "Files output to [T:\\Out\\]", { "1_Sheet1.JPG", "2_Sheet3.JPG" }, "jpeg", { a3, a4 } },
        FormatCase { "TiffCurrentSheet", { "-f", "TIFF", "-s", "current" }, 0,
            "Files output to [T:\\Out\\]", { "1_Sheet1.TIF" }, "tiff", { a3 } },
        FormatCase { "TifAllSheets", { "-f", ".tif", "-s", "ALL" }, 0,
            "Files output to [T:\\Out\\]", { "1_Sheet1.TIF", "2_Sheet2.TIF", "3_Sheet3.TIF" },
            "tiff", { a3, a3, a4 } },
        FormatCase { "PdfWithoutSheetChoiceSavesTheCurrentSheet", { "-f", "Pdf" }, 0,
            "Files output to [T:\\Out\\]", { "1_Sheet1.PDF" }, "%PDF-", {} },
        // eDrawing saves the current sheet whatever is asked; this host cannot write it.
        FormatCase { "EDrawingNotAvailable", { "-f", "edrw", "-s", "all" }, 1,
            "SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 1 files not saved]", {}, {}, {} },
        FormatCase { "DwgNotAvailable", { "-f", "DWG", "-s", "Sheet2,Sheet3" }, 1,
            "SOMETHING WRONG, FILE SAVE ERROR!!! [2 of 2 files not saved]", {}, {}, {} }),
    [](const ::testing::TestParamInfo<FormatCase> &info) { return std::string(info.param.name); });

TEST_F(Batch, ReadOnlyTargetFailsTheRunWhileTheOtherSheetsSave)
{
    const QString target = drive.native("Out/PLATE_Sheet2.DXF");
    writeNative(target, "kept");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString format = QStringLiteral("DRWNAME|_|SHEETNAME");

    // The last save succeeds, yet the run reports the failed one and never "Finished".
    const BatchRun result
        = run({ "-f", "DXF", "-s", "all", "-n", format, "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
        heading("DXF", format, 3) + saved("Sheet1", "PLATE_Sheet1.DXF")
            + saved("Sheet2", "PLATE_Sheet2.DXF", 2) + saved("Sheet3", "PLATE_Sheet3.DXF")
            + saveError());
    EXPECT_EQ(result.err, QStringList());
    EXPECT_EQ(filesIn("Out"),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    EXPECT_EQ(readNative(target), QByteArray("kept"));

    const BatchRun quiet
        = run({ "-q", "-f", "DXF", "-s", "all", "-n", format, "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, QStringList());
    EXPECT_EQ(quiet.err,
        QStringList { status("SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 3 files not saved]") });
    EXPECT_EQ(readNative(target), QByteArray("kept"));
}

TEST_F(Batch, EveryDrawingIsTriedAndTheHighestStatusWins)
{
    const QString readOnly = drive.native("Out/PLATE.DXF");
    writeNative(readOnly, "kept");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QStringList options { "-q", "-f", "DXF", "-s", "Sheet1", "-n", "DRWNAME", "-o", "Out" };

    const BatchRun result = run(options
        + QStringList { "PLATE.SLDDRW", "NOPE.SLDDRW", "TRUNCATED.SLDDRW", "PLATE.SLDPRT",
            "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, QStringList());
    ASSERT_EQ(result.err.size(), 5) << ::testing::PrintToString(result.err);
    EXPECT_EQ(
        result.err.at(0), status("SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 1 files not saved]"));
    EXPECT_EQ(result.err.at(1), QStringLiteral("quillet-batch: no such drawing: NOPE.SLDDRW"));
    EXPECT_TRUE(result.err.at(2).startsWith(QStringLiteral("quillet-batch: ")
        + drive.native("TRUNCATED.SLDDRW") + QStringLiteral(": not valid JSON")))
        << result.err.at(2).toStdString();
    EXPECT_EQ(result.err.at(3),
        QStringLiteral("Exit on Error. Document open in SolidWorks is not a drawing. Error "
                       "#10201."));
    EXPECT_EQ(result.err.at(4), status("Files output to [T:\\Out\\]"));
    EXPECT_EQ(filesIn("Out"), (QStringList { "PLATE.DXF", "SIXSHEETS.DXF" }));
    EXPECT_EQ(readNative(readOnly), QByteArray("kept"));

    // A later drawing that saves does not lower the status of an earlier failed save.
    const BatchRun later = run(options + QStringList { "PLATE.SLDDRW", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(later.status, 1);
    EXPECT_EQ(later.err,
        (QStringList { status("SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 1 files not saved]"),
            status("Files output to [T:\\Out\\]") }));
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
    EXPECT_EQ(stored.out,
        heading("DXF", "SHEETNAME|-|DRWNAME", 3, "T:\\Out\\", true)
            + saved("Sheet1", "Sheet1-PLATE.DXF") + saved("Sheet2", "Sheet2-PLATE.DXF")
            + saved("Sheet3", "Sheet3-PLATE.DXF") + finished());
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

TEST_F(Batch, StoredSelectedSheetsNeedNamesOnTheCommandLine)
{
    store(
        { { "Path", "T:\\Out" }, { "OutputFormatIndex", "1" }, { "SaveSheetSelectionType", "2" } });
    const BatchRun result = run({ "PLATE.SLDDRW", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(result.status, 64);
    EXPECT_EQ(result.out, QStringList());
    EXPECT_EQ(result.err,
        QStringList(2, "quillet-batch: no sheet chosen; name the sheets with --sheets"));
    EXPECT_EQ(filesIn("Out"), QStringList());
}

TEST_F(Batch, StoredOutputDirectoryMustExist)
{
    // An empty store means "c:\"; C: is not mapped here, so nothing lands in any home folder.
    const BatchRun fresh = run({ "-f", "DXF", "PLATE.SLDDRW" });
    EXPECT_EQ(fresh.status, 2);
    EXPECT_EQ(fresh.err,
        QStringList { "quillet-batch: the stored output directory does not exist: c:\\" });
    EXPECT_TRUE(filesBelow(home.path()).isEmpty());

    store({ { "Path", "T:\\Gone" } });
    const BatchRun gone = run({ "-f", "DXF", "PLATE.SLDDRW" });
    EXPECT_EQ(gone.status, 2);
    EXPECT_EQ(gone.out, QStringList());
    EXPECT_EQ(gone.err,
        QStringList { "quillet-batch: the stored output directory does not exist: T:\\Gone" });
}

TEST_F(Batch, PdfPerSheetRunWritesTheWriterValueAndOnePagePerFile)
{
    store({ { "Path", "T:\\Out" }, { "OutputFormatIndex", "6" },
        { "FilenameFormat.0.PDF", "DRWNAME|_|SHEETNAME" },
        { "FilenameFormat.1.PDF", "DRWNAME|_|ALL" }, { "SaveSheetSelectionType", "1" } });
    const BatchRun result = run({ "-q", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, QStringList { status("Files output to [T:\\Out\\]") });
    const QStringList files { "PLATE_Sheet1.PDF", "PLATE_Sheet2.PDF", "PLATE_Sheet3.PDF" };
    ASSERT_EQ(filesIn("Out"), files);
    for (const QString &file : files)
        EXPECT_EQ(pdfPages(drive.native("Out/" + file)), 1) << file.toStdString();
    EXPECT_EQ(whatToPlot(), QStringLiteral("0"));
}

TEST_F(Batch, SingleFilePdfHoldsEverySheet)
{
    store({ { "FilenameFormat.0.PDF", "DRWNAME|_|SHEETNAME" },
        { "FilenameFormat.1.PDF", "DRWNAME|_|ALL" } });
    setWhatToPlot(0);

    // One file for all sheets: the sheet choice gives way, and the single-file format applies.
    const BatchRun single
        = run({ "--single-file", "-f", "PDF", "-s", "Sheet2", "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(single.status, 0);
    EXPECT_EQ(single.out,
        heading("PDF", "DRWNAME|_|ALL", 3) + saved("Sheet1", "PLATE_ALL.PDF") + finished());
    EXPECT_EQ(single.err, QStringList());
    EXPECT_EQ(filesIn("Out"), QStringList { "PLATE_ALL.PDF" });
    EXPECT_EQ(pdfPages(drive.native("Out/PLATE_ALL.PDF")), 3);
    EXPECT_EQ(whatToPlot(), QStringLiteral("1"));

    // The PDF writer's value left at 1 keeps the next run to one file.
    const BatchRun next
        = run({ "-q", "-f", "PDF", "-n", "SIXSHEETS", "-o", "Out", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(filesIn("Out"), (QStringList { "PLATE_ALL.PDF", "SIXSHEETS.PDF" }));
    EXPECT_EQ(pdfPages(drive.native("Out/SIXSHEETS.PDF")), 6);
    EXPECT_EQ(whatToPlot(), QStringLiteral("1"));
}

TEST_F(Batch, NativeRunSavesADrawingTheHostReopens)
{
    const QString format = QStringLiteral("DRWNAME|_|Revision");
    // The native format saves the whole drawing once, from the current sheet.
    const BatchRun result
        = run({ "-f", "sldDrw", "-s", "Sheet2", "-n", format, "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 0);
    const QStringList renaming { "CPs Copied Successfully...", "", "Renaming Drawing Document...",
        "Sheet: Sheet1", "View: Drawing View1", "Model: PLATE.SLDPRT", "Configuration: Default",
        "" };
    EXPECT_EQ(result.out,
        heading("SLDDRW", format, 3) + renaming + saved("Sheet1", "PLATE_C.SLDDRW") + finished());
    EXPECT_EQ(result.err, QStringList());
    ASSERT_EQ(filesIn("Out"), QStringList { "PLATE_C.SLDDRW" });
    EXPECT_EQ(readNative(drive.native("PLATE.SLDDRW")), readNative(testDataPath("PLATE.SLDDRW")));

    // The copy carries the model's properties and opens from any folder.
    drive.mkdir("Elsewhere");
    ASSERT_TRUE(QFile::rename(
        drive.native("Out/PLATE_C.SLDDRW"), drive.native("Elsewhere/PLATE_C.SLDDRW")));
    const auto app = StandInApplication::create();
    const auto copy = app->open(drive.native("Elsewhere/PLATE_C.SLDDRW"));
    ASSERT_TRUE(copy && copy->isDrawing());
    EXPECT_EQ(copy->GetSheetNames(), (QStringList { "Sheet1", "Sheet2", "Sheet3" }));
    EXPECT_EQ(copy->activeSheetIndex(), 0);
    EXPECT_EQ(copy->CustomInfo2("", "Revision"), QStringLiteral("C"));
    EXPECT_EQ(copy->CustomInfo2("", "Material"), QStringLiteral("steel"));
    EXPECT_EQ(copy->CustomInfo2("", "Title"), QStringLiteral("Base plate drawing"));
    const ViewData *view = copy->view("Sheet3", "Drawing View6");
    ASSERT_NE(view, nullptr);
    EXPECT_NE(copy->modelOf(*view), nullptr);

    const BatchRun quiet = run({ "-q", "-f", "SLDDRW", "-n", format, "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, QStringList());
    EXPECT_EQ(quiet.err,
        (QStringList { status("[View: Drawing View1] [Model: PLATE.SLDPRT] [Configuration: "
                              "Default]"),
            status("Files output to [T:\\Out\\]") }));
    EXPECT_EQ(filesIn("Out"), QStringList { "PLATE_C.SLDDRW" });
}
