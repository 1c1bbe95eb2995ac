#include "batchfixture.h"
#include "drawingfolders.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

    // The report as expected, %T standing for the drive's native folder.
    QString expected(QString json) const
    {
        json.replace(QStringLiteral("%T"), drive.native());
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
        (QStringList { "Dry run: nothing was saved. A run would write:", out + "Cad/",
            out + "Cad/DXF/", out + "Cad/DXF/PLATE_Sheet1.DXF", out + "Cad/DXF/PLATE_Sheet3.DXF",
            out + "PDF/", out + "PDF/PLATE_Sheet1.PDF", out + "PDF/PLATE_Sheet3.PDF" }));
    // Neither a file nor a directory, nor the settings, nor the PDF writer's value.
    EXPECT_EQ(filesBelow(drive.native()), driveBefore);
    EXPECT_EQ(filesBelow(config.path()), configBefore);

    // Two sheets under one name fail as they would in a run; the report records the dry run.
    const BatchRun taken = run({ "--dry-run", "-q", "-f", "DXF", "-s", "Sheet1,Sheet2", "-n",
        "DRWNAME", "-o", "Out", "--report", "dry.json", "SIXSHEETS.SLDDRW" });
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.out,
        (QStringList { "Dry run: nothing was saved. A run would write:", out + "SIXSHEETS.DXF" }));
    EXPECT_EQ(taken.err,
        QStringList {
            status("[dry run] SOMETHING WRONG, FILE SAVE ERROR!!! [1 of 2 files not saved]") });
    EXPECT_EQ(jsonText(report("dry.json")), expected(R"({
        "options": { "formats": ["DXF"], "filenameFormat": "DRWNAME", "sheets": "Sheet1,Sheet2",
            "output": "%T/Out", "destDirs": false, "singleFile": false, "quiet": true, "dryRun": true },
        "drawings": [ { "path": "%T/SIXSHEETS.SLDDRW", "format": "DXF", "outputDirectory": "%T/Out",
            "sheets": [ { "name": "Sheet1", "file": "%T/Out/SIXSHEETS.DXF", "status": "dry run", "errors": 0, "warnings": 0 },
                { "name": "Sheet2", "file": "%T/Out/SIXSHEETS.DXF", "status": "name taken", "errors": 0, "warnings": 0 } ],
            "result": { "status": 1, "error": null } } ],
        "status": 1 })"));
    EXPECT_EQ(filesIn("Out"), QStringList());
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
            const QString file
                = drive.native(format == 0 ? "Out/SIXSHEETS.DWG" : "Out/SIXSHEETS.DXF");
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
        (QStringList { drive.native("Empty"), drive.native("Drawings/TWO.slddrw"),
            drive.native("Drawings/TWO.slddrw"), drive.native("Drawings/b/deep/ONE.SLDDRW"),
            drive.native("Drawings/b/deep/ONE.SLDDRW") }));
}

TEST(DrawingFolders, FindDrawingsInPathOrderWithoutLeavingTheFolder)
{
    const QTemporaryDir dir;
    const QTemporaryDir outside;
    const QString root = dir.filePath("F");
    for (const char *file : { "b.SLDDRW", "B/x.slddrw", "a/c/y.SlDdRw", "a/notes.txt",
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
            root + "/b.SLDDRW", "loose.SLDDRW", root + "/a/c/y.SlDdRw" }));
    EXPECT_EQ(found.unreadableFolders, QStringList { root + "/Locked" });
    EXPECT_EQ(found.emptyFolders, QStringList());
}
