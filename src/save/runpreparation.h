#pragma once

#include "addin/CadHost.h"
#include "destdirs/destdirtable.h"
#include "formats/outputformats.h"
#include "maindialog/refreshrules.h"

#include <QString>
#include <QStringList>

struct SaveState;

// What the user chose for one run: the main dialog's controls at Go, or quillet-batch's options
// and the stored choices.
struct RunChoices {
    int outFmtIndex = OutputFormats::nativeIndex;
    bool pdfSingleFile = false;
    SheetChoice sheetSelType = SheetChoice::Current;
    // The selected entries of the sheet list, first to last.
    QStringList selectedSheets;
    bool displayDiags = true;
    bool useDestDirs = false;
    DestDirTable ocDestDir;
    // The output base directory, in Windows path text.
    QString baseDir;
    // The filename format as typed, before cleaning.
    QString filenameFmt;
};

// The main dialog's load checks: the host's active document must be a drawing. Records
// "usrForm Load" as the procedure, raises 10101 "No active document in SolidWorks." or 10201
// "Document open in SolidWorks is not a drawing.", and returns a state holding the drawing, its
// path name and its sheets.
SaveState openActiveDrawing(CadApplication &app);

// Makes state ready for the save run with these choices, as Go does: the sheet choice that the
// format forces, the sheet frame's state, and the filename format cleaned and split at "|".
// Raises 10401 "Invalid or empty filename specification." when nothing is left of the filename
// format. Returns the control states the choices give, so a caller without controls can tell
// whether Go would be enabled.
ControlStates prepareRun(SaveState &state, const RunChoices &choices);
