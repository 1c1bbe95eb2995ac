#include "batchrun.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "batchhost.h"
#include "batchplan.h"
#include "batchreport.h"
#include "console.h"
#include "drawingfolders.h"
#include "formats/outputformats.h"
#include "maindialog/pdfoption.h"
#include "maindialog/storedchoices.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "platform/settingsstore.h"
#include "save/runpreparation.h"
#include "save/runsurroundings.h"
#include "save/saverun.h"
#include "save/savestate.h"
#include "saveorder.h"
#include "stagedsaves.h"
#include "stopsignals.h"
#include "workerchannel.h"
#include "workerpool.h"
#include "workerresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Ctrl+C or SIGTERM arrived: the call ends after the sheet being saved.
struct BatchStopped { };

// The log window of the console: every line appended is printed at once, unless quiet; each
// sheet's save is recorded for the report.
class ConsoleSurroundings : public RunSurroundings {
public:
    // The run is of the drawing-th drawing of the batch's drawings.
    ConsoleSurroundings(Console &console, bool quiet, int drawing, int drawings,
        QList<SheetSave> &sheets, const std::function<void()> &sheetDone)
        : console(console)
        , quiet(quiet)
        , drawing(drawing)
        , drawings(drawings)
        , sheets(sheets)
        , sheetDone(sheetDone)
    {
    }
    void refreshLog() override { }
    void showLogModeless() override { }
    void hideLog() override { }
    void showLogModal() override { }
    void hideMainDialog() override { }
    void showProgress(int sheetsDone, int sheetCount) override
    {
        // The sheet in work, or the last one once all are done; with no count of drawings, the
        // caller shows the call's progress.
        if (console.showsProgress() && drawings > 0) {
            console.setProgress(QStringLiteral("drawing %1 of %2, sheet %3 of %4")
                                    .arg(drawing)
                                    .arg(drawings)
                                    .arg(qMin(sheetsDone + 1, sheetCount))
                                    .arg(sheetCount));
        }
    }
    // A stop request ends the run here, after the sheet in hand: its file is whole, renamed
    // into place, and in the record.
    void sheetSaved(const SheetSave &save) override
    {
        sheets.append(save);
        if (sheetDone)
            sheetDone();
        if (StopSignals::received())
            throw BatchStopped {};
    }
    // Printed and gone: the batch keeps no log.
    void appendLog(const QString &line) override
    {
        if (!quiet)
            console.printLog(line);
    }

private:
    Console &console;
    bool quiet;
    int drawing;
    int drawings;
    QList<SheetSave> &sheets;
    const std::function<void()> &sheetDone;
};

class BatchError {
public:
    int status;
    QString message;
    // The add-in's error number behind the message; 0 for the batch's own checks.
    int number = 0;
};

// The sheet choice, and the names for "Selected Sheets", from the option or the stored choice.
void chooseSheets(const BatchOptions &options, const StoredChoices &stored,
    const QString &drawingPath, const QStringList &docSheetNames, RunChoices &choices)
{
    choices.sheetSelType = stored.run.sheetSelType;
    if (!options.sheets)
        return;
    const QString text = options.sheets->trimmed();
    if (text.compare(QLatin1String("current"), Qt::CaseInsensitive) == 0) {
        choices.sheetSelType = SheetChoice::Current;
    } else if (text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        choices.sheetSelType = SheetChoice::All;
    } else {
        choices.sheetSelType = SheetChoice::Selected;
        const QStringList names = text.split(QLatin1Char(','));
        for (const QString &name : names) {
            if (!docSheetNames.contains(name)) {
                // With several drawings, only the drawing's name tells which one lacks it.
                throw BatchError { BatchStatus::RunError,
                    QStringLiteral("quillet-batch: ") + drawingPath
                        + QStringLiteral(" has no sheet named \"") + name + QLatin1Char('"') };
            }
        }
        // The sheet list's selection runs in document order, as the dialog's list does.
        for (const QString &name : docSheetNames) {
            if (names.contains(name))
                choices.selectedSheets.append(name);
        }
    }
}

// The add-in reaches files only through the drive map; a folder outside every mapped drive would
// otherwise surface as the platform's bare "Device unavailable".
QString onMappedDrive(const QString &nativePath, const QString &what)
{
    try {
        return FileSystemObject().fromNative(nativePath);
    } catch (const QuilletError &) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: the ") + what
                + QStringLiteral(" is on no mapped drive (map one with --drive): ") + nativePath };
    }
}

QString outputBase(const BatchOptions &options, const StoredChoices &stored)
{
    if (options.output) {
        const QFileInfo info(*options.output);
        if (!info.isDir()) {
            throw BatchError { BatchStatus::RunError,
                QStringLiteral("quillet-batch: output directory does not exist: ")
                    + *options.output };
        }
        return onMappedDrive(info.absoluteFilePath(), QStringLiteral("output directory"));
    }
    if (!FileSystemObject().folderExists(stored.run.baseDir)) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: the stored output directory does not "
                           "exist: ")
                + stored.run.baseDir };
    }
    return stored.run.baseDir;
}

void openDrawing(BatchHost &host, const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: no such drawing: ") + path };
    }
    const QString absolutePath = info.absoluteFilePath();
    onMappedDrive(absolutePath, QStringLiteral("drawing"));
    try {
        host.open(absolutePath);
    } catch (const BatchHost::OpenFailure &failure) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: ") + failure.message, failure.number };
    }
}

// A dry run is the planning: the names and refusals of a run, nothing saved.
int runDrawing(BatchHost &host, const BatchOptions &options, const StoredChoices &stored,
    const QString &drawingPath, int outFmtIndex, bool dryRun, RunSurroundings &surroundings,
    DrawingRecord &record, SavedTargets &saved)
{
    openDrawing(host, drawingPath);
    SaveState state;
    try {
        state = openActiveDrawing(host.application());
    } catch (const QuilletError &error) {
        throw BatchError { BatchStatus::RunError, ErrorText::loadFailure(error), error.number };
    }

    // The stored choices, with what the options say in their place.
    RunChoices choices = stored.run;
    choices.outFmtIndex = OutputFormats::Format(outFmtIndex);
    // The PDF writer's value matters to PDF runs alone; reading it is not free.
    choices.pdfSingleFile
        = OutputFormats::isPdf(outFmtIndex) && (options.singleFile || getPDFRegKey() == 1);
    chooseSheets(options, stored, drawingPath, state.docSheetNames, choices);
    choices.displayDiags = !options.quiet;
    choices.useDestDirs = options.useDestDirs.value_or(stored.run.useDestDirs);
    choices.baseDir = outputBase(options, stored);
    record.outputDirectory = FileSystemObject().toNative(choices.baseDir);
    choices.filenameFmt = options.filenameFormat.value_or(stored.currentFmts.value(
        OutputFormats::formatListKey(choices.outFmtIndex, choices.pdfSingleFile),
        RunChoices::defaultFilenameFormat));

    try {
        if (!prepareRun(state, choices).goEnabled) {
            throw BatchError { BatchStatus::Usage,
                QStringLiteral("quillet-batch: no sheet chosen; name the sheets with --sheets") };
        }
        state.dryRun = dryRun;
        state.savedTargets = &saved;
        // Only a run that starts, and saves, leaves its mark on the PDF writer.
        if (!dryRun)
            setPDFRegKeyForRun(choices);
        const SaveRunResult result = Quillet(state, surroundings);
        return result.allSaved() ? BatchStatus::Saved : BatchStatus::SaveFailed;
    } catch (const QuilletError &error) {
        throw BatchError { BatchStatus::RunError,
            ErrorText::commandFailure(error, Quilletmain::curProcName), error.number };
    }
}

QString sheetChoiceName(SheetChoice choice)
{
    switch (choice) {
    case SheetChoice::Current:
        return QStringLiteral("current");
    case SheetChoice::All:
        return QStringLiteral("all");
    case SheetChoice::Selected:
        break;
    }
    return QStringLiteral("selected");
}

// The options in force before the first drawing: as given, or as stored.
BatchReport reportOptions(
    const BatchOptions &options, const StoredChoices &stored, const QList<int> &formats)
{
    BatchReport report;
    for (const int format : formats)
        report.formats.append(OutputFormats::caption(format));
    report.filenameFormat = options.filenameFormat;
    report.sheets = options.sheets.value_or(sheetChoiceName(stored.run.sheetSelType));
    if (options.output)
        report.output = QFileInfo(*options.output).absoluteFilePath();
    report.destDirs = options.useDestDirs.value_or(stored.run.useDestDirs);
    report.singleFile = options.singleFile;
    report.quiet = options.quiet;
    report.dryRun = options.dryRun;
    return report;
}

void recordError(DrawingRecord &record, int status, const QString &line, int number)
{
    record.status = status;
    record.errorText = line;
    record.errorNumber = number;
}

// What of a run reaches the console: everything, only the errors (planning), or nothing (the
// check that a shard's drawing still comes to its planned names).
enum class Echo { All, Errors, Nothing };

// One call of the batch: its console, the stored choices and the host's messages, and the runs,
// one drawing in one format each, that the call's modes share.
class BatchCall {
public:
    BatchCall(BatchHost &host, const BatchOptions &options)
        : host(host)
        , options(options)
        , console(!options.quiet)
        , stored(StoredChoices::read(QSettingsStore()))
    {
        host.statusText = [this](const QString &text) {
            if (echo == Echo::All)
                console.printError(text);
        };
        host.message = [this](const QString &text) {
            if (echo == Echo::All)
                console.printError(QStringLiteral("quillet-batch: ") + text);
        };
    }
    ~BatchCall() { detachFromHost(); }
    BatchCall(const BatchCall &) = delete;
    BatchCall &operator=(const BatchCall &) = delete;

    // The host's words reach this call no more.
    void detachFromHost()
    {
        host.statusText = nullptr;
        host.message = nullptr;
    }

    QList<int> formats() const
    {
        return options.outFmtIndexes.isEmpty() ? QList<int> { stored.run.outFmtIndex }
                                               : options.outFmtIndexes;
    }
    BatchReport report() const { return reportOptions(options, stored, formats()); }

    // A folder's drawings that could not be seen were not saved, so the call cannot end well.
    int reportFolders(const QStringList &unreadable, const QStringList &empty, BatchReport &report)
    {
        for (const QString &folder : unreadable) {
            print(QStringLiteral("quillet-batch: cannot read folder ") + folder
                + QStringLiteral(", skipped"));
        }
        for (const QString &folder : empty) {
            const QString line = QStringLiteral("quillet-batch: no drawings in ") + folder;
            print(line);
            DrawingRecord &record = report.drawings.emplace_back();
            record.path = QFileInfo(folder).absoluteFilePath();
            recordError(record, BatchStatus::RunError, line, 0);
        }
        return unreadable.isEmpty() && empty.isEmpty() ? BatchStatus::Saved : BatchStatus::RunError;
    }

    // The drawing-th of the call's drawings in one format; its outcome goes to the record and
    // its files to saved. Returns the run's status.
    int run(const QString &drawing, int drawingNumber, int drawingCount, int format,
        SavedTargets &saved, DrawingRecord &record, bool dryRun, Echo runEcho)
    {
        echo = runEcho;
        record.path = QFileInfo(drawing).absoluteFilePath();
        record.format = OutputFormats::caption(format);
        ConsoleSurroundings surroundings(console, options.quiet || echo != Echo::All, drawingNumber,
            drawingCount, record.sheets, sheetDone);
        try {
            record.status = runDrawing(
                host, options, stored, drawing, format, dryRun, surroundings, record, saved);
        } catch (const BatchStopped &) {
            record.run = DrawingRecord::Run::Stopped;
            host.closeAll();
            echo = Echo::All;
            throw;
        } catch (const BatchError &error) {
            if (!recordLostHost(drawing, record))
                recordError(record, error.status, print(messageLine(error.message)), error.number);
        } catch (const QuilletError &error) {
            const QString line
                = messageLine(ErrorText::commandFailure(error, Quilletmain::curProcName));
            if (!recordLostHost(drawing, record))
                recordError(record, BatchStatus::RunError, print(line), error.number);
        }
        // Sheets the host failed to save as it went are the lost host's failure too.
        if (record.status != BatchStatus::RunError)
            recordLostHost(drawing, record);
        // Each run starts in an empty host, as if the drawing were opened on its own.
        host.closeAll();
        echo = Echo::All;
        return record.status;
    }

    // The host was stopped or died over the drawing: that, not what the calls to it answered, is
    // the drawing's failure. False when the host was not lost.
    bool recordLostHost(const QString &drawing, DrawingRecord &record)
    {
        const QString why = host.lostOver(QFileInfo(drawing).fileName());
        if (why.isEmpty())
            return false;
        recordError(record, BatchStatus::RunError,
            print(messageLine(QStringLiteral("quillet-batch: ") + why)), 0);
        return true;
    }

    // Returns line.
    QString print(const QString &line)
    {
        if (echo != Echo::Nothing)
            console.printError(line);
        return line;
    }

    // The report is made only when it is asked for: a batch of many sheets would otherwise
    // build a large text for nothing.
    int writeReport(const std::function<QByteArray()> &json, int status)
    {
        QString why;
        if (options.report && !::writeReport(*options.report, json(), &why)) {
            console.printError(QStringLiteral("quillet-batch: cannot write the report ")
                + *options.report + QStringLiteral(": ") + why);
            status = std::max(status, int(BatchStatus::RunError));
        }
        return status;
    }

    BatchHost &host;
    const BatchOptions &options;
    Console console;
    const StoredChoices stored;
    // Told of every sheet whose save has ended.
    std::function<void()> sheetDone;

private:
    Echo echo = Echo::All;
};

PlannedRun plannedRun(const DrawingRecord &record, std::optional<int> number)
{
    PlannedRun run { record.format, number, record.outputDirectory, {}, record.status,
        record.errorNumber, record.errorText };
    for (const SheetSave &sheet : record.sheets) {
        run.sheets.append(
            { sheet.sheetName, sheet.target, sheet.status == SheetSave::Status::NameTaken });
    }
    return run;
}

// The record of saved files after a planned run, as the run would leave it.
void addPlanned(SavedTargets &saved, const QString &hostPath, const PlannedRun &run)
{
    if (!run.number)
        return;
    saved.runs = *run.number;
    for (const PlannedSheet &sheet : run.sheets) {
        if (!sheet.nameTaken)
            saved.byTarget.insert(
                sheet.target.toCaseFolded(), { *run.number, hostPath, sheet.name });
    }
}

// The drawing's path as the host names it, which the refusals of later runs quote.
QString hostPath(const QString &absolutePath)
{
    try {
        return FileSystemObject().fromNative(absolutePath);
    } catch (const QuilletError &) {
        // A drawing on no mapped drive never starts a save run, so no refusal names it.
        return {};
    }
}

// Why a shard's drawing may not be saved under the names planned for it; empty when it may.
// Beyond its own bytes, a drawing's names depend on its models and the stored choices: a dry run
// with the record of saved files as the plan leaves it must come to the plan's names.
QString staleness(BatchCall &call, const PlannedDrawing &drawing, int drawingIndex,
    int drawingCount, SavedTargets saved)
{
    const std::optional<DrawingStamp> stamp = DrawingStamp::of(drawing.path);
    if (drawing.stamp && !stamp)
        return QStringLiteral(" is missing since it was planned; not saved");
    if (stamp != drawing.stamp)
        return QStringLiteral(" changed since it was planned; not saved");
    const QList<int> formats = call.formats();
    for (qsizetype i = 0; i < drawing.runs.size(); ++i) {
        const PlannedRun &planned = drawing.runs.at(i);
        if (planned.number)
            saved.runs = *planned.number - 1;
        DrawingRecord record;
        call.run(drawing.given, drawingIndex + 1, drawingCount, formats.at(i), saved, record, true,
            Echo::Nothing);
        const PlannedRun now = plannedRun(record, planned.number);
        const auto sameSheet = [](const PlannedSheet &a, const PlannedSheet &b) {
            return a.name == b.name && a.target == b.target && a.nameTaken == b.nameTaken;
        };
        if (now.status != planned.status || now.errorText != planned.errorText
            || !std::equal(now.sheets.cbegin(), now.sheets.cend(), planned.sheets.cbegin(),
                planned.sheets.cend(), sameSheet)) {
            return QStringLiteral(" would now be saved under other names than planned; not saved");
        }
        addPlanned(saved, hostPath(drawing.path), planned);
    }
    return {};
}

// The call's plan: every drawing in every format as a dry run sees it, with the record of saved
// files the runs share. Folders are the caller's to report. Returns the dry run's status.
int makePlan(BatchCall &call, const BatchOptions &options, const DrawingArguments &arguments,
    Echo echo, BatchPlan &plan)
{
    plan.directory = QDir::currentPath();
    plan.options = options;
    plan.options.outFmtIndexes = call.formats();
    plan.options.drawings.clear();
    plan.options.report.reset();
    plan.options.plan.reset();
    plan.options.mode = BatchOptions::Mode::Run;
    plan.unreadableFolders = arguments.unreadableFolders;
    for (const QString &folder : arguments.emptyFolders)
        plan.emptyFolders.append(QFileInfo(folder).absoluteFilePath());
    // The call's record of saved files, as the dry run keeps it.
    SavedTargets saved;
    int status = BatchStatus::Saved;
    const int drawingCount = int(arguments.drawings.size());
    for (int i = 0; i < drawingCount; ++i) {
        const QString &given = arguments.drawings.at(i);
        PlannedDrawing &drawing = plan.drawings.emplace_back();
        drawing.given = given;
        drawing.path = QFileInfo(given).absoluteFilePath();
        // Before the names are planned, so that a change while planning shows too.
        drawing.stamp = DrawingStamp::of(drawing.path);
        for (const int format : plan.options.outFmtIndexes) {
            const int runsBefore = saved.runs;
            DrawingRecord record;
            status = std::max(
                status, call.run(given, i + 1, drawingCount, format, saved, record, true, echo));
            drawing.runs.append(plannedRun(
                record, saved.runs > runsBefore ? std::optional(saved.runs) : std::nullopt));
        }
    }
    call.console.clearProgress();
    return status;
}

// The drawing's runs ended without a worker's answer: each is a run error saying why.
QList<DrawingRecord> unansweredRuns(
    const QString &path, const QList<int> &formats, const QString &line)
{
    QList<DrawingRecord> records;
    for (const int format : formats) {
        DrawingRecord &record = records.emplace_back();
        record.path = path;
        record.format = OutputFormats::caption(format);
        recordError(record, BatchStatus::RunError, line, 0);
    }
    return records;
}

void removeFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        QFile::remove(path);
}

QStringList stagedNames(const QList<StagedSaves::File> &files)
{
    QStringList names;
    for (const StagedSaves::File &file : files)
        names.append(file.staged);
    return names;
}

QString nativeTarget(const QString &target)
{
    try {
        return QDir::cleanPath(FileSystemObject().toNative(target));
    } catch (const QuilletError &) {
        return {};
    }
}

// Renames the drawing's staged files into place; a file that cannot be is a failed save.
void commitStaged(WorkerResult &result)
{
    for (const StagedSaves::File &file : std::as_const(result.staged)) {
        QString why;
        if (StagedSaves::commit(file, &why))
            continue;
        QFile::remove(file.staged);
        result.lines.append({ true,
            QStringLiteral("quillet-batch: cannot put ") + file.target
                + QStringLiteral(" in place: ") + why });
        for (DrawingRecord &record : result.runs) {
            for (SheetSave &sheet : record.sheets) {
                if (sheet.status == SheetSave::Status::Saved
                    && nativeTarget(sheet.target) == QDir::cleanPath(file.target)) {
                    sheet.status = SheetSave::Status::Failed;
                    record.status = std::max(record.status, int(BatchStatus::SaveFailed));
                }
            }
        }
    }
}

// The call saved by worker processes, each handed whole drawings. A worker saves a drawing
// knowing only the other drawings' files it was told of, staging every file beside its target.
// The call takes the drawings in their order: when no earlier drawing saved under one of a
// drawing's names, its files are renamed into place and its lines printed; otherwise its files
// go and the call saves it again itself, with the whole record, so that it refuses those names
// as one process would. Every name is thus decided in the drawings' order, as one process decides
// it, and no file is written twice. Until a drawing collides, the workers are told nothing: most
// calls never do, and telling costs every hand-out; once one has, they are told of every save,
// so that a format that names many drawings' sheets alike does not save each of them twice.
// Returns the call's status.
int runWithWorkers(BatchCall &call, const BatchOptions &options, const DrawingArguments &arguments,
    BatchReport &report, QList<int> &drawingOf, int status)
{
    const QList<int> formats = call.formats();
    const QStringList &drawings = arguments.drawings;
    SaveOrder order;
    bool collided = false;
    int drawingsDone = 0;
    int sheetsDone = 0;
    const auto showProgress = [&] {
        if (call.console.showsProgress()) {
            call.console.setProgress(QStringLiteral("drawings done: %1 of %2, sheets saved: %3")
                                         .arg(drawingsDone)
                                         .arg(drawings.size())
                                         .arg(sheetsDone));
        }
    };
    const auto saveHere = [&](int index) {
        const qsizetype first = report.drawings.size();
        for (const int format : formats) {
            DrawingRecord &record = report.drawings.emplace_back();
            drawingOf.append(index);
            try {
                status = std::max(status,
                    call.run(drawings.at(index), index + 1, 0, format, order.record(), record,
                        false, Echo::All));
            } catch (const BatchStopped &) {
                // The pool hears of the stop too, and starts nothing more.
                status = std::max(status, record.status);
                break;
            }
        }
        order.addedInPlace(report.drawings.mid(first));
    };
    const auto inOrder = [&](const WorkerPool::Outcome &outcome) {
        const QString &given = drawings.at(outcome.task);
        std::optional<WorkerResult> result;
        if (outcome.result)
            result = WorkerResult::decode(*outcome.result);
        if (!result) {
            const QString line = QStringLiteral("quillet-batch: ") + given + QStringLiteral(": ")
                + (outcome.failure.isEmpty() ? QStringLiteral("the worker saving it gave no answer")
                                             : outcome.failure)
                + QStringLiteral("; its saves are reported as failed");
            result = WorkerResult { { { true, line } },
                unansweredRuns(QFileInfo(given).absoluteFilePath(), formats, line), {}, {}, false };
        } else if (!order.stands(*result)) {
            removeFiles(stagedNames(result->staged));
            for (const DrawingRecord &record : std::as_const(result->runs))
                sheetsDone -= int(record.sheets.size());
            // A stopped call saves nothing again: the drawing is not saved.
            if (StopSignals::received())
                return;
            collided = true;
            saveHere(outcome.task);
            ++drawingsDone;
            showProgress();
            return;
        } else {
            commitStaged(*result);
        }
        // The worker stopped in its drawing's last run.
        if (result->stopped && !result->runs.isEmpty())
            result->runs.last().run = DrawingRecord::Run::Stopped;
        order.add(*result, hostPath(QFileInfo(given).absoluteFilePath()));
        for (const DrawingRecord &record : std::as_const(result->runs)) {
            report.drawings.append(record);
            drawingOf.append(outcome.task);
            status = std::max(status, record.status);
        }
        for (const auto &[error, line] : std::as_const(result->lines)) {
            if (error)
                call.console.printError(line);
            else
                call.console.printLog(line);
        }
        ++drawingsDone;
        showProgress();
    };
    const auto sheetSaved = [&] {
        ++sheetsDone;
        showProgress();
    };
    // The call's own saves count with the workers'.
    call.sheetDone = sheetSaved;
    const auto news = [&](qsizetype &told) {
        if (!collided)
            return QByteArray();
        const EarlierSaves saves = order.since(told);
        return saves.saved.byTarget.isEmpty() ? QByteArray() : saves.toJson().toBase64();
    };
    const bool sheetLines = call.console.showsProgress();
    const auto launch = [&](const QString &journal) {
        WorkerChannel::Start start;
        // A copy of this process: the host has no document open, and the call's console and
        // host messages are the copy's own to capture.
        start.body = [&, journal] {
            call.detachFromHost();
            return runWorker(call.host, options, journal, sheetLines);
        };
        // A program started afresh reads the options from the call's own command line.
        start.program = QCoreApplication::applicationFilePath();
        start.arguments = QStringList { QStringLiteral("--worker"), journal }
            + QCoreApplication::arguments().mid(1);
        start.environment = QProcessEnvironment::systemEnvironment();
        if (sheetLines) {
            start.environment.insert(
                QStringLiteral("QUILLET_BATCH_WORKER_SHEETS"), QStringLiteral("1"));
        }
        return start;
    };
    WorkerPool pool(launch, qMin(options.jobs, int(drawings.size())));
    pool.run(
        int(drawings.size()), [&](int task) { return drawings.at(task).toUtf8().toBase64(); }, news,
        inOrder, sheetSaved, &StopSignals::received);
    call.sheetDone = nullptr;
    call.console.clearProgress();
    return status;
}

QString signalName(int signal)
{
    return signal == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM");
}

// Ends a call a signal stopped, with the signal's exit status. The report still holds every run
// the call was given, in their order: those that ended, the runs stopped half-way, each with the
// exit status and the line saying so, and those never started. drawingOf gives the drawing of
// each of the report's runs after the folders' entries, which come first.
int stopped(
    BatchCall &call, BatchReport &report, const QStringList &drawings, const QList<int> &drawingOf)
{
    call.console.clearProgress();
    const int signal = StopSignals::received();
    const int status = StopSignals::exitStatus(signal);
    const QList<int> formats = call.formats();
    const qsizetype folders = report.drawings.size() - drawingOf.size();
    QList<QList<qsizetype>> runsOf(drawings.size());
    for (qsizetype r = 0; r < drawingOf.size(); ++r)
        runsOf[drawingOf.at(r)].append(folders + r);
    QList<DrawingRecord> runs = report.drawings.mid(0, folders);
    QList<qsizetype> stoppedRuns;
    int drawingsDone = 0;
    for (qsizetype i = 0; i < drawings.size(); ++i) {
        bool done = runsOf.at(i).size() == formats.size();
        for (const qsizetype r : std::as_const(runsOf.at(i))) {
            const DrawingRecord &record = report.drawings.at(r);
            done = done && record.run == DrawingRecord::Run::Ended;
            if (record.run == DrawingRecord::Run::Stopped)
                stoppedRuns.append(runs.size());
            runs.append(record);
        }
        for (qsizetype f = runsOf.at(i).size(); f < formats.size(); ++f) {
            DrawingRecord &record = runs.emplace_back();
            record.path = QFileInfo(drawings.at(i)).absoluteFilePath();
            record.format = OutputFormats::caption(formats.at(f));
            record.run = DrawingRecord::Run::NotStarted;
        }
        drawingsDone += int(done);
    }
    const QString line = QStringLiteral("quillet-batch: stopped by %1 after %2 of %3 drawings")
                             .arg(signalName(signal))
                             .arg(drawingsDone)
                             .arg(drawings.size());
    for (const qsizetype r : std::as_const(stoppedRuns))
        recordError(runs[r], status, line, 0);
    call.console.printError(line);
    report.drawings = runs;
    report.status = status;
    call.writeReport([&] { return report.toJson(); }, status);
    return status;
}

// The tests' way to make a worker fail as a crash or a signal would, on a drawing they name:
// QUILLET_BATCH_WORKER_FAULT is "crash:NAME", a crash once the drawing's first file is staged,
// or, where there are signals, "stop:NAME", which asks the call to stop as a SIGTERM from
// outside would, also when the call saves in its own process. Returns whether to crash.
bool plantFault(const QString &drawing, bool inWorker)
{
    const QString fault = qEnvironmentVariable("QUILLET_BATCH_WORKER_FAULT");
    const QString name = QFileInfo(drawing).fileName();
#ifndef Q_OS_WIN
    if (fault == QStringLiteral("stop:") + name)
        ::kill(inWorker ? ::getppid() : ::getpid(), SIGTERM);
#else
    // A console's events cannot be sent to a process of no console; the call's own request
    // stands for them.
    if (fault == QStringLiteral("stop:") + name && !inWorker)
        StopSignals::request(SIGTERM);
#endif
    return fault == QStringLiteral("crash:") + name;
}

} // namespace

int runBatch(BatchHost &host, const BatchOptions &options)
{
    Quilletmain::fillFromVersionResource();
    StopSignals::install();
    BatchCall call(host, options);
    const QList<int> formats = call.formats();
    BatchReport report = call.report();
    // One call never writes a file twice: every run refuses the files of the runs before it.
    SavedTargets saved;

    const DrawingArguments arguments
        = expandDrawingArguments(options.drawings, options.host == BatchOptions::Host::StandIn);
    int status = call.reportFolders(arguments.unreadableFolders, arguments.emptyFolders, report);
    const int drawingCount = int(arguments.drawings.size());
    // The drawing of each run in the report, but for the folders' entries.
    QList<int> drawingOf;
    // Workers pay off only for two drawings or more that are really saved.
    if (options.jobs > 1 && !options.dryRun && drawingCount > 1) {
        status = runWithWorkers(call, options, arguments, report, drawingOf, status);
        if (StopSignals::received())
            return stopped(call, report, arguments.drawings, drawingOf);
        report.status = status;
        return call.writeReport([&] { return report.toJson(); }, status);
    }
    for (int i = 0; i < drawingCount; ++i) {
        // Only a worker's crash can be played: this process is the call.
        plantFault(arguments.drawings.at(i), false);
        for (const int format : formats) {
            DrawingRecord &record = report.drawings.emplace_back();
            drawingOf.append(i);
            try {
                status = std::max(status,
                    call.run(arguments.drawings.at(i), i + 1, drawingCount, format, saved, record,
                        options.dryRun, Echo::All));
            } catch (const BatchStopped &) {
                return stopped(call, report, arguments.drawings, drawingOf);
            }
        }
        if (StopSignals::received())
            return stopped(call, report, arguments.drawings, drawingOf);
    }
    call.console.clearProgress();

    if (options.dryRun) {
        for (const QString &line : dryRunListing(report.drawings))
            call.console.printLog(line);
    }
    report.status = status;
    return call.writeReport([&] { return report.toJson(); }, status);
}

int planBatch(BatchHost &host, const BatchOptions &options)
{
    Quilletmain::fillFromVersionResource();
    BatchCall call(host, options);
    const DrawingArguments arguments
        = expandDrawingArguments(options.drawings, options.host == BatchOptions::Host::StandIn);
    BatchReport folders;
    int status = call.reportFolders(arguments.unreadableFolders, arguments.emptyFolders, folders);
    BatchPlan plan;
    status = std::max(status, makePlan(call, options, arguments, Echo::Errors, plan));

    QString why;
    if (!writeReport(*options.plan, plan.toJson(), &why)) {
        call.console.printError(QStringLiteral("quillet-batch: cannot write the plan ")
            + *options.plan + QStringLiteral(": ") + why);
        return BatchStatus::RunError;
    }
    return status;
}

namespace {

void answer(const QByteArray &lines)
{
    std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int runWorker(
    BatchHost &host, const BatchOptions &options, const QString &journalPath, bool sheetLines)
{
    Quilletmain::fillFromVersionResource();
    StopSignals::install();
#ifdef Q_OS_WIN
    // The answers are binary: no line end may be translated on their way to the call.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    StagedSaves &staging = host.stageSaves();
    QFile journal(journalPath);
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        std::fputs(
            qPrintable(QStringLiteral("quillet-batch: cannot write the worker's journal ")
                + journalPath + QStringLiteral(": ") + journal.errorString() + QLatin1Char('\n')),
            stderr);
        return BatchStatus::RunError;
    }
    int index = 0;
    qint64 journalSize = 0;
    const auto note = [&](const QByteArray &line) { journalSize += journal.write(line + '\n'); };
    staging.beforeStaging = [&](const QString &staged) {
        note(QByteArray::number(index) + ' ' + staged.toUtf8().toBase64());
    };
    BatchCall call(host, options);
    QList<std::pair<bool, QString>> lines;
    call.console.captureInto(&lines);
    bool crash = false;
    call.sheetDone = [&] {
        if (sheetLines)
            answer("sheet\n");
        if (crash)
            std::abort();
    };
    const QList<int> formats = call.formats();
    // Tasks are read through the stream's own buffer, not a character at a time.
    std::ios::sync_with_stdio(false);
    // Answers wait for an empty line, so that the call is woken seldom; more is asked for there,
    // while the last tasks handed are still in hand.
    QByteArray answers;
    const auto flush = [&] {
        answer(answers);
        answers.clear();
        // Every task started is answered: the journal's lines can go.
        constexpr qint64 journalLimit = 1 << 20;
        if (journalSize > journalLimit) {
            journal.resize(0);
            journalSize = 0;
        }
    };
    // The earlier drawings' saves the call told of: a drawing refuses those names at once, as one
    // process would, rather than saving under them for nothing.
    SavedTargets known;
    std::string task;
    while (!StopSignals::received() && std::getline(std::cin, task)) {
        // More is asked for before the answers, which take longer to read.
        if (task.empty()) {
            answers.prepend("more\n");
            flush();
            continue;
        }
        if (task.front() == '+') {
            const auto told = EarlierSaves::fromJson(
                QByteArray::fromBase64(QByteArray::fromStdString(task.substr(1))));
            if (!told)
                return BatchStatus::Usage;
            known.byTarget.insert(told->saved.byTarget);
            known.runs = told->saved.runs;
            continue;
        }
        // "INDEX DRAWING".
        const QList<QByteArray> fields = QByteArray::fromStdString(task).split(' ');
        bool ok = false;
        index = fields.constFirst().toInt(&ok);
        if (!ok || index < 0 || fields.size() != 2)
            return BatchStatus::Usage;
        const QString drawing = QString::fromUtf8(QByteArray::fromBase64(fields.at(1)));
        note(QByteArray::number(index));
        crash = plantFault(drawing, true);
        WorkerResult result;
        lines.clear();
        for (qsizetype r = 0; r < formats.size() && !result.stopped; ++r) {
            DrawingRecord &record = result.runs.emplace_back();
            const int runsBefore = known.runs;
            try {
                call.run(drawing, index + 1, 0, formats.at(r), known, record, false, Echo::All);
            } catch (const BatchStopped &) {
                result.stopped = true;
            }
            result.started.append(known.runs > runsBefore);
        }
        // The drawing's saves are the call's to record once it knows they stand: a later drawing
        // must not refuse a name for a save that may yet be undone.
        for (const DrawingRecord &record : std::as_const(result.runs)) {
            for (const SheetSave &sheet : record.sheets) {
                if (sheet.status == SheetSave::Status::Saved)
                    known.byTarget.remove(sheet.target.toCaseFolded());
            }
        }
        result.lines = lines;
        result.staged = staging.files();
        staging.clear();
        const QByteArray encoded = result.encode();
        answers += "result " + QByteArray::number(encoded.size()) + '\n' + encoded;
        if (result.stopped)
            flush();
    }
    // Stopped between drawings, the answers held back still go.
    flush();
    return BatchStatus::Saved;
}

int runPlanShard(BatchHost &host, const BatchPlan &plan, const QByteArray &planDigest,
    const std::optional<QString> &reportFile, const Shard &shard)
{
    Quilletmain::fillFromVersionResource();
    BatchOptions options = plan.options;
    options.report = reportFile;
    BatchCall call(host, options);
    BatchReport report = call.report();
    // Each run's drawing in the plan; the call's own entries come before every drawing.
    QList<int> planIndexes;
    int status = BatchStatus::Saved;
    if (shard.index == 1) {
        status = call.reportFolders(plan.unreadableFolders, plan.emptyFolders, report);
        planIndexes.fill(-1, report.drawings.size());
    }

    // The call's record of saved files as the runs before each run leave it, whichever process
    // saves them: every run refuses the names the plan gave earlier runs, as in one process.
    SavedTargets saved;
    const QList<int> formats = call.formats();
    const int drawingCount = int(plan.drawings.size());
    for (int i = 0; i < drawingCount; ++i) {
        const PlannedDrawing &drawing = plan.drawings.at(i);
        const QString host = hostPath(drawing.path);
        if (!shard.holds(i)) {
            for (const PlannedRun &run : drawing.runs)
                addPlanned(saved, host, run);
            continue;
        }
        const QString stale = staleness(call, drawing, i, drawingCount, saved);
        if (!stale.isEmpty())
            call.console.printError(QStringLiteral("quillet-batch: ") + drawing.given + stale);
        for (qsizetype r = 0; r < drawing.runs.size(); ++r) {
            const PlannedRun &planned = drawing.runs.at(r);
            DrawingRecord &record = report.drawings.emplace_back();
            planIndexes.append(i);
            if (!stale.isEmpty()) {
                record.path = drawing.path;
                record.format = planned.format;
                recordError(record, BatchStatus::RunError,
                    QStringLiteral("quillet-batch: ") + drawing.given + stale, 0);
            } else {
                if (planned.number)
                    saved.runs = *planned.number - 1;
                call.run(drawing.given, i + 1, drawingCount, formats.at(r), saved, record, false,
                    Echo::All);
            }
            status = std::max(status, record.status);
            addPlanned(saved, host, planned);
        }
    }
    call.console.clearProgress();
    report.status = status;
    return call.writeReport(
        [&] { return shardReportJson(report, planIndexes, planDigest, shard); }, status);
}
