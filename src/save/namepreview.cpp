#include "namepreview.h"

#include "filenamebuilder.h"
#include "platform/blanks.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "runpreparation.h"
#include "saverun.h"
#include "savestate.h"

namespace {

const QString heading = QStringLiteral("Next file: ");

NamePreview preview(const SaveState &opened, const RunChoices &choices)
{
    SaveState state = opened;
    prepareRun(state, choices);
    CadDocument &drawing = *state.activeDoc;
    const std::shared_ptr<CadSheet> current = drawing.GetCurrentSheet();
    const QStringList sheets = runSheetNames(state, current ? current->GetName() : QString());
    if (sheets.isEmpty())
        return { QStringLiteral("(no sheet chosen)") };
    // The current sheet when the run saves it, else the run's first, named so that the user
    // does not take its name for the current sheet's.
    const qsizetype currentIndex = current ? sheets.indexOf(current->GetName()) : -1;
    const qsizetype shown = std::max<qsizetype>(currentIndex, 0);
    const FileSystemObject fso;
    state.docBaseName = fso.GetBaseName(state.docPathName);
    state.curSheetName = sheets.at(shown);
    state.curSheetNumber = int(shown) + 1;
    state.selSheetCount = int(sheets.size());

    const bool native = OutputFormats::isNative(state.choices.outFmtIndex);
    ModelLookup lookup;
    if (native) {
        const std::shared_ptr<CadView> view = propertiesView(drawing, false);
        lookup.configuration = view->ConfigurationName();
        // GO! loads the model first; until then its properties are unknown.
        lookup.pending = !view->ModelLoaded();
        if (!lookup.pending) {
            lookup.model = view->ReferencedDocument();
            if (!lookup.model)
                throw modelNotLoaded();
            nameModelFile(lookup);
        }
    }
    const QString name
        = filenameFromFields(state.fmtFields, state, drawing, native ? &lookup : nullptr);
    const QString path = fso.buildpath(plannedOutputDirectory(state),
        trimBlanks(name + OutputFormats::tag(state.choices.outFmtIndex)));
    return { path
            + (current && currentIndex < 0 ? QStringLiteral(" (sheet ") + state.curSheetName
                        + QStringLiteral("; the current sheet is not saved)")
                                           : QString())
            + (lookup.pending ? QStringLiteral(" (model not loaded)") : QString()),
        0, path.lastIndexOf(QLatin1Char('\\')) + 1 };
}

} // namespace

NamePreview namePreview(const SaveState &opened, const RunChoices &choices)
{
    if (!opened.activeDoc)
        return { heading + QStringLiteral("(no drawing)") };
    try {
        NamePreview shown = preview(opened, choices);
        shown.line.prepend(heading);
        if (shown.nameFrom >= 0) {
            shown.dirFrom += heading.size();
            shown.nameFrom += heading.size();
        }
        return shown;
    } catch (const QuilletError &error) {
        return { heading + QLatin1Char('(') + error.description + QLatin1Char(')') };
    }
}
