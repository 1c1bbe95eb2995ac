#pragma once

#include "addin/CadHost.h"
#include "maindialog/refreshrules.h"
#include "runchoices.h"

#include <QString>
#include <QStringList>

struct SaveState;

// The main dialog's load checks: the host's active document must be a drawing. Records
// "usrForm Load" as the procedure, raises 10101 "No active document in SolidWorks." or 10201
// "Document open in SolidWorks is not a drawing.", and returns a state holding the drawing, its
// path name and its sheets, and the application itself, through which the run works.
SaveState openActiveDrawing(const std::shared_ptr<CadApplication> &app);

// Makes state ready for the save run with these choices, as Go does: the sheet choice that the
// format forces, the sheet frame's state, and the filename format cleaned and split at "|".
// Raises 10401 "Invalid or empty filename specification." when nothing is left of the filename
// format. Returns the control states the choices give, so a caller without controls can tell
// whether Go would be enabled.
ControlStates prepareRun(SaveState &state, const RunChoices &choices);
