#pragma once

#include "addin/CadHost.h"
#include "destdirs/destdirtable.h"
#include "formats/outputformats.h"

#include <QString>
#include <QStringList>
#include <memory>

struct SavedTargets;

// The main dialog's state that the filename builder and the save run read and write. The run
// preparation fills the first block before a run.
struct SaveState {
    std::shared_ptr<CadDocument> activeDoc;
    QString docPathName;
    int docSheetCount = 0;
    QStringList docSheetNames;

    int outFmtIndex = OutputFormats::nativeIndex;
    QString filenameFormat;
    QStringList fmtFields;

    SheetChoice sheetSelType = SheetChoice::Current;
    bool sheetFrameEnabled = true;
    // The selected entries of the sheet list, first to last.
    QStringList selectedSheets;
    bool displayDiags = true;
    bool useDestDirs = false;
    DestDirTable ocDestDir;
    // The output base directory: the path of the directory box.
    QString baseDir;
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
