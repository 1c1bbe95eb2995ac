#include "batchrun.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
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
#include "standinhost.h"

#include <QFileInfo>

namespace {

// The log window of the console: every line appended is printed at once, unless quiet; each
// sheet's save is recorded for the report.
class ConsoleSurroundings : public RunSurroundings {
public:
    // The run is of the drawing-th drawing of the batch's drawings.
    ConsoleSurroundings(
        Console &console, bool quiet, int drawing, int drawings, QList<SheetSave> &sheets)
        : console(console)
        , quiet(quiet)
        , drawing(drawing)
        , drawings(drawings)
        , sheets(sheets)
    {
    }
    void refreshLog() override { }
    void showLogModeless() override { }
    void hideLog() override { }
    void showLogModal() override { }
    void hideMainDialog() override { }
    void showProgress(int sheetsDone, int sheetCount) override
    {
        // The sheet in work, or the last one once all are done.
        if (console.showsProgress()) {
            console.setProgress(QStringLiteral("drawing %1 of %2, sheet %3 of %4")
                                    .arg(drawing)
                                    .arg(drawings)
                                    .arg(qMin(sheetsDone + 1, sheetCount))
                                    .arg(sheetCount));
        }
    }
    void sheetSaved(const SheetSave &save) override { sheets.append(save); }
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

void openDrawing(StandInApplication &app, const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: no such drawing: ") + path };
    }
    const QString absolutePath = info.absoluteFilePath();
    onMappedDrive(absolutePath, QStringLiteral("drawing"));
    try {
        app.open(absolutePath);
    } catch (const std::exception &error) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: ") + QString::fromUtf8(error.what()) };
    }
}

int runDrawing(StandInApplication &app, const BatchOptions &options, const StoredChoices &stored,
    const QString &drawingPath, int outFmtIndex, RunSurroundings &surroundings,
    DrawingRecord &record, SavedTargets &saved)
{
    openDrawing(app, drawingPath);
    SaveState state;
    try {
        state = openActiveDrawing(app.shared_from_this());
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
        state.dryRun = options.dryRun;
        state.savedTargets = &saved;
        // Only a run that starts, and saves, leaves its mark on the PDF writer.
        if (!options.dryRun)
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

} // namespace

int runBatch(StandInApplication &app, const BatchOptions &options)
{
    Quilletmain::fillFromVersionResource();
    Console console(!options.quiet);
    const QMetaObject::Connection statusBar
        = QObject::connect(app.frame().get(), &StandInFrame::statusBarTextChanged,
            [&console](const QString &text) { console.printError(text); });
    // The host's own word on a drawing, such as what a DXF sheet could not show.
    const QMetaObject::Connection hostMessages
        = QObject::connect(&app, &StandInApplication::message, [&console](const QString &text) {
              console.printError(QStringLiteral("quillet-batch: ") + text);
          });

    const QSettingsStore settings;
    const StoredChoices stored = StoredChoices::read(settings);
    const QList<int> formats = options.outFmtIndexes.isEmpty()
        ? QList<int> { stored.run.outFmtIndex }
        : options.outFmtIndexes;
    BatchReport report = reportOptions(options, stored, formats);
    int status = BatchStatus::Saved;
    // One call never writes a file twice: every run refuses the files of the runs before it.
    SavedTargets saved;

    const DrawingArguments arguments = expandDrawingArguments(options.drawings);
    // A folder's drawings that could not be seen were not saved, so the batch cannot end well.
    for (const QString &folder : arguments.unreadableFolders) {
        console.printError(QStringLiteral("quillet-batch: cannot read folder ") + folder
            + QStringLiteral(", skipped"));
        status = BatchStatus::RunError;
    }
    for (const QString &folder : arguments.emptyFolders) {
        const QString line = QStringLiteral("quillet-batch: no drawings in ") + folder;
        console.printError(line);
        DrawingRecord &record = report.drawings.emplace_back();
        record.path = QFileInfo(folder).absoluteFilePath();
        recordError(record, BatchStatus::RunError, line, 0);
        status = BatchStatus::RunError;
    }

    const int drawingCount = int(arguments.drawings.size());
    for (int i = 0; i < drawingCount; ++i) {
        const QString &drawing = arguments.drawings.at(i);
        for (const int format : formats) {
            DrawingRecord &record = report.drawings.emplace_back();
            record.path = QFileInfo(drawing).absoluteFilePath();
            record.format = OutputFormats::caption(format);
            ConsoleSurroundings surroundings(
                console, options.quiet, i + 1, drawingCount, record.sheets);
            try {
                record.status = runDrawing(
                    app, options, stored, drawing, format, surroundings, record, saved);
            } catch (const BatchError &error) {
                const QString line = messageLine(error.message);
                console.printError(line);
                recordError(record, error.status, line, error.number);
            } catch (const QuilletError &error) {
                const QString line
                    = messageLine(ErrorText::commandFailure(error, Quilletmain::curProcName));
                console.printError(line);
                recordError(record, BatchStatus::RunError, line, error.number);
            }
            status = std::max(status, record.status);
            // Each run starts in an empty host, as if the drawing were opened on its own.
            app.closeAllDocuments();
        }
    }
    console.clearProgress();

    if (options.dryRun) {
        for (const QString &line : dryRunListing(report.drawings))
            console.printLog(line);
    }
    report.status = status;
    QString why;
    if (options.report && !writeReport(*options.report, report.toJson(), &why)) {
        console.printError(QStringLiteral("quillet-batch: cannot write the report ")
            + *options.report + QStringLiteral(": ") + why);
        status = std::max(status, int(BatchStatus::RunError));
    }
    QObject::disconnect(statusBar);
    QObject::disconnect(hostMessages);
    return status;
}
