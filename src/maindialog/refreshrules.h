#pragma once

#include "formats/outputformats.h"

#include <QString>

// The main dialog's choices that decide which controls are enabled.
struct DialogChoices {
    int outFmtIndex = 0;
    bool pdfSingleFile = false;
    SheetChoice sheetSelType = SheetChoice::Current;
    int sheetEntries = 0;
    int selectedSheets = 0;
    bool useDestDirs = false;
};

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

ControlStates refreshRules(const DialogChoices &choices);
