#include "batchrun.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
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
#include <cstdio>

namespace {

void printLine(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Status texts and messages: one line each, trailing blanks removed.
void printError(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    printLine(stderr, line);
}

// The log window of the console: every line appended is printed at once, unless quiet.
class ConsoleSurroundings : public RunSurroundings {
public:
    explicit ConsoleSurroundings(bool quiet)
        : quiet(quiet)
    {
    }
    void refreshLog() override { }
    void showLogModeless() override { }
    void hideLog() override { }
    void showLogModal() override { }
    void hideMainDialog() override { }

protected:
    void lineAppended(const QString &line) override
    {
        if (!quiet)
            printLine(stdout, line);
    }

private:
    bool quiet;
};

class BatchError {
public:
    int status;
    QString message;
};

// The sheet choice, and the names for "Selected Sheets", from the option or the stored choice.
void chooseSheets(const BatchOptions &options, const StoredChoices &stored,
    const QString &drawingPath, const QStringList &docSheetNames, RunChoices &choices)
{
    choices.sheetSelType = stored.sheetSelType;
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
    if (!FileSystemObject().folderExists(stored.path)) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: the stored output directory does not "
                           "exist: ")
                + stored.path };
    }
    return stored.path;
}

void openDrawing(StandInApplication &app, const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: no such drawing: ") + path };
    }
    onMappedDrive(QFileInfo(path).absoluteFilePath(), QStringLiteral("drawing"));
    try {
        app.open(QFileInfo(path).absoluteFilePath());
    } catch (const std::exception &error) {
        throw BatchError { BatchStatus::RunError,
            QStringLiteral("quillet-batch: ") + QString::fromUtf8(error.what()) };
    }
}

int runDrawing(StandInApplication &app, const BatchOptions &options, const StoredChoices &stored,
    const QString &drawingPath)
{
    openDrawing(app, drawingPath);
    SaveState state;
    try {
        state = openActiveDrawing(app);
    } catch (const QuilletError &error) {
        throw BatchError { BatchStatus::RunError, ErrorText::loadFailure(error) };
    }

    RunChoices choices;
    choices.outFmtIndex = options.outFmtIndex.value_or(stored.outFmtIndex);
    choices.pdfSingleFile = options.singleFile || getPDFRegKey() == 1;
    chooseSheets(options, stored, drawingPath, state.docSheetNames, choices);
    choices.displayDiags = !options.quiet;
    choices.useDestDirs = options.useDestDirs.value_or(stored.useDestDirs);
    choices.ocDestDir = stored.ocDestDir;
    choices.baseDir = outputBase(options, stored);
    choices.filenameFmt = options.filenameFormat.value_or(stored.currentFmts.value(
        OutputFormats::formatListKey(choices.outFmtIndex, choices.pdfSingleFile),
        StoredChoices::defaultFilenameFormat));

    ConsoleSurroundings console(options.quiet);
    try {
        if (!prepareRun(state, choices).goEnabled) {
            throw BatchError { BatchStatus::Usage,
                QStringLiteral("quillet-batch: no sheet chosen; name the sheets with --sheets") };
        }
        // Only a run that starts leaves its mark on the PDF writer.
        if (OutputFormats::isPdf(choices.outFmtIndex))
            setPDFRegKey(choices.pdfSingleFile ? 1 : 0);
        const SaveRunResult result = Quillet(state, console);
        return result.allSaved() ? BatchStatus::Saved : BatchStatus::SaveFailed;
    } catch (const QuilletError &error) {
        throw BatchError { BatchStatus::RunError,
            ErrorText::commandFailure(error, Quilletmain::curProcName) };
    }
}

} // namespace

int runBatch(StandInApplication &app, const BatchOptions &options)
{
    Quilletmain::fillFromVersionResource();
    Quilletmain::hostApp = app.shared_from_this();
    QObject::connect(app.frame().get(), &StandInFrame::statusBarTextChanged,
        [](const QString &text) { printError(text); });

    const QSettingsStore settings;
    const StoredChoices stored = StoredChoices::read(settings);
    int status = BatchStatus::Saved;
    for (const QString &drawing : options.drawings) {
        try {
            status = std::max(status, runDrawing(app, options, stored, drawing));
        } catch (const BatchError &error) {
            printError(error.message);
            status = std::max(status, error.status);
        } catch (const QuilletError &error) {
            printError(ErrorText::commandFailure(error, Quilletmain::curProcName));
            status = std::max(status, int(BatchStatus::RunError));
        }
        // Each drawing starts in an empty host, as if opened on its own.
        app.closeAllDocuments();
    }
    return status;
}
