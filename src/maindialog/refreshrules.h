#pragma once

#include "save/runchoices.h"

#include <QString>

// What the dialog shows for those choices; quillet-batch applies the same rules.
struct ControlStates {
    // The sheet choice after forcing "All Sheets" where the format needs it.
    SheetChoice sheetSelType = SheetChoice::Current;
    bool pdfSingleFileEnabled = false;
    // The sheet selection frame, and with it the three sheet choice options.
    bool sheetFrameEnabled = false;
    bool listSheetsEnabled = false;
    bool allSheetSelEnabled = false;
    bool clrSheetSelEnabled = false;
    bool goEnabled = false;
    bool mnuDestDirEnabled = false;
    // The format list key whose list and current format the format box shows.
    QString formatListKey;
};

// The states for the choices, with sheetEntries entries in the sheet list: the format, Single
// File, the sheet choice, how many sheets are selected and destination directories in use decide.
ControlStates refreshRules(const RunChoices &choices, int sheetEntries);
