#include "saverun.h"

#include "addin/quilletmain.h"
#include "filenamebuilder.h"
#include "pathutils.h"
#include "platform/blanks.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "runsurroundings.h"
#include "savestate.h"

namespace {

const QString saveError = QStringLiteral("SOMETHING WRONG, FILE SAVE ERROR!!!");

template <typename T> T &required(const std::shared_ptr<T> &object)
{
    if (!object)
        throw QuilletError(91, QStringLiteral("Object variable or With block variable not set"));
    return *object;
}

QStringList sheetList(const SaveState &state)
{
    return runSheetNames(state,
        savesCurrentSheetOnly(state)
            ? required(required(state.activeDoc).GetCurrentSheet()).GetName()
            : QString());
}

void appendHeading(const SaveState &state, RunSurroundings &surroundings)
{
    const RunChoices &choices = state.choices;
    surroundings.appendLog(QStringLiteral("Drawing Document Name: ")
        + (state.docBaseName.isEmpty() ? QStringLiteral("NULL") : state.docBaseName));
    if (choices.useDestDirs)
        surroundings.appendLog(QStringLiteral("Using Destination Directories..."));
    surroundings.appendLog(
        QStringLiteral("Output Base Directory: ") + withClosingBackslash(choices.baseDir));
    surroundings.appendLog(QStringLiteral("Output format is ")
        + trimBlanks(OutputFormats::caption(choices.outFmtIndex)));
    surroundings.appendLog(QStringLiteral("Filename format: ") + state.filenameFormat);
    surroundings.appendLog(QStringLiteral("Document has ") + QString::number(state.docSheetCount)
        + (state.docSheetCount == 1 ? QStringLiteral(" sheet") : QStringLiteral(" sheets")));
    surroundings.appendLog(QString());
}

void appendNotes(RunSurroundings &surroundings)
{
    surroundings.appendLog(QStringLiteral("NOTES:"));
    surroundings.appendLog(QStringLiteral("     - ") + Quilletmain::productName
        + QStringLiteral(" will NOT overwrite ReadOnly files."));
    surroundings.appendLog(
        QStringLiteral("     - SolidWorks may return success even if files are NOT saved."));
    surroundings.appendLog(QStringLiteral("     - Ensure that there is adequate disk space."));
    surroundings.appendLog(
        QStringLiteral("     - Ensure write permission to destination directory."));
    surroundings.appendLog(QString());
}

QString outputDirectory(SaveState &state)
{
    const RunChoices &choices = state.choices;
    if (!choices.useDestDirs || state.dryRun)
        return plannedOutputDirectory(state);
    return resolveDestDir(choices.ocDestDir.entry(OutputFormats::destDirKey(choices.outFmtIndex)),
        choices.baseDir, state.s_DirSpec);
}

// The saved file takes the place of the drawing that was open before the run.
void replaceByLastSaved(SaveState &state, const QString &lastSaved, RunSurroundings &surroundings)
{
    CadApplication &app = required(state.app);
    CadDocument &drawing = required(state.activeDoc);
    const QString pathName = drawing.PathName();
    app.CloseDocument(pathName.isEmpty() ? drawing.Title() : pathName);
    int errors = 0;
    int warnings = 0;
    state.activeDoc
        = app.OpenDocument(lastSaved, CadCode::DocDrawing, 1, QString(), errors, warnings);
    if (state.activeDoc) {
        state.activeDoc
            = app.ActivateDocument(state.activeDoc->PathName(), true, state.activateErrors);
    }
    if (!state.activeDoc) {
        surroundings.appendLog(QStringLiteral("Error activating saved document"));
        surroundings.appendLog(QString());
    }
}

void reactivateDrawing(SaveState &state)
{
    const QString pathName = required(state.activeDoc).PathName();
    state.activeDoc = required(state.app).ActivateDocument(pathName, true, state.activateErrors);
}

// The status bar text of the run; a dry run says so, since no file was output.
QString statusText(const SaveState &state, const QString &text)
{
    return Quilletmain::productAndVersion() + QStringLiteral(": ")
        + (state.dryRun ? QStringLiteral("[dry run] ") : QString()) + text;
}

// The save status line of a sheet refused because an earlier save took its file. A sheet of an
// earlier run is named with its drawing, as sheets of two drawings often share a name.
QString nameTakenLine(const SavedTargets::Taker &taker, int run)
{
    const QString line = QStringLiteral("     Save Status [False] Not saved: sheet [")
        + taker.sheetName + QLatin1Char(']');
    if (taker.run == run)
        return line + QStringLiteral(" was saved under this name in this run");
    return line + QStringLiteral(" of drawing [") + taker.drawingPath
        + QStringLiteral("] was saved under this name in an earlier run");
}

QString failureStatusText(const SaveRunResult &result)
{
    const QString detail = result.sheets == 0
        ? QStringLiteral("[no sheet to save]")
        : QLatin1Char('[') + QString::number(result.failed) + QStringLiteral(" of ")
            + QString::number(result.sheets) + QStringLiteral(" files not saved]");
    return saveError + QLatin1Char(' ') + detail;
}

// One run: the heading, each sheet in turn, the finish. The record of the files saved so far
// lives as long as the run, or as the caller's record when it hands one.
class Run {
public:
    Run(SaveState &state, RunSurroundings &surroundings)
        : state(state)
        , surroundings(surroundings)
        , saved(state.savedTargets ? *state.savedTargets : ownRecord)
        , number(++saved.runs)
    {
    }

    SaveRunResult operator()()
    {
        const QStringList sheets = start();
        for (const QString &sheetName : sheets)
            saveSheet(sheetName);
        finish();
        return result;
    }

private:
    QStringList start()
    {
        const QStringList sheets = sheetList(state);
        state.docBaseName = FileSystemObject().GetBaseName(state.docPathName);
        required(state.activeDoc).Rebuild(1);
        if (state.choices.displayDiags) {
            surroundings.hideMainDialog();
            surroundings.showLogModeless();
            surroundings.refreshLog();
            appendHeading(state, surroundings);
        }
        state.curSheetNumber = 0;
        state.selSheetCount = int(sheets.size());
        surroundings.showProgress(0, state.selSheetCount);
        surroundings.refreshLog();
        result.sheets = int(sheets.size());
        return sheets;
    }

    void saveSheet(const QString &sheetName)
    {
        const bool diags = state.choices.displayDiags;
        state.curSheetNumber += 1;
        state.curSheetName = sheetName;
        CadDocument &drawing = required(state.activeDoc);
        if (!drawing.ActivateSheet(sheetName)) {
            throw QuilletError(
                10601, QStringLiteral("Unable to activate sheet [") + sheetName + QLatin1Char(']'));
        }
        const QString outputName = getFilenameFromDoc(state, drawing, state.fmtFields, surroundings)
            + trimBlanks(OutputFormats::tag(state.choices.outFmtIndex));
        if (diags) {
            surroundings.appendLog(
                trimBlanks(sheetName) + QStringLiteral(" filename: ") + trimBlanks(outputName));
        }
        surroundings.showProgress(state.curSheetNumber - 1, state.selSheetCount);
        surroundings.refreshLog();

        result.lastOutputDir = outputDirectory(state);
        const QString target = fso.buildpath(result.lastOutputDir, trimBlanks(outputName));
        // A name without a per-sheet field would make every sheet replace the one before; the
        // first sheet keeps the file and the others count as failed saves.
        const QString folded = target.toCaseFolded();
        const auto taker = saved.byTarget.constFind(folded);
        if (taker != saved.byTarget.cend()) {
            result.lastStatus = false;
            ++result.failed;
            if (diags) {
                surroundings.appendLog(nameTakenLine(*taker, number));
                surroundings.appendLog(QString());
            }
            surroundings.sheetSaved({ sheetName, target, SheetSave::Status::NameTaken });
            return;
        }
        SheetSave save { sheetName, target, SheetSave::Status::DryRun };
        if (state.dryRun) {
            result.lastStatus = true;
        } else {
            result.lastStatus = drawing.SaveToPath(target, 0, 3, save.errors, save.warnings);
            save.status = result.lastStatus ? SheetSave::Status::Saved : SheetSave::Status::Failed;
        }
        if (result.lastStatus) {
            lastSaved = target;
            saved.byTarget.insert(folded, { number, state.docPathName, sheetName });
        } else {
            ++result.failed;
        }
        if (diags && state.dryRun) {
            surroundings.appendLog(QStringLiteral("     Save Status [dry run]"));
            surroundings.appendLog(QString());
        } else if (diags) {
            surroundings.appendLog(QStringLiteral("     Save Status [")
                + (result.lastStatus ? QStringLiteral("True") : QStringLiteral("False"))
                + QStringLiteral("] Errors [") + QString::number(save.errors)
                + QStringLiteral("] Warnings [") + QString::number(save.warnings)
                + QLatin1Char(']'));
            surroundings.appendLog(QString());
        }
        surroundings.sheetSaved(save);
    }

    void finish()
    {
        surroundings.showProgress(state.selSheetCount, state.selSheetCount);
        // The finishing path follows the last save; the verdict counts every save of the run.
        if (result.lastStatus) {
            // A dry run wrote no file to open in the drawing's place.
            if (OutputFormats::isNative(state.choices.outFmtIndex) && !state.dryRun)
                replaceByLastSaved(state, lastSaved, surroundings);
            else
                reactivateDrawing(state);
        }
        if (!result.allSaved()) {
            surroundings.appendLog(saveError);
            surroundings.appendLog(QString());
        }

        if (state.choices.displayDiags) {
            if (result.allSaved()) {
                surroundings.appendLog(QStringLiteral("Finished, but check output files!"));
                surroundings.appendLog(QString());
            }
            appendNotes(surroundings);
            surroundings.hideLog();
            surroundings.showLogModal();
        } else {
            surroundings.hideMainDialog();
            const QString text = result.allSaved() ? QStringLiteral("Files output to [")
                    + withClosingBackslash(result.lastOutputDir) + QLatin1Char(']')
                                                   : failureStatusText(result);
            required(required(state.app).MainFrame()).SetStatusBarText(statusText(state, text));
        }
    }

    SaveState &state;
    RunSurroundings &surroundings;
    const FileSystemObject fso {};
    SavedTargets ownRecord;
    SavedTargets &saved;
    const int number;
    SaveRunResult result;
    QString lastSaved;
};

} // namespace

bool savesCurrentSheetOnly(const SaveState &state)
{
    return !state.sheetFrameEnabled || state.choices.sheetSelType == SheetChoice::Current;
}

QStringList runSheetNames(const SaveState &state, const QString &currentSheet)
{
    if (savesCurrentSheetOnly(state))
        return { currentSheet };
    if (state.choices.sheetSelType == SheetChoice::All)
        return state.docSheetNames.mid(0, state.docSheetCount);
    return state.choices.selectedSheets;
}

QString plannedOutputDirectory(const SaveState &state)
{
    const RunChoices &choices = state.choices;
    if (!choices.useDestDirs)
        return choices.baseDir;
    return plannedDestDir(
        choices.ocDestDir.entry(OutputFormats::destDirKey(choices.outFmtIndex)), choices.baseDir);
}

SaveRunResult Quillet(SaveState &state, RunSurroundings &surroundings)
{
    Quilletmain::curProcName = QStringLiteral("Quillet");
    return Run(state, surroundings)();
}
