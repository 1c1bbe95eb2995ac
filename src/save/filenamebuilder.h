#pragma once

#include "addin/CadHost.h"
#include "platform/quilleterror.h"

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
    // The model is not loaded yet, so its properties are unknown: none counts as missing.
    bool pending = false;
    QString configuration;
    QString fileName;
    QString baseName;
};

// The view whose model names the file of the drawing's current sheet: the sheet's properties view,
// or the first selected drawing view, which wins. With activate the view is found as the host
// finds it, by activating it by name; without, only by reading, for a preview. Raises 10801,
// 11001, 10901 and 11101 as the filename builder does.
std::shared_ptr<CadView> propertiesView(CadDocument &drawing, bool activate);

// The error of a view whose model cannot be had: 11201.
QuilletError modelNotLoaded();
// The model's file name with and without its extension, when its file is on disk.
void nameModelFile(ModelLookup &lookup);

// The file name the fields give, cleaned of what a file name cannot hold: keywords from the state
// and the lookup, custom properties from the model (native format: pass the lookup) or from the
// drawing's general properties (other formats: pass nullptr). In the native format a name none of
// whose properties had a value raises 11401. Reads only.
QString filenameFromFields(const QStringList &fmtFields, const SaveState &state,
    CadDocument &drawing, const ModelLookup *model);

// The base name (no directory, no extension) of the output file for the drawing's active sheet,
// built from the fields of the filename format. In the native drawing format it first resolves the
// view whose model gives the properties, activates that model, copies its properties into the
// drawing and reports view, model and configuration. Every failure is raised with the procedure
// name recorded last as its source.
QString getFilenameFromDoc(SaveState &state, CadDocument &drawing, const QStringList &fmtFields,
    RunSurroundings &surroundings);
