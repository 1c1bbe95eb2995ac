#include "refreshrules.h"

#include "formats/outputformats.h"

ControlStates refreshRules(const RunChoices &choices, int sheetEntries)
{
    const qsizetype selectedSheets = choices.selectedSheets.size();
    const bool pdf = OutputFormats::isPdf(choices.outFmtIndex);
    const bool native = OutputFormats::isNative(choices.outFmtIndex);
    // One file for all sheets, and the native format's copies of the whole drawing, need every
    // sheet; eDrawing only ever saves the current one.
    const bool forceAll = (pdf && choices.pdfSingleFile) || native;

    ControlStates states;
    states.sheetSelType = forceAll ? SheetChoice::All : choices.sheetSelType;
    states.pdfSingleFileEnabled = pdf;
    states.sheetFrameEnabled = !forceAll && !OutputFormats::isEDrawing(choices.outFmtIndex);
    states.listSheetsEnabled
        = states.sheetFrameEnabled && states.sheetSelType == SheetChoice::Selected;
    states.allSheetSelEnabled = states.listSheetsEnabled && selectedSheets != sheetEntries;
    states.clrSheetSelEnabled = states.listSheetsEnabled && selectedSheets > 0;
    states.formatListKey = OutputFormats::formatListKey(choices.outFmtIndex, choices.pdfSingleFile);
    states.goEnabled = selectedSheets > 0 || states.sheetSelType != SheetChoice::Selected
        || !states.sheetFrameEnabled;
    states.mnuDestDirEnabled = choices.useDestDirs;
    return states;
}
