#include "batchfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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

    // Each run of the report as "DRAWING FORMAT: status S, output O, N sheets (M saved)" and the
    // text of its error, if any.
    QStringList reportedRuns() const
    {
        QStringList runs;
        const QJsonObject report
            = QJsonDocument::fromJson(readNative(drive.native("run.json"))).object();
        for (const QJsonValue &value : report.value("drawings").toArray()) {
            const QJsonObject drawing = value.toObject();
            const QJsonObject result = drawing.value("result").toObject();
            const QJsonArray sheets = drawing.value("sheets").toArray();
            const auto saved
                = std::count_if(sheets.cbegin(), sheets.cend(), [](const QJsonValue &sheet) {
                      return sheet.toObject().value("status") == "saved";
                  });
            QString line = QStringLiteral("%1 %2: status %3, output %4, %5 sheets (%6 saved)")
                               .arg(QFileInfo(drawing.value("path").toString()).fileName(),
                                   drawing.value("format").toString(),
                                   result.value("status").isNull()
                                       ? QStringLiteral("null")
                                       : QString::number(result.value("status").toInt()),
                                   drawing.value("outputDirectory").isNull() ? "null" : "set")
                               .arg(sheets.size())
                               .arg(saved);
            if (!result.value("error").isNull())
                line += ", " + result.value("error").toObject().value("text").toString();
            runs.append(line);
        }
        return runs;
    }

    QJsonValue reportedStatus() const
    {
        return QJsonDocument::fromJson(readNative(drive.native("run.json")))
            .object()
            .value("status");
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

// A signal is played by the call, or a worker, asking the call to stop as SIXSHEETS starts; the
// real ones take the same way.
#ifndef Q_OS_WIN
TEST_F(BatchJobs, AStopRequestEndsAfterTheSheetInHandAndTheReportSaysSo)
{
    addedEnvironment.insert("QUILLET_BATCH_WORKER_FAULT", "stop:SIXSHEETS.SLDDRW");
    const BatchRun result = runJobs("1");
    EXPECT_EQ(result.status, 143);
    const QString stop = "quillet-batch: stopped by SIGTERM after 2 of 4 drawings";
    EXPECT_EQ(result.err.value(result.err.size() - 1), stop);
    EXPECT_EQ(reportedStatus(), 143);
    // The drawings in path order, each in DXF, then SLDDRW, which a DXF drawing cannot be.
    EXPECT_EQ(reportedRuns(),
        (QStringList { "LAYOUTS.dxf DXF: status 0, output set, 2 sheets (2 saved)",
            "LAYOUTS.dxf SLDDRW: status 2, output set, 0 sheets (0 saved), No valid drawing views "
            "found. Error #10801 in getFilenameFromDoc.",
            "PLATE.SLDDRW DXF: status 0, output set, 3 sheets (3 saved)",
            "PLATE.SLDDRW SLDDRW: status 0, output set, 1 sheets (1 saved)",
            "SIXSHEETS.SLDDRW DXF: status 143, output set, 1 sheets (1 saved), " + stop,
            "SIXSHEETS.SLDDRW SLDDRW: status null, output null, 0 sheets (0 saved)",
            "TWOMODELS.SLDDRW DXF: status null, output null, 0 sheets (0 saved)",
            "TWOMODELS.SLDDRW SLDDRW: status null, output null, 0 sheets (0 saved)" }));
    expectReportMatchesDisk();
}

// Workers stop as they can: whatever was in hand, every run is in the report, the stop line counts
// the drawings whose runs all ended, and no journal is left.
TEST_F(BatchJobs, StoppedWorkersLeaveAReportOfEveryRunAndNoJournal)
{
    addedEnvironment.insert("QUILLET_BATCH_WORKER_FAULT", "stop:SIXSHEETS.SLDDRW");
    const BatchRun result = runJobs("2");
    EXPECT_EQ(result.status, 143);
    EXPECT_EQ(reportedStatus(), 143);
    static const QRegularExpression stopLine(
        "^quillet-batch: stopped by SIGTERM after ([0-4]) of 4 drawings$");
    const QRegularExpressionMatch stop = stopLine.match(result.err.value(result.err.size() - 1));
    ASSERT_TRUE(stop.hasMatch()) << result.err.join('\n').toStdString();
    const QStringList runs = reportedRuns();
    ASSERT_EQ(runs.size(), 8) << runs.join('\n').toStdString();
    const QStringList drawings { "LAYOUTS.dxf", "PLATE.SLDDRW", "SIXSHEETS.SLDDRW",
        "TWOMODELS.SLDDRW" };
    int ended = 0;
    for (int i = 0; i < 8; ++i) {
        const QString &run = runs.at(i);
        EXPECT_TRUE(run.startsWith(drawings.at(i / 2) + (i % 2 ? " SLDDRW: " : " DXF: ")))
            << run.toStdString();
        const bool stopped
            = run.contains(": status 143, output set, ") && run.endsWith(", " + stop.captured(0));
        const bool notRun = run.endsWith(": status null, output null, 0 sheets (0 saved)");
        EXPECT_TRUE(stopped || notRun || !run.contains("stopped by")) << run.toStdString();
        if (i % 2 == 1 && !stopped && !notRun && !runs.at(i - 1).contains("stopped by")
            && !runs.at(i - 1).contains("status null"))
            ++ended;
    }
    EXPECT_EQ(QString::number(ended), stop.captured(1));
    EXPECT_FALSE(filesIn("Out").isEmpty());
    expectReportMatchesDisk();
    EXPECT_EQ(QDir(temp.path()).entryList({ "quillet-batch-*.journal" }), QStringList());
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
