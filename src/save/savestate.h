#pragma once

#include "addin/CadHost.h"
#include "runchoices.h"

#include <QString>
#include <QStringList>
#include <memory>

struct SavedTargets;

// What the filename builder and the save run read and write: the host and the drawing, the run's
// choices, and the run's progress. openActiveDrawing fills the first block and the run
// preparation the second, before a run.
struct SaveState {
    // The host the run works in; the run reaches every document through it.
    std::shared_ptr<CadApplication> app;
    std::shared_ptr<CadDocument> activeDoc;
    QString docPathName;
    int docSheetCount = 0;
    QStringList docSheetNames;

    // As chosen, but for the sheet choice, which is the one the format forces.
    RunChoices choices;
    // Whether the sheet choice counts at all: the format may grey it out.
    bool sheetFrameEnabled = true;
    // The filename format cleaned, and its fields.
    QString filenameFormat;
    QStringList fmtFields;
    // A dry run goes through every step and logs every name, but saves no file and makes no
    // directory; the run preparation leaves it as the caller set it.
    bool dryRun = false;
    // The files earlier runs of the caller saved, which this run will not write again and adds
    // its own to; owned by the caller. None: the run starts an empty record of its own, so a
    // new run replaces the files of the runs before it.
    SavedTargets *savedTargets = nullptr;

    // Written by the run.
    QString docBaseName;
    QString curSheetName;
    int curSheetNumber = 0;
    int selSheetCount = 0;
    int activateErrors = 0;
    QString s_DirSpec;
};
