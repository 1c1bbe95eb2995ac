#include "refreshrules.h"

#include "formats/outputformats.h"

ControlStates refreshRules(const DialogChoices &choices)
{
    const bool pdf = choices.outFmtIndex == OutputFormats::pdfIndex;
    const bool native = choices.outFmtIndex == OutputFormats::nativeIndex;
    // One file for all sheets, and the native format's copies of the whole drawing, need every
    // sheet; eDrawing only ever saves the current one.
    const bool forceAll = (pdf && choices.pdfSingleFile) || native;

    ControlStates states;
    states.sheetSelType = forceAll ? 1 : choices.sheetSelType;
    states.pdfSingleFileEnabled = pdf;
    states.sheetFrameEnabled = !forceAll && choices.outFmtIndex != OutputFormats::eDrawingIndex;
    states.listSheetsEnabled = states.sheetFrameEnabled && states.sheetSelType == 2;
    states.allSheetSelEnabled
        = states.listSheetsEnabled && choices.selectedSheets != choices.sheetEntries;
    states.clrSheetSelEnabled = states.listSheetsEnabled && choices.selectedSheets > 0;
    states.formatListKey = OutputFormats::formatListKey(choices.outFmtIndex, choices.pdfSingleFile);
    states.goEnabled
        = choices.selectedSheets > 0 || states.sheetSelType < 2 || !states.sheetFrameEnabled;
    states.mnuDestDirEnabled = choices.useDestDirs;
    return states;
}
