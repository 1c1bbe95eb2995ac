#include "batchfixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>
#include <gtest/gtest.h>

// A call planned once and saved in shards by several processes saves what one process would.

namespace {

QStringList sorted(QStringList lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

class BatchPlan : public Batch {
protected:
    QJsonObject json(const QString &relative) const
    {
        return QJsonDocument::fromJson(readNative(drive.native(relative))).object();
    }

    const QStringList options { "-f", "DXF", "-s", "all", "-n", "DRWNAME|_|SHEETNAME", "-o",
        "Out" };
};

TEST_F(BatchPlan, APlanHoldsEveryNameAsTheDryRunDecidesIt)
{
    const BatchRun result = run({ "--plan", "plan.json", "-f", "DXF", "-s", "all", "-n", "DRWNAME",
        "-o", "Out", "-q", "PLATE.SLDDRW", "NOPE.SLDDRW" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, QStringList());
    EXPECT_EQ(result.err, QStringList { "quillet-batch: no such drawing: NOPE.SLDDRW" });
    EXPECT_EQ(filesIn("Out"), QStringList());
    const QByteArray plate = readNative(drive.native("PLATE.SLDDRW"));
    const QString digest = QCryptographicHash::hash(plate, QCryptographicHash::Sha256).toHex();
    // The run's output directory, in the system's own separators as the host gives it.
    const QString out = QDir::toNativeSeparators(drive.native("Out"));
    const auto sheet = [](int n, const char *status) {
        return QJsonObject { { "name", QStringLiteral("Sheet%1").arg(n) },
            { "target", "T:\\Out\\PLATE.DXF" }, { "status", status } };
    };
    const QJsonObject expected {
        { "quilletBatchPlan", 1 },
        { "directory", drive.native() },
        { "options",
            QJsonObject { { "formats", QJsonArray { "DXF" } }, { "filenameFormat", "DRWNAME" },
                { "sheets", "all" }, { "output", "Out" }, { "destDirs", QJsonValue::Null },
                { "singleFile", false }, { "quiet", true }, { "drives", QJsonArray() } } },
        { "emptyFolders", QJsonArray() },
        { "unreadableFolders", QJsonArray() },
        { "drawings",
            QJsonArray {
                QJsonObject { { "given", "PLATE.SLDDRW" }, { "path", drive.native("PLATE.SLDDRW") },
                    { "stamp",
                        QJsonObject { { "size", qint64(plate.size()) }, { "sha256", digest } } },
                    { "runs",
                        QJsonArray { QJsonObject { { "format", "DXF" }, { "run", 1 },
                            { "outputDirectory", out },
                            { "sheets",
                                QJsonArray { sheet(1, "planned"), sheet(2, "name taken"),
                                    sheet(3, "name taken") } },
                            { "status", 1 }, { "error", QJsonValue::Null } } } } },
                QJsonObject { { "given", "NOPE.SLDDRW" }, { "path", drive.native("NOPE.SLDDRW") },
                    { "stamp", QJsonValue::Null },
                    { "runs",
                        QJsonArray { QJsonObject { { "format", "DXF" }, { "run", QJsonValue::Null },
                            { "outputDirectory", QJsonValue::Null }, { "sheets", QJsonArray() },
                            { "status", 2 },
                            { "error",
                                QJsonObject { { "number", 0 },
                                    { "text",
                                        "quillet-batch: no such drawing: "
                                        "NOPE.SLDDRW" } } } } } } } } },
    };
    EXPECT_EQ(QString(QJsonDocument(json("plan.json")).toJson()),
        QString(QJsonDocument(expected).toJson()));
    EXPECT_TRUE(readNative(drive.native("plan.json")).startsWith("{\n  \"quilletBatchPlan\": 1,"));
}

// Drawing i of the plan falls to shard i % N + 1; a drawing changed or gone since planning is
// refused whole, and the rest of the shard is saved.
TEST_F(BatchPlan, AShardSavesItsDrawingsAndNoneChangedSincePlanning)
{
    drive.copyData("dxf/LAYOUTS.dxf", "LAYOUTS.dxf");
    ASSERT_EQ(run(QStringList { "--plan", "plan.json", "-q" } + options
                  + QStringList { "PLATE.SLDDRW", "SIXSHEETS.SLDDRW", "LAYOUTS.dxf" })
                  .status,
        0);
    QFile::remove(drive.native("LAYOUTS.dxf"));
    QFile changed(drive.native("SIXSHEETS.SLDDRW"));
    ASSERT_TRUE(changed.open(QIODevice::Append) && changed.write("\n") == 1);
    changed.close();

    const BatchRun second
        = run({ "--run-plan", "plan.json", "--shard", "2/2", "--report", "r2.json" });
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.out, QStringList());
    const QString refusal
        = QStringLiteral("quillet-batch: SIXSHEETS.SLDDRW changed since it was planned; not saved");
    EXPECT_EQ(second.err, QStringList { refusal });
    EXPECT_EQ(filesIn("Out"), QStringList());
    const QJsonObject entry = json("r2.json").value("drawings").toArray().at(0).toObject();
    EXPECT_EQ(entry.value("result").toObject(),
        (QJsonObject {
            { "status", 2 }, { "error", QJsonObject { { "number", 0 }, { "text", refusal } } } }));
    EXPECT_EQ(entry.value("planIndex"), 1);

    const BatchRun first = run({ "--run-plan", "plan.json", "--shard", "1/2" });
    EXPECT_EQ(first.status, 2);
    EXPECT_EQ(first.err,
        (QStringList { status("Files output to [T:\\Out\\]"),
            "quillet-batch: LAYOUTS.dxf is missing since it was planned; not saved" }));
    EXPECT_EQ(filesIn("Out"),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
}

TEST_F(BatchPlan, MergingTakesEveryShardOfOnePlanOnce)
{
    const QStringList drawings { "-q", "PLATE.SLDDRW" };
    ASSERT_EQ(run(QStringList { "--plan", "plan.json" } + options + drawings).status, 0);
    ASSERT_EQ(
        run(QStringList { "--plan", "other.json", "-f", "PDF" } + options.mid(2) + drawings).status,
        0);
    for (const char *shard : { "1/2", "2/2" }) {
        const QString n = QString::fromLatin1(shard).left(1);
        ASSERT_EQ(
            run({ "--run-plan", "plan.json", "--shard", shard, "--report", "r" + n + ".json" })
                .status,
            0);
    }
    ASSERT_EQ(
        run({ "--run-plan", "other.json", "--shard", "2/2", "--report", "o2.json" }).status, 0);
    const auto merged = [&](const QStringList &reports) {
        const BatchRun result = run(QStringList { "--merge-reports" } + reports);
        return QString::number(result.status) + ' ' + result.err.join('\n');
    };
    const QString refused = QStringLiteral("2 quillet-batch: cannot merge the reports: ");
    EXPECT_EQ(merged({ "r1.json" }), refused + "the report of shard 2/2 is missing");
    EXPECT_EQ(merged({ "r2.json", "r1.json", "r2.json" }),
        refused + "r2.json and r2.json are both shard 2/2");
    EXPECT_EQ(merged({ "r1.json", "o2.json" }),
        refused + "o2.json is the report of another plan or shard count than r1.json");
    EXPECT_EQ(
        merged({ "r1.json", "plan.json" }), refused + "plan.json is not the report of a shard");
    EXPECT_EQ(merged({ "r1.json", "gone.json" }).section(':', 0, 1),
        "2 quillet-batch: cannot read the report gone.json");
}

// Four shards through GNU parallel save the files one run saves, with its refusals, log and
// report; a name two drawings take crosses shards.
TEST_F(BatchPlan, ShardsThroughGnuParallelSaveWhatOneRunSaves)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "GNU parallel runs on POSIX systems";
#endif
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (parallel.isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    for (const char *file : { "LAYOUTS.dxf", "R12.dxf", "MODELONLY.dxf" })
        drive.copyData(QStringLiteral("dxf/") + file, file);
    for (const char *file : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT" })
        drive.copyData(file, QStringLiteral("b/") + file);
    // b/PLATE.SLDDRW (drawing 5, shard 2) is refused the names PLATE.SLDDRW (drawing 0, shard 1)
    // takes.
    const QStringList drawings { "PLATE.SLDDRW", "LAYOUTS.dxf", "SIXSHEETS.SLDDRW", "R12.dxf",
        "MODELONLY.dxf", "b/PLATE.SLDDRW", "NOPE.SLDDRW" };

    const BatchRun plain = run(options + QStringList { "--report", "plain.json" } + drawings);
    ASSERT_EQ(plain.status, 2);
    ASSERT_EQ(plain.out.filter("of drawing [T:\\PLATE.SLDDRW] was saved under").size(), 3);
    const auto plainFiles = filesBelow(drive.native("Out"));
    ASSERT_TRUE(QDir(drive.native("Out")).removeRecursively());
    drive.mkdir("Out");

    ASSERT_EQ(run(QStringList { "--plan", "plan.json" } + options + drawings).status, 2);
    const BatchRun shards = run(
        { "--will-cite", "--line-buffer", QStringLiteral(QUILLET_BATCH), "--run-plan", "plan.json",
            "--shard", "{}/4", "--report", "r{}.json", ":::", "1", "2", "3", "4" },
        parallel);
    // Each shard's lines are a single run's; only their order across shards is free.
    EXPECT_EQ(sorted(shards.out), sorted(plain.out));
    EXPECT_EQ(sorted(shards.err), sorted(plain.err));
    const BatchRun merged = run({ "--merge-reports", "--report", "merged.json", "r4.json",
        "r2.json", "r3.json", "r1.json" });
    EXPECT_EQ(merged.status, 2);
    EXPECT_EQ(merged.out + merged.err, QStringList());
    EXPECT_EQ(readNative(drive.native("merged.json")), readNative(drive.native("plain.json")));
    EXPECT_TRUE(filesBelow(drive.native("Out")) == plainFiles);
}

// What a shard prints is its own to choose: quiet, a shard of a plan that was not prints the
// status text alone, saves what the plan says and reports itself quiet.
TEST_F(BatchPlan, AQuietShardPrintsOnlyTheStatusText)
{
    ASSERT_EQ(run(QStringList { "--plan", "plan.json" } + options + QStringList { "PLATE.SLDDRW" })
                  .status,
        0);
    const BatchRun shard
        = run({ "--run-plan", "plan.json", "--shard", "1/1", "-q", "--report", "r1.json" });
    EXPECT_EQ(shard.status, 0);
    EXPECT_EQ(shard.out, QStringList());
    EXPECT_EQ(shard.err, QStringList { status("Files output to [T:\\Out\\]") });
    EXPECT_EQ(filesIn("Out"),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    EXPECT_EQ(json("r1.json").value("options").toObject().value("quiet"), true);
}

// Beyond its own bytes, a drawing's names come from its models: a model whose revision changed
// since planning would name the sheets otherwise, so the drawing is saved under neither name.
TEST_F(BatchPlan, AShardRefusesADrawingThatWouldNowGetOtherNames)
{
    const QStringList byRevision { "-f", "SLDDRW", "-s", "all", "-n",
        "DRWNAME|_|SHEETNAME|_|Revision", "-o", "Out", "PLATE.SLDDRW" };
    ASSERT_EQ(run(QStringList { "--plan", "plan.json", "-q" } + byRevision).status, 0);
    QByteArray model = readNative(drive.native("PLATE.SLDPRT"));
    ASSERT_TRUE(model.contains("\"Revision\": \"C\""));
    writeNative(
        drive.native("PLATE.SLDPRT"), model.replace("\"Revision\": \"C\"", "\"Revision\": \"E\""));

    const BatchRun shard
        = run({ "--run-plan", "plan.json", "--shard", "1/1", "--report", "r1.json" });
    EXPECT_EQ(shard.status, 2);
    EXPECT_EQ(shard.out, QStringList());
    const QString refusal = "quillet-batch: PLATE.SLDDRW would now be saved under other names "
                            "than planned; not saved";
    EXPECT_EQ(shard.err, QStringList { refusal });
    EXPECT_EQ(filesIn("Out"), QStringList());
    const QJsonObject entry = json("r1.json").value("drawings").toArray().at(0).toObject();
    EXPECT_EQ(entry.value("result").toObject().value("error").toObject().value("text"), refusal);
}
