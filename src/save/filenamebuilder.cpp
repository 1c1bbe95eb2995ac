#include "filenamebuilder.h"

#include "addin/quilletmain.h"
#include "custompropertycopy.h"
#include "pathutils.h"
#include "platform/blanks.h"
#include "platform/clock.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "runsurroundings.h"
#include "savestate.h"

#include <optional>

namespace {

ModelLookup resolveModel(SaveState &state, CadDocument &drawing, RunSurroundings &surroundings)
{
    const std::shared_ptr<CadView> view = propertiesView(drawing, true);
    if (!view->ModelLoaded() && view->LoadReferencedModel() != 1)
        throw modelNotLoaded();

    ModelLookup lookup;
    int activateErrors = 0;
    lookup.model = state.app->ActivateDocument(view->ModelPathName(), true, activateErrors);
    state.activateErrors = activateErrors;
    if (activateErrors != 0 || !lookup.model) {
        throw QuilletError(11301,
            QStringLiteral("Error [") + QString::number(activateErrors)
                + QStringLiteral("] activating SW Model."));
    }
    lookup.configuration = view->ConfigurationName();

    // A failed copy is reported and the name is still built.
    const bool copied = copyCustomProps(*lookup.model, lookup.configuration, drawing);
    surroundings.appendLog(copied ? QStringLiteral("CPs Copied Successfully...")
                                  : QStringLiteral("Error copying CPs!"));
    surroundings.appendLog(QString());

    nameModelFile(lookup);

    const QString viewName = view->ViewName();
    if (state.choices.displayDiags) {
        surroundings.appendLog(QStringLiteral("Renaming Drawing Document..."));
        surroundings.appendLog(QStringLiteral("Sheet: ") + state.curSheetName);
        surroundings.appendLog(QStringLiteral("View: ") + viewName);
        surroundings.appendLog(QStringLiteral("Model: ") + lookup.fileName);
        surroundings.appendLog(QStringLiteral("Configuration: ") + lookup.configuration);
        surroundings.appendLog(QString());
    } else {
        state.app->MainFrame()->SetStatusBarText(Quilletmain::productAndVersion()
            + QStringLiteral(": [View: ") + viewName + QStringLiteral("] [Model: ")
            + lookup.fileName + QStringLiteral("] [Configuration: ") + lookup.configuration
            + QLatin1Char(']'));
    }
    return lookup;
}

// The value of a keyword; nothing when the key is not one.
std::optional<QString> keywordValue(
    const QString &key, const SaveState &state, const ModelLookup &lookup)
{
    if (key == QLatin1String("DRWNAME") || key == QLatin1String("FILENAME"))
        return state.docBaseName;
    if (key == QLatin1String("SHEETNAME"))
        return state.curSheetName;
    if (key == QLatin1String("SHEETNUMBER") || key == QLatin1String("CURRENTSHEETNUMBER"))
        return QString::number(state.curSheetNumber);
    if (key == QLatin1String("TOTALSELSHEETS"))
        return QString::number(state.selSheetCount);
    if (key == QLatin1String("TOTALDOCSHEETS") || key == QLatin1String("TOTALDRWSHEETS"))
        return QString::number(state.docSheetCount);
    if (key == QLatin1String("DATE"))
        return Clock::now().toString(QStringLiteral("yyyy-MM-dd"));
    if (key == QLatin1String("YEAR"))
        return Clock::now().toString(QStringLiteral("yyyy"));
    if (key == QLatin1String("MONTH"))
        return Clock::now().toString(QStringLiteral("MM"));
    if (key == QLatin1String("DAY"))
        return Clock::now().toString(QStringLiteral("dd"));
    if (key == QLatin1String("TIME"))
        return Clock::now().toString(QStringLiteral("HH_mm"));
    if (key == QLatin1String("MODELNAME") || key == QLatin1String("MODELFILENAME")
        || key == QLatin1String("MODELFILENAMEWITHOUTEXTN"))
        return lookup.baseName;
    if (key == QLatin1String("MODELFILENAMEWITHEXTN"))
        return lookup.fileName;
    return std::nullopt;
}

// The fields' values joined, not yet cleaned: keywords from the state and the lookup, custom
// properties from the model (native format: pass the lookup; found is set when a property had a
// value) or from the drawing's general properties (other formats: pass nullptr).
QString joinFields(const QStringList &fmtFields, const SaveState &state, CadDocument &drawing,
    const ModelLookup *model, bool &found)
{
    const ModelLookup none;
    const ModelLookup &lookup = model ? *model : none;
    QString name;
    for (const QString &field : fmtFields) {
        const QString key = trimBlanks(field);
        if (key.isEmpty())
            continue;
        if (const std::optional<QString> keyword = keywordValue(key, state, lookup)) {
            name += *keyword;
        } else if (model) {
            QString value;
            if (lookup.model) {
                value = lookup.model->CustomPropertyValue(lookup.configuration, key);
                if (value.isEmpty())
                    value = lookup.model->CustomPropertyValue(QString(), key);
            }
            found = found || !value.isEmpty();
            name += value.isEmpty() ? field : value;
        } else {
            const QString value = drawing.CustomInfo2(QString(), field);
            name += value.isEmpty() ? key : trimBlanks(value);
        }
    }
    return name;
}

} // namespace

QuilletError modelNotLoaded()
{
    return QuilletError(11201, QStringLiteral("Model referred in view could not be loaded."));
}

void nameModelFile(ModelLookup &lookup)
{
    const FileSystemObject fso;
    const QString modelPath = lookup.model->PathName();
    if (fso.fileexists(modelPath)) {
        lookup.fileName = fso.GetFileName(modelPath);
        lookup.baseName = fso.GetBaseName(modelPath);
    }
}

std::shared_ptr<CadView> propertiesView(CadDocument &drawing, bool activate)
{
    const std::shared_ptr<CadView> sheetView = drawing.FirstView();
    const std::shared_ptr<CadView> firstDrawingView
        = sheetView ? sheetView->GetNextView() : nullptr;
    if (!firstDrawingView)
        throw QuilletError(10801, QStringLiteral("No valid drawing views found."));

    const std::shared_ptr<CadSheet> sheet = drawing.CurrentSheet();
    if (!sheet)
        throw QuilletError(11001, QStringLiteral("Invalid drawing sheet."));
    const QString marked = sheet->PropertiesViewName();
    const QString viewName
        = marked == QLatin1String("Default") ? firstDrawingView->ViewName() : marked;
    std::shared_ptr<CadView> candidate;
    if (activate) {
        if (!drawing.ActivateViewByName(viewName))
            throw QuilletError(10901, QStringLiteral("Error activating default view."));
        candidate = drawing.ActiveView();
    } else {
        for (auto view = firstDrawingView; view && !candidate; view = view->GetNextView()) {
            if (view->ViewName() == viewName)
                candidate = view;
        }
        if (!candidate)
            throw QuilletError(10901, QStringLiteral("Error activating default view."));
    }

    // A drawing view selected by the user wins over the sheet's own choice; other selected
    // objects do not count.
    if (const std::shared_ptr<CadSelectionManager> selection = drawing.SelectionManager()) {
        const int count = selection->SelectedCount();
        for (int i = 1; i <= count; ++i) {
            if (selection->SelectedType(i) == CadCode::SelDrawingView) {
                candidate = std::dynamic_pointer_cast<CadView>(selection->SelectedObject(i));
                break;
            }
        }
    }
    if (!candidate || candidate->ViewType() == CadCode::ViewSheet)
        throw QuilletError(11101, QStringLiteral("Selected view is invalid."));
    return candidate;
}

QString filenameFromFields(const QStringList &fmtFields, const SaveState &state,
    CadDocument &drawing, const ModelLookup *model)
{
    bool found = !model || model->pending;
    const QString name = joinFields(fmtFields, state, drawing, model, found);
    if (!found)
        throw QuilletError(
            11401, QStringLiteral("All specified Custom Property Values returned NULL."));
    return cleanString(name, Quilletmain::unwantedFileChars);
}

QString getFilenameFromDoc(SaveState &state, CadDocument &drawing, const QStringList &fmtFields,
    RunSurroundings &surroundings)
{
    Quilletmain::curProcName = QStringLiteral("getFilenameFromDoc");
    const bool native = OutputFormats::isNative(state.choices.outFmtIndex);
    const ModelLookup lookup = native ? resolveModel(state, drawing, surroundings) : ModelLookup();
    return filenameFromFields(fmtFields, state, drawing, native ? &lookup : nullptr);
}
