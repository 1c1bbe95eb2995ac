#include "namepreview.h"

#include "addin/quilletmain.h"
#include "destdirs/destdirtable.h"
#include "filenamebuilder.h"
#include "pathutils.h"
#include "platform/blanks.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "runpreparation.h"
#include "saverun.h"
#include "savestate.h"

namespace {

const QString heading = QStringLiteral("Next file: ");

// The directory the file would go to; nothing is made.
QString outputDirectory(const SaveState &state)
{
    if (!state.useDestDirs)
        return state.baseDir;
    return plannedDestDir(
        state.ocDestDir.entry(OutputFormats::destDirKey(state.outFmtIndex)), state.baseDir);
}

QString preview(const SaveState &opened, const RunChoices &choices)
{
    SaveState state = opened;
    prepareRun(state, choices);
    CadDocument &drawing = *state.activeDoc;
    const std::shared_ptr<CadSheet> current = drawing.GetCurrentSheet();
    const QStringList sheets = runSheetNames(state, current ? current->GetName() : QString());
    if (sheets.isEmpty())
        return QStringLiteral("(no sheet chosen)");
    // The current sheet when the run saves it, else the run's first.
    const qsizetype currentIndex = current ? sheets.indexOf(current->GetName()) : -1;
    const qsizetype shown = std::max<qsizetype>(currentIndex, 0);
    const FileSystemObject fso;
    state.docBaseName = fso.GetBaseName(state.docPathName);
    state.curSheetName = sheets.at(shown);
    state.curSheetNumber = int(shown) + 1;
    state.selSheetCount = int(sheets.size());

    const bool native = OutputFormats::isNative(state.outFmtIndex);
    ModelLookup lookup;
    QString note;
    bool found = !native;
    if (native) {
        const std::shared_ptr<CadView> view = propertiesView(drawing, false);
        lookup.configuration = view->ConfigurationName();
        if (!view->ModelLoaded()) {
            // GO! loads the model first; until then its properties are unknown.
            note = QStringLiteral(" (model not loaded)");
            found = true;
        } else {
            lookup.model = view->ReferencedDocument();
            if (!lookup.model)
                throw QuilletError(
                    11201, QStringLiteral("Model referred in view could not be loaded."));
            const QString modelPath = lookup.model->PathName();
            if (fso.fileexists(modelPath)) {
                lookup.fileName = fso.GetFileName(modelPath);
                lookup.baseName = fso.GetBaseName(modelPath);
            }
        }
    }
    const QString name
        = joinFields(state.fmtFields, state, drawing, native ? &lookup : nullptr, found);
    if (!found)
        throw QuilletError(
            11401, QStringLiteral("All specified Custom Property Values returned NULL."));
    return fso.buildpath(outputDirectory(state),
               trimBlanks(cleanString(name, Quilletmain::unwantedFileChars)
                   + OutputFormats::tag(state.outFmtIndex)))
        + note;
}

} // namespace

QString namePreview(const SaveState &opened, const RunChoices &choices)
{
    if (!opened.activeDoc)
        return heading + QStringLiteral("(no drawing)");
    try {
        return heading + preview(opened, choices);
    } catch (const QuilletError &error) {
        return heading + QLatin1Char('(') + error.description + QLatin1Char(')');
    }
}
