#include "batchfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <gtest/gtest.h>

// Saves in worker processes show the user exactly what one process shows; a worker that dies
// fails its own drawing only, and a stop request leaves whole files that the report lists.

namespace {

class BatchJobs : public Batch {
protected:
    void SetUp() override
    {
        Batch::SetUp();
        // PLATE and SIXSHEETS take the same name for their first sheets: the refusal of the
        // second must not depend on which process saves what.
        drive.copyData("TWOMODELS.SLDDRW", "Drawings/TWOMODELS.SLDDRW");
        drive.copyData("PLATE.SLDDRW", "Drawings/PLATE.SLDDRW");
        drive.copyData("SIXSHEETS.SLDDRW", "Drawings/SIXSHEETS.SLDDRW");
        for (const char *model : { "PLATE.SLDPRT", "BRACKET.SLDPRT" })
            drive.copyData(model, QStringLiteral("Drawings/") + model);
        drive.copyData("dxf/LAYOUTS.dxf", "Drawings/LAYOUTS.dxf");
    }

    BatchRun runJobs(const QString &jobs)
    {
        // The native format reopens each drawing's last file, which a worker has only staged.
        return run({ "-j", jobs, "-f", "DXF,SLDDRW", "-s", "all", "-n", "SHEETNAME|_|Revision",
            "-o", "Out", "--report", "run.json", "Drawings" });
    }

    QMap<QString, QByteArray> outputAndReport() const
    {
        QMap<QString, QByteArray> files = filesBelow(drive.native("Out"));
        files.insert("run.json", readNative(drive.native("run.json")));
        return files;
    }

    void clearOutput()
    {
        ASSERT_TRUE(QDir(drive.native("Out")).removeRecursively());
        drive.mkdir("Out");
    }

    // The call with -j 1, then with jobs, from an empty Out: both print, report, save and end
    // alike. Returns the first.
    BatchRun expectAsOneProcess(
        const std::function<BatchRun(const QString &)> &call, const QString &jobs)
    {
        const BatchRun one = call("1");
        const QMap<QString, QByteArray> oneFiles = outputAndReport();
        clearOutput();
        const BatchRun many = call(jobs);
        EXPECT_EQ(many.status, one.status);
        EXPECT_EQ(many.out, one.out);
        EXPECT_EQ(many.err, one.err);
        EXPECT_EQ(outputAndReport(), oneFiles);
        return one;
    }

    // Every sheet the report calls saved is a whole file on disk, and nothing else is there, not
    // even a file staged for it.
    void expectReportMatchesDisk()
    {
        QStringList reported;
        const QJsonObject report
            = QJsonDocument::fromJson(readNative(drive.native("run.json"))).object();
        for (const QJsonValue &drawing : report.value("drawings").toArray()) {
            for (const QJsonValue &sheet : drawing.toObject().value("sheets").toArray()) {
                if (sheet.toObject().value("status") == "saved")
                    reported.append(
                        QFileInfo(sheet.toObject().value("file").toString()).fileName());
            }
        }
        reported.sort();
        EXPECT_EQ(filesIn("Out"), reported);
        for (const QString &file : filesIn("Out")) {
            if (file.endsWith(".DXF")) {
                EXPECT_TRUE(readNative(drive.native("Out/" + file)).endsWith("EOF\n"))
                    << file.toStdString();
            }
        }
    }
};

} // namespace

TEST_F(BatchJobs, WorkersPrintReportAndSaveWhatOneProcessDoes)
{
    const BatchRun one
        = expectAsOneProcess([&](const QString &jobs) { return runJobs(jobs); }, "3");
    // A DXF drawing cannot be saved in the native format.
    EXPECT_EQ(one.status, 2);
    EXPECT_TRUE(one.out.contains("     Save Status [False] Not saved: sheet [Sheet1] of drawing "
                                 "[T:\\Drawings\\PLATE.SLDDRW] was saved under this name in an "
                                 "earlier run"));
}

TEST_F(BatchJobs, AWorkerThatDiesFailsItsDrawingAndTheOthersGoOn)
{
    addedEnvironment.insert("QUILLET_BATCH_WORKER_FAULT", "crash:PLATE.SLDDRW");
    const BatchRun result = runJobs("2");
    EXPECT_EQ(result.status, 2);
    // How a dead worker ended is the system's to tell: a crash here, an exit status on Windows.
    const QString failure = "quillet-batch: Drawings/PLATE.SLDDRW: the worker saving it ";
    EXPECT_TRUE(std::any_of(result.err.cbegin(), result.err.cend(), [&](const QString &line) {
        return line.startsWith(failure) && line.endsWith("; its saves are reported as failed");
    })) << result.err.join('\n').toStdString();
    // The drawings after it are saved by a fresh worker; the file it had staged is gone.
    EXPECT_TRUE(filesIn("Out").contains("Sheet6_E.DXF"));
    expectReportMatchesDisk();
}

// A signal is played by the worker asking its call to stop; the real ones take the same way.
#ifndef Q_OS_WIN
TEST_F(BatchJobs, AStopRequestEndsAfterTheSheetInHandWithTheSignalsStatus)
{
    addedEnvironment.insert("QUILLET_BATCH_WORKER_FAULT", "stop:SIXSHEETS.SLDDRW");
    const BatchRun result = runJobs("2");
    EXPECT_EQ(result.status, 143);
    EXPECT_FALSE(filesIn("Out").isEmpty());
    expectReportMatchesDisk();
    EXPECT_EQ(QDir::temp().entryList({ "quillet-batch-*.journal" }), QStringList());
}
#endif

// Shares of many drawings, most taking names an earlier one saved under, some of them in another
// worker's share: the call saves such a drawing again itself, the workers are told every name
// taken from then on, and a worker's own saves count only once the call has taken them.
TEST_F(BatchJobs, DrawingsTakingEarlierNamesPrintAndSaveAsOneProcess)
{
    // Sheets Sheet1-3, then Plate and Bracket, then Sheet1-6.
    const QStringList kinds { "PLATE.SLDDRW", "TWOMODELS.SLDDRW", "SIXSHEETS.SLDDRW" };
    constexpr int copies = 24;
    for (int i = 0; i < copies; ++i) {
        drive.copyData(
            kinds.at(i % 3), QStringLiteral("Many/D%1.SLDDRW").arg(i, 2, 10, QLatin1Char('0')));
    }
    for (const char *model : { "PLATE.SLDPRT", "BRACKET.SLDPRT" })
        drive.copyData(model, QStringLiteral("Many/") + model);
    const auto runMany = [&](const QString &jobs) {
        return run({ "-j", jobs, "-f", "DXF", "-s", "all", "-n", "SHEETNAME", "-o", "Out",
            "--report", "run.json", "Many" });
    };
    const BatchRun one = expectAsOneProcess(runMany, "2");
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.out.filter("was saved under this name in an earlier run").size(),
        (copies / 3 - 1) * (3 + 2 + 6) + 3);
}
