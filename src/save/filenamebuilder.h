#pragma once

#include "addin/CadHost.h"

#include <QString>
#include <QStringList>
#include <memory>

class RunSurroundings;
struct SaveState;

// What the view resolution found in the native drawing format: the model whose properties name
// the file, the configuration the view shows, and the model's file name with and without its
// extension (empty when the file is not on disk).
struct ModelLookup {
    std::shared_ptr<CadDocument> model;
    QString configuration;
    QString fileName;
    QString baseName;
};

// The view whose model names the file of the drawing's current sheet: the sheet's properties view,
// or the first selected drawing view, which wins. With activate the view is found as the host
// finds it, by activating it by name; without, only by reading, for a preview. Raises 10801,
// 11001, 10901 and 11101 as the filename builder does.
std::shared_ptr<CadView> propertiesView(CadDocument &drawing, bool activate);

// The fields' values joined, not yet cleaned: keywords from the state and the lookup, custom
// properties from the model (native format: pass the lookup; found is set when a property had a
// value) or from the drawing's general properties (other formats: pass nullptr). Reads only.
QString joinFields(const QStringList &fmtFields, const SaveState &state, CadDocument &drawing,
    const ModelLookup *model, bool &found);

// The base name (no directory, no extension) of the output file for the drawing's active sheet,
// built from the fields of the filename format. In the native drawing format it first resolves the
// view whose model gives the properties, activates that model, copies its properties into the
// drawing and reports view, model and configuration. Every failure is raised with the procedure
// name recorded last as its source.
QString getFilenameFromDoc(SaveState &state, CadDocument &drawing, const QStringList &fmtFields,
    RunSurroundings &surroundings);
