#include "addin/quilletmain.h"
#include "batchhost.h"
#include "batchplan.h"
#include "batchreport.h"
#include "batchrun.h"
#ifdef Q_OS_WIN
#include "cadbatchhost.h"
#endif
#include "console.h"
#include "formats/outputformats.h"
#include "platform/commandline.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "quilletversion.h"
#include "sheetexport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Only the log, status texts and messages reach the streams.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

// Formats left to the stored choice may paint.
bool runPaints(const BatchOptions &options)
{
    if (options.outFmtIndexes.isEmpty())
        return true;
    return std::any_of(options.outFmtIndexes.cbegin(), options.outFmtIndexes.cend(),
        [](int index) { return exportPaints(OutputFormats::tag(index)); });
}

// The content of a file, or empty with the reason in errorString.
std::optional<QByteArray> readFile(const QString &path, QString *errorString)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *errorString = file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

int failed(const QString &message)
{
    writeConsoleText(stderr, QStringLiteral("quillet-batch: ") + message + QLatin1Char('\n'));
    return BatchStatus::RunError;
}

// Reports that do not make one call's are a run error like a drawing that cannot be saved: the
// command line was right, the files are not.
int mergeReports(const BatchOptions &options)
{
    QList<QByteArray> reports;
    for (const QString &path : options.reports) {
        QString why;
        const std::optional<QByteArray> content = readFile(path, &why);
        if (!content)
            return failed(
                QStringLiteral("cannot read the report ") + path + QStringLiteral(": ") + why);
        reports.append(*content);
    }
    QString why;
    const std::optional<QByteArray> merged = mergeShardReports(reports, options.reports, &why);
    if (!merged)
        return failed(QStringLiteral("cannot merge the reports: ") + why);
    if (!options.report) {
        std::fwrite(merged->constData(), 1, size_t(merged->size()), stdout);
    } else if (!writeReport(*options.report, *merged, &why)) {
        return failed(QStringLiteral("cannot write the report ") + *options.report
            + QStringLiteral(": ") + why);
    }
    return reportStatus(*merged);
}

// A plan that cannot be read or used is a run error, as a drawing that cannot be is.
std::optional<BatchPlan> readPlan(const QString &path, QByteArray *digest, int *status)
{
    QString why;
    const std::optional<QByteArray> content = readFile(path, &why);
    if (!content) {
        *status
            = failed(QStringLiteral("cannot read the plan ") + path + QStringLiteral(": ") + why);
        return std::nullopt;
    }
    std::optional<BatchPlan> plan = BatchPlan::fromJson(*content, &why);
    if (!plan) {
        *status = failed(path + QStringLiteral(" is not a plan this program can run: ") + why);
        return std::nullopt;
    }
    // Drawings and options relative to where the call was planned.
    if (!QDir::setCurrent(plan->directory)) {
        *status = failed(QStringLiteral("cannot enter the directory of the plan ") + path
            + QStringLiteral(": ") + plan->directory);
        return std::nullopt;
    }
    *digest = QCryptographicHash::hash(*content, QCryptographicHash::Sha256).toHex();
    return plan;
}

} // namespace

int main(int argc, char **argv)
{
    // Sheets are painted and PDFs written without any window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-batch"));
    QCoreApplication::setApplicationVersion(
        Quilletmain::formatVersion(QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR));
    const BatchCommandLine parsed = BatchCommandLine::parse(commandLineArguments(argc, argv));
    switch (parsed.outcome) {
    case BatchCommandLine::Outcome::Help:
        writeConsoleText(stdout, parsed.text);
        return BatchStatus::Saved;
    case BatchCommandLine::Outcome::Version:
        writeConsoleText(stdout, parsed.text + QLatin1Char('\n'));
        return BatchStatus::Saved;
    case BatchCommandLine::Outcome::UsageError:
        writeConsoleText(
            stderr, QStringLiteral("quillet-batch: ") + parsed.text + QLatin1Char('\n'));
        return BatchStatus::Usage;
    case BatchCommandLine::Outcome::Run:
        break;
    }
    if (parsed.options.mode == BatchOptions::Mode::MergeReports)
        return mergeReports(parsed.options);
    std::optional<BatchPlan> plan;
    QByteArray planDigest;
    // Given where the shard was started, before it moves to the plan's directory.
    std::optional<QString> shardReport;
    if (parsed.options.report)
        shardReport = QFileInfo(*parsed.options.report).absoluteFilePath();
    if (parsed.options.mode == BatchOptions::Mode::RunPlan) {
        int status = BatchStatus::Saved;
        plan = readPlan(*parsed.options.plan, &planDigest, &status);
        if (!plan)
            return status;
        // A quiet shard of a plan that was not: the log is all --quiet leaves out.
        plan->options.quiet = plan->options.quiet || parsed.options.quiet;
        // Which host saves a shard is the shard's choice: the names are the drawings' own.
        plan->options.host = parsed.options.host;
        plan->options.timeoutSeconds = parsed.options.timeoutSeconds;
        plan->options.restartEvery = parsed.options.restartEvery;
    }
    const BatchOptions &options = plan ? plan->options : parsed.options;
    for (const auto &[letter, root] : options.drives)
        FileSystemObject::setDrive(letter, root);
    // Only a painting run gets the GUI application: on leaving, the GUI application loads the
    // font configuration only to release it, even when nothing was painted, which takes as
    // long as saving a dozen drawings.
    const std::unique_ptr<QCoreApplication> app = runPaints(options)
        ? std::make_unique<QGuiApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    std::unique_ptr<BatchHost> host;
#ifdef Q_OS_WIN
    if (options.host == BatchOptions::Host::Cad) {
        try {
            host = cadBatchHost(options);
        } catch (const QuilletError &error) {
            writeConsoleText(
                stderr, QStringLiteral("quillet-batch: ") + error.description + QLatin1Char('\n'));
            return BatchStatus::RunError;
        }
    }
#endif
    if (!host)
        host = standInBatchHost();
    switch (parsed.options.mode) {
    case BatchOptions::Mode::Plan:
        return planBatch(*host, options);
    case BatchOptions::Mode::RunPlan:
        return runPlanShard(*host, *plan, planDigest, shardReport,
            { parsed.options.shardIndex, parsed.options.shardCount });
    case BatchOptions::Mode::Worker:
        return runWorker(*host, options, options.journal,
            qEnvironmentVariableIsSet("QUILLET_BATCH_WORKER_SHEETS"));
    case BatchOptions::Mode::Run:
    case BatchOptions::Mode::MergeReports:
        break;
    }
    return runBatch(*host, options);
}
