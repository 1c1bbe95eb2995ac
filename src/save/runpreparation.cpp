#include "runpreparation.h"

#include "addin/quilletmain.h"
#include "pathutils.h"
#include "platform/quilleterror.h"
#include "savestate.h"

SaveState openActiveDrawing(const std::shared_ptr<CadApplication> &app)
{
    Quilletmain::curProcName = QStringLiteral("usrForm Load");
    SaveState state;
    state.app = app;
    state.activeDoc = app->ActiveDocument();
    if (!state.activeDoc)
        throw QuilletError(10101, QStringLiteral("No active document in SolidWorks."));
    if (state.activeDoc->DocumentType() != CadCode::DocDrawing)
        throw QuilletError(10201, QStringLiteral("Document open in SolidWorks is not a drawing."));
    state.docPathName = state.activeDoc->PathName();
    state.docSheetCount = state.activeDoc->GetSheetCount();
    state.docSheetNames = state.activeDoc->GetSheetNames();
    return state;
}

ControlStates prepareRun(SaveState &state, const RunChoices &choices)
{
    const ControlStates controls = refreshRules(choices, state.docSheetCount);
    state.choices = choices;
    state.choices.sheetSelType = controls.sheetSelType;
    state.sheetFrameEnabled = controls.sheetFrameEnabled;

    state.filenameFormat = cleanString(choices.filenameFmt, Quilletmain::unwantedPathChars);
    if (state.filenameFormat.isEmpty())
        throw QuilletError(10401, QStringLiteral("Invalid or empty filename specification."));
    state.fmtFields = state.filenameFormat.split(QLatin1Char('|'));
    return controls;
}
