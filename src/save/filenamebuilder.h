#pragma once

#include "addin/CadHost.h"

#include <QString>
#include <QStringList>

class RunSurroundings;
struct SaveState;

// The base name (no directory, no extension) of the output file for the drawing's active sheet,
// built from the fields of the filename format. In the native drawing format it first resolves the
// view whose model gives the properties, activates that model, copies its properties into the
// drawing and reports view, model and configuration. Every failure is raised with the procedure
// name recorded last as its source.
QString getFilenameFromDoc(SaveState &state, CadDocument &drawing, const QStringList &fmtFields,
    RunSurroundings &surroundings);
