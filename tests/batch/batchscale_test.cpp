#include "batchfixture.h"
#include "drawingfolders.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

// quillet-batch over many drawings and formats: dry runs, the report, format lists and folders.

namespace {

// Keys sorted, indented: failures show as text.
QString jsonText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson());
}

} // namespace

class BatchScale : public Batch {
protected:
    QJsonObject report(const QString &relative) const
    {
        return QJsonDocument::fromJson(readNative(drive.native(relative))).object();
    }

    // Each run's status followed by its sheets' statuses, then the batch's status.
    QStringList statuses(const QString &relative) const
    {
        QStringList list;
        const QJsonObject whole = report(relative);
        for (const QJsonValue &entry : whole.value("drawings").toArray()) {
            const QJsonObject drawing = entry.toObject();
            list.append(
                QString::number(drawing.value("result").toObject().value("status").toInt()));
            for (const QJsonValue &sheet : drawing.value("sheets").toArray())
                list.append(sheet.toObject().value("status").toString());
        }
        list.append(QString::number(whole.value("status").toInt()));
        return list;
    }

    // The report as expected, %T standing for the drive's native folder; the paths it begins are
    // written as the program writes native paths.
    QString expected(QString json) const
    {
        static const QRegularExpression path(QStringLiteral("%T([^\"]*)"));
        for (QRegularExpressionMatch match = path.match(json); match.hasMatch();
             match = path.match(json, match.capturedStart())) {
            QString native = QDir::toNativeSeparators(drive.native(match.captured(1).mid(1)));
            native.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
            json.replace(match.capturedStart(), match.capturedLength(), native);
        }
        return jsonText(QJsonDocument::fromJson(json.toUtf8()).object());
    }
};

TEST_F(BatchScale, ADryRunListsWhatARunWouldWriteAndChangesNothing)
{
    store({ { "DestinationDirectory.DXF", "Cad\\DXF" } });
    const auto driveBefore = filesBelow(drive.native());
    const auto configBefore = filesBelow(config.path());
    const BatchRun result = run({ "--dry-run", "-f", "DXF,PDF", "-s", "Sheet1,Sheet3", "-n",
        "DRWNAME|_|SHEETNAME", "--dest-dirs", "-o", "Out", "PLATE.SLDDRW" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, QStringList());
    EXPECT_EQ(result.out.filter("Save Status"), QStringList(4, "     Save Status [dry run]"));
    const QString out = drive.native("Out/");
    EXPECT_EQ(result.out.mid(result.out.size() - 8),
        shown({ "Dry run: nothing was saved. A run would write:", out + "Cad/", out + "Cad/DXF/",
            out + "Cad/DXF/PLATE_Sheet1.DXF", out + "Cad/DXF/PLATE_Sheet3.DXF", out + "PDF/",
            out + "PDF/PLATE_Sheet1.PDF", out + "PDF/PLATE_Sheet3.PDF" }));
    // Neither a file nor a directory, nor the settings, nor the PDF writer's value.
    EXPECT_EQ(filesBelow(drive.native()), driveBefore);
    EXPECT_EQ(filesBelow(config.path()), configBefore);
}

// Two drawings of one name in two folders give their sheets the same files: the first drawing
// keeps them, and the second's are refused as a run refuses a name twice, naming who took it.
TEST_F(BatchScale, OneCallNeverWritesAFileTwice)
{
    for (const char *model : { "PLATE.SLDPRT", "BRACKET.SLDPRT" })
        drive.copyData(model, QStringLiteral("Two/a/") + model);
    drive.copyData("PLATE.SLDPRT", "Two/b/PLATE.SLDPRT");
    drive.copyData("PLATE.SLDDRW", "Two/a/PLATE.SLDDRW");
    drive.copyData("SIXSHEETS.SLDDRW", "Two/b/PLATE.SLDDRW");
    const QStringList options { "-f", "DXF", "-s", "all", "-n", "DRWNAME|_|SHEETNAME", "-o",
        "Out" };
    const QString out = drive.native("Out/");
    const auto sheetFile
        = [&](int sheet) { return out + QStringLiteral("PLATE_Sheet%1.DXF").arg(sheet); };

    // What the first drawing writes on its own.
    ASSERT_EQ(run(options + QStringList { "-q", "Two/a" }).status, 0);
    const auto firstAlone = filesBelow(drive.native("Out"));
    ASSERT_EQ(firstAlone.size(), 3);

    const BatchRun result = run(options + QStringList { "--report", "run.json", "Two" });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringList());
    const QString taken = QStringLiteral("     Save Status [False] Not saved: sheet [Sheet%1] of "
                                         "drawing [T:\\Two\\a\\PLATE.SLDDRW] was saved under "
                                         "this name in an earlier run");
    const QString saved = QStringLiteral("     Save Status [True] Errors [0] Warnings [0]");
    EXPECT_EQ(result.out.filter("Save Status"),
        (QStringList {
            saved, saved, saved, taken.arg(1), taken.arg(2), taken.arg(3), saved, saved, saved }));
    const auto after = filesBelow(drive.native("Out"));
    EXPECT_EQ(after.keys(),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF",
            "PLATE_Sheet4.DXF", "PLATE_Sheet5.DXF", "PLATE_Sheet6.DXF" }));
    for (auto it = firstAlone.cbegin(); it != firstAlone.cend(); ++it)
        EXPECT_TRUE(after.value(it.key()) == it.value()) << it.key().toStdString();
    EXPECT_EQ(statuses("run.json"),
        (QStringList { "0", "saved", "saved", "saved", "1", "name taken", "name taken",
            "name taken", "saved", "saved", "saved", "1" }));

    // A dry run foresees it: each file listed once, the same statuses.
    const BatchRun dry
        = run(options + QStringList { "--dry-run", "-q", "--report", "dry.json", "Two" });
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.out,
        shown({ "Dry run: nothing was saved. A run would write:", sheetFile(1), sheetFile(2),
            sheetFile(3), sheetFile(4), sheetFile(5), sheetFile(6) }));
    EXPECT_EQ(dry.err,
        (QStringList { status("[dry run] Files output to [T:\\Out\\]"),
            status("[dry run] SOMETHING WRONG, FILE SAVE ERROR!!! [3 of 6 files not saved]") }));
    EXPECT_EQ(statuses("dry.json"),
        (QStringList { "0", "dry run", "dry run", "dry run", "1", "name taken", "name taken",
            "name taken", "dry run", "dry run", "dry run", "1" }));
}

TEST_F(BatchScale, EachFormatRunsInTurnAndAFailingOneDoesNotStopTheNext)
{
    const BatchRun result = run({ "-f", "dwg,.Dxf", "-s", "all", "-n", "DRWNAME", "-o", "Out",
        "--report", "run.json", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.filter("Output format is"),
        (QStringList { "Output format is DWG", "Output format is DXF" }));
    EXPECT_EQ(result.out.filter("SOMETHING WRONG").size(), 2);
    EXPECT_EQ(filesIn("Out"), QStringList { "SIXSHEETS.DXF" });

    // The host cannot write DWG (error 32); one DXF name serves six sheets, so five are refused.
    const QJsonArray runs = report("run.json").value("drawings").toArray();
    ASSERT_EQ(runs.size(), 2);
    for (int format = 0; format < 2; ++format) {
        const QJsonObject entry = runs.at(format).toObject();
        EXPECT_EQ(entry.value("format"), format == 0 ? "DWG" : "DXF");
        EXPECT_EQ(entry.value("result").toObject(),
            QJsonObject({ { "status", 1 }, { "error", QJsonValue::Null } }));
        const QJsonArray sheets = entry.value("sheets").toArray();
        ASSERT_EQ(sheets.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const QString file = QDir::toNativeSeparators(
                drive.native(format == 0 ? "Out/SIXSHEETS.DWG" : "Out/SIXSHEETS.DXF"));
            const char *status = format == 0 ? "failed" : i == 0 ? "saved" : "name taken";
            EXPECT_EQ(sheets.at(i).toObject(),
                QJsonObject({ { "name", QStringLiteral("Sheet%1").arg(i + 1) }, { "file", file },
                    { "status", status }, { "errors", format == 0 ? 32 : 0 }, { "warnings", 0 } }));
        }
    }
}

TEST_F(BatchScale, TheReportKeepsWhatWasDoneWhenRunsEndWithErrors)
{
    const BatchRun result
        = run({ "-q", "-f", "SLDDRW", "-n", "DRWNAME|_|Revision", "-o", "Out", "--report",
            "Reports/run.json", "PLATE.SLDDRW", "LIGHTWEIGHT_MISSINGMODEL.SLDDRW", "NOPE.SLDDRW" });
    // How a drawing's error reaches standard error is the status table's and the drawings' loop's
    // check; here the report holds the same texts.
    EXPECT_EQ(result.status, 2);
    // The native format saves the whole drawing once, from the current sheet, and leaves the
    // drawing's own file alone.
    EXPECT_EQ(result.err.value(0),
        status("[View: Drawing View1] [Model: PLATE.SLDPRT] [Configuration: Default]"));
    EXPECT_EQ(filesIn("Out"), QStringList { "PLATE_C.SLDDRW" });
    EXPECT_EQ(readNative(drive.native("PLATE.SLDDRW")), readNative(testDataPath("PLATE.SLDDRW")));
    const QByteArray text = readNative(drive.native("Reports/run.json"));
    EXPECT_TRUE(text.startsWith("{\n  \"options\": {\n    \"formats\": [")) << text.left(40).data();
    EXPECT_EQ(jsonText(report("Reports/run.json")), expected(R"({
        "options": { "formats": ["SLDDRW"], "filenameFormat": "DRWNAME|_|Revision", "sheets": "current",
            "output": "%T/Out", "destDirs": false, "singleFile": false, "quiet": true, "dryRun": false },
        "drawings": [ { "path": "%T/PLATE.SLDDRW", "format": "SLDDRW", "outputDirectory": "%T/Out",
              "sheets": [ { "name": "Sheet1", "file": "%T/Out/PLATE_C.SLDDRW", "status": "saved", "errors": 0, "warnings": 0 } ],
              "result": { "status": 0, "error": null } },
            { "path": "%T/LIGHTWEIGHT_MISSINGMODEL.SLDDRW", "format": "SLDDRW", "outputDirectory": "%T/Out", "sheets": [],
              "result": { "status": 2, "error": { "number": 11201, "text": "Model referred in view could not be loaded. Error #11201 in getFilenameFromDoc." } } },
            { "path": "%T/NOPE.SLDDRW", "format": "SLDDRW", "outputDirectory": null, "sheets": [],
              "result": { "status": 2, "error": { "number": 0, "text": "quillet-batch: no such drawing: NOPE.SLDDRW" } } } ],
        "status": 2 })"));
}

TEST_F(BatchScale, AFolderStandsForTheDrawingsBelowIt)
{
    for (const char *folder : { "Drawings/", "Drawings/b/deep/" })
        drive.copyData("PLATE.SLDPRT", QString::fromLatin1(folder) + "PLATE.SLDPRT");
    drive.copyData("PLATE.SLDDRW", "Drawings/b/deep/ONE.SLDDRW");
    drive.copyData("PLATE.SLDDRW", "Drawings/TWO.slddrw");
    drive.mkdir("Empty/Sub");
    // A DXF first must not leave the JPG without what paints it.
    const BatchRun result = run({ "-q", "-f", "DXF,JPG", "-s", "Sheet1", "-n", "DRWNAME", "-o",
        "Out", "--report", "run.json", "Drawings", "Empty" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.first(), QStringLiteral("quillet-batch: no drawings in Empty"));
    EXPECT_EQ(filesIn("Out"), (QStringList { "ONE.DXF", "ONE.JPG", "TWO.DXF", "TWO.JPG" }));
    QStringList paths;
    for (const QJsonValue &entry : report("run.json").value("drawings").toArray())
        paths.append(entry.toObject().value("path").toString());
    EXPECT_EQ(paths,
        shown({ drive.native("Empty"), drive.native("Drawings/TWO.slddrw"),
            drive.native("Drawings/TWO.slddrw"), drive.native("Drawings/b/deep/ONE.SLDDRW"),
            drive.native("Drawings/b/deep/ONE.SLDDRW") }));
}

// Symbolic links and an unreadable folder are played with POSIX means.
#ifndef Q_OS_WIN
TEST(DrawingFolders, FindDrawingsInPathOrderWithoutLeavingTheFolder)
{
    const QTemporaryDir dir;
    const QTemporaryDir outside;
    const QString root = dir.filePath("F");
    for (const char *file : { "b.SLDDRW", "B/x.slddrw", "a/c/y.SlDdRw", "a/c/z.DXF", "a/notes.txt",
             "a/PLATE.SLDPRT", "a.SLDDRW.bak", "Locked/z.SLDDRW", "a/.hidden.SLDDRW" })
        writeNative(root + "/" + file, "{}");
    writeNative(outside.filePath("far.SLDDRW"), "{}");
    QFile::link(outside.path(), root + "/linkedFolder");
    QFile::link(outside.filePath("far.SLDDRW"), root + "/linked.SLDDRW");
    QFile::link(root + "/b.SLDDRW", root + "/again.SLDDRW");
    QFile::setPermissions(root + "/Locked", {});

    DrawingArguments found;
    {
        const WithoutFileRights asAUser;
        found = expandDrawingArguments({ root, "loose.SLDDRW", root + "/a/c/y.SlDdRw" });
    }
    QFile::setPermissions(root + "/Locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(found.drawings,
        (QStringList { root + "/B/x.slddrw", root + "/a/.hidden.SLDDRW", root + "/a/c/y.SlDdRw",
            root + "/a/c/z.DXF", root + "/b.SLDDRW", "loose.SLDDRW", root + "/a/c/y.SlDdRw" }));
    EXPECT_EQ(found.unreadableFolders, QStringList { root + "/Locked" });
    EXPECT_EQ(found.emptyFolders, QStringList());
    // The CAD host opens only its own drawings.
    EXPECT_EQ(expandDrawingArguments({ root + "/a" }, false).drawings,
        (QStringList { root + "/a/.hidden.SLDDRW", root + "/a/c/y.SlDdRw" }));
}
#endif
