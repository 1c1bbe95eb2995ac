#include "batchfixture.h"
#include "testprocesses.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

// quillet-batch --host cad against a host of our own that runs as the real one does, in a process
// of its own registered under the host's class: the same files and lines as any run, a host of
// its own for each process of the call, the user's session left alone, a hung or crashed host
// failing only its drawing, and no host left behind.

namespace {

// A host ends a moment after the call that ended it.
bool noHostWithin(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!TestProcesses::hosts().empty()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

const QString toggles = QStringLiteral("HKEY_CURRENT_USER\\Software\\Quillet Test Host\\Toggles");

QMap<QString, QVariant> toggleValues()
{
    QSettings store(toggles, QSettings::NativeFormat);
    QMap<QString, QVariant> values;
    for (const QString &key : store.allKeys())
        values.insert(key, store.value(key));
    return values;
}

class CadHostBatch : public Batch {
protected:
    static void SetUpTestSuite()
    {
        QProcess registration;
        registration.start(QStringLiteral(QUILLET_TESTHOST), { QStringLiteral("/regserver") });
        ASSERT_TRUE(registration.waitForFinished(30000));
        ASSERT_EQ(registration.exitCode(), 0) << registration.readAllStandardError().constData();
    }

    void SetUp() override
    {
        Batch::SetUp();
        TestProcesses::killHosts();
        drive.mkdir("Drawings");
        for (const char *name : { "A", "B", "C" })
            writeDrawing(name, {});
        ASSERT_TRUE(log.isValid());
        addedEnvironment.insert("QUILLET_TESTHOST_LOG", QDir::toNativeSeparators(log.path()));
        // The user's options as a user left them, one of them on: the calls put back what they
        // change.
        QSettings options(toggles, QSettings::NativeFormat);
        for (const char *toggle : { "14", "15", "329", "334", "353" })
            options.setValue(toggle, 0);
        options.setValue("77", 1);
        options.sync();
        togglesBefore = toggleValues();
    }

    void TearDown() override
    {
        EXPECT_TRUE(noHostWithin(5000)) << "a host outlived its call";
        TestProcesses::killHosts();
        // A call that is killed cannot put the user's options back.
        if (!callKilled) {
            EXPECT_EQ(toggleValues(), togglesBefore);
        }
        QSettings(toggles, QSettings::NativeFormat).remove("");
        Batch::TearDown();
    }

    // A drawing of two sheets whose names tell it; fault, when given, is the host's to play.
    void writeDrawing(const QString &name, const QString &fault)
    {
        QByteArray text = "type=drawing\r\nproperty=|Revision|" + name.toUtf8()
            + "\r\nsheet=Sheet1\r\nsheet=Sheet2\r\nactive=Sheet1\r\n";
        if (!fault.isEmpty())
            text += "fault=" + fault.toUtf8() + "\r\n";
        writeNative(drive.native("Drawings/" + name + ".SLDDRW"), text);
    }

    BatchRun runCad(const QStringList &options)
    {
        return run(QStringList { "--host", "cad", "-f", "PDF", "-s", "all", "-n",
                       "DRWNAME|_|SHEETNAME", "--no-dest-dirs", "-o", "Out" }
            + options + QStringList { "Drawings" });
    }

    // The lines of each host's record, by record name.
    QMap<QString, QStringList> hostRecords() const
    {
        QMap<QString, QStringList> records;
        for (const QString &name : QDir(log.path()).entryList({ "*.log" }, QDir::Files)) {
            records.insert(name,
                QString::fromUtf8(readNative(log.filePath(name))).split('\n', Qt::SkipEmptyParts));
        }
        return records;
    }

    QTemporaryDir log;
    QMap<QString, QVariant> togglesBefore;
    bool callKilled = false;
};

TEST_F(CadHostBatch, SavesAFolderWithOneHostOrTwoAlike)
{
    const BatchRun one = runCad({ "-j", "1", "--report", "run.json" });
    const QByteArray report = readNative(drive.native("run.json"));
    EXPECT_EQ(one.status, 0) << one.err.join('\n').toStdString();
    const QMap<QString, QByteArray> files = filesBelow(drive.native("Out"));
    EXPECT_EQ(files.keys(),
        (QStringList { "A_Sheet1.PDF", "A_Sheet2.PDF", "B_Sheet1.PDF", "B_Sheet2.PDF",
            "C_Sheet1.PDF", "C_Sheet2.PDF" }));
    // What the host wrote for each sheet: its drawing and sheet.
    EXPECT_TRUE(files.value("B_Sheet2.PDF").endsWith("B.SLDDRW\r\nsheet=Sheet2\r\n"))
        << files.value("B_Sheet2.PDF").constData();
    EXPECT_EQ(hostRecords().size(), 1);

    ASSERT_TRUE(QDir(drive.native("Out")).removeRecursively());
    drive.mkdir("Out");
    QDir(log.path()).removeRecursively();
    QDir().mkpath(log.path());
    const BatchRun two = runCad({ "-j", "2", "--report", "run.json" });
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, one.err);
    EXPECT_EQ(readNative(drive.native("run.json")), report);
    EXPECT_EQ(filesBelow(drive.native("Out")), files);
    // A host for each worker; a worker handed no drawing starts none.
    const QMap<QString, QStringList> records = hostRecords();
    EXPECT_TRUE(records.size() == 1 || records.size() == 2) << records.size();
    for (const QStringList &record : records)
        EXPECT_EQ(record.constLast(), "exit");
}

TEST_F(CadHostBatch, TheUsersOwnSessionIsLeftAlone)
{
    QProcess session;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLET_TESTHOST_LOG", QDir::toNativeSeparators(log.path()));
    environment.insert("QUILLET_TESTHOST_NAME", "user");
    session.setProcessEnvironment(environment);
    session.start(QStringLiteral(QUILLET_TESTHOST), {});
    ASSERT_TRUE(session.waitForStarted());
    const QDeadlineTimer deadline(10000);
    while (!hostRecords().contains("user.log") && !deadline.hasExpired())
        QThread::msleep(50);

    const BatchRun result = runCad({});
    EXPECT_EQ(result.status, 0) << result.err.join('\n').toStdString();
    EXPECT_EQ(filesIn("Out").size(), 6);
    // The user's host was asked nothing and still runs.
    EXPECT_EQ(hostRecords().value("user.log"),
        QStringList { "start " + QString::number(session.processId()) });
    EXPECT_EQ(session.state(), QProcess::Running);
    session.kill();
    session.waitForFinished();
}

TEST_F(CadHostBatch, AHungDrawingFailsAloneAndAFreshHostSavesTheRest)
{
    writeDrawing("B", "hang");
    const BatchRun result = runCad({ "--timeout", "3" });
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(result.err.contains(
        "quillet-batch: the host did not finish B.SLDDRW within 3 s and was stopped"))
        << result.err.join('\n').toStdString();
    EXPECT_EQ(filesIn("Out"),
        (QStringList { "A_Sheet1.PDF", "A_Sheet2.PDF", "C_Sheet1.PDF", "C_Sheet2.PDF" }));
    // The stopped host, and the one that took over from it.
    const QMap<QString, QStringList> records = hostRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records.first().constLast(), "call SldWorks.OpenDoc6");
    EXPECT_EQ(records.last().constLast(), "exit");
}

TEST_F(CadHostBatch, ACrashedHostFailsItsDrawingOnlyAndLeavesNoStagedFile)
{
    writeDrawing("B", "crash");
    const BatchRun result = runCad({ "-j", "2", "-q" });
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(result.err.contains("quillet-batch: the host ended while it had B.SLDDRW open"))
        << result.err.join('\n').toStdString();
    EXPECT_EQ(tree(drive.native("Out")),
        (QStringList { "A_Sheet1.PDF", "A_Sheet2.PDF", "C_Sheet1.PDF", "C_Sheet2.PDF" }));
}

TEST_F(CadHostBatch, RestartsAfterEveryNDrawings)
{
    const BatchRun result = runCad({ "--restart-every", "2", "-q" });
    EXPECT_EQ(result.status, 0);
    const QMap<QString, QStringList> records = hostRecords();
    ASSERT_EQ(records.size(), 2);
    for (const QStringList &record : records)
        EXPECT_EQ(record.constLast(), "exit");
}

// However the call ends, its host goes with it: here the call is killed while its host hangs.
TEST_F(CadHostBatch, AKilledCallTakesItsHostWithIt)
{
    writeDrawing("A", "hang");
    QProcess call;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLET_TESTHOST_LOG", QDir::toNativeSeparators(log.path()));
    call.setProcessEnvironment(environment);
    call.setWorkingDirectory(drive.native());
    call.start(QStringLiteral(QUILLET_BATCH),
        { "--host", "cad", "-q", "-f", "PDF", "-o", "Out", "Drawings/A.SLDDRW" });
    ASSERT_TRUE(call.waitForStarted());
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()
        && !(hostRecords().size() == 1
            && hostRecords().first().constLast() == "call SldWorks.OpenDoc6"))
        QThread::msleep(50);
    ASSERT_EQ(TestProcesses::hosts().size(), 1u);
    call.kill();
    call.waitForFinished();
    callKilled = true;
    EXPECT_TRUE(noHostWithin(5000));
}

// A plan made in the CAD host, saved in two shards by hosts of their own, merges into the report
// one run writes.
TEST_F(CadHostBatch, PlansAndShardsSaveAsOneRun)
{
    const BatchRun one = runCad({ "--report", "run.json" });
    ASSERT_EQ(one.status, 0);
    const QMap<QString, QByteArray> files = filesBelow(drive.native("Out"));
    ASSERT_TRUE(QDir(drive.native("Out")).removeRecursively());
    drive.mkdir("Out");

    EXPECT_EQ(runCad({ "--plan", "plan.json" }).status, 0);
    for (const char *shard : { "1/2", "2/2" }) {
        const QString report = QStringLiteral("r%1.json").arg(QChar(shard[0]));
        EXPECT_EQ(run({ "--host", "cad", "--run-plan", "plan.json", "--shard", shard, "--report",
                          report })
                      .status,
            0);
    }
    EXPECT_EQ(filesBelow(drive.native("Out")), files);
    const BatchRun merged
        = run({ "--merge-reports", "--report", "merged.json", "r1.json", "r2.json" });
    EXPECT_EQ(merged.status, 0);
    // The plan names its own call in the merged report; the drawings' runs are the same.
    EXPECT_EQ(QJsonDocument::fromJson(readNative(drive.native("merged.json")))["drawings"],
        QJsonDocument::fromJson(readNative(drive.native("run.json")))["drawings"]);
}

// A stop request, here played as B starts: the call ends after the sheet in hand, as any call
// does, and ends its host, whose options go back.
TEST_F(CadHostBatch, AStoppedCallEndsItsHost)
{
    addedEnvironment.insert("QUILLET_BATCH_WORKER_FAULT", "stop:B.SLDDRW");
    const BatchRun result = runCad({ "-j", "1", "-q" });
    EXPECT_EQ(result.status, 143);
    EXPECT_EQ(result.err.value(result.err.size() - 1),
        "quillet-batch: stopped by SIGTERM after 1 of 3 drawings");
    // A's sheets and B's first, each whole.
    EXPECT_EQ(tree(drive.native("Out")),
        (QStringList { "A_Sheet1.PDF", "A_Sheet2.PDF", "B_Sheet1.PDF" }));
    const QMap<QString, QStringList> records = hostRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.first().constLast(), "exit");
}

} // namespace
