#pragma once

#include "addin/CadHost.h"
#include "destdirs/destdirtable.h"

#include <QString>
#include <QStringList>
#include <memory>

// The main dialog's state that the filename builder and the save run read and write. The dialog,
// or quillet-batch, fills the first block before a run.
struct SaveState {
    std::shared_ptr<CadDocument> activeDoc;
    QString docPathName;
    int docSheetCount = 0;
    QStringList docSheetNames;

    int outFmtIndex = 0;
    // The chosen format's caption and extension, as its option button shows them.
    QString outFmtCaption;
    QString outFmtTag;
    QString filenameFormat;
    QStringList fmtFields;

    int sheetSelType = 0;
    bool sheetFrameEnabled = true;
    // The selected entries of the sheet list, first to last.
    QStringList selectedSheets;
    bool displayDiags = true;
    bool useDestDirs = false;
    DestDirTable ocDestDir;
    // The output base directory: the path of the directory box.
    QString baseDir;

    // Written by the run.
    QString docBaseName;
    QString curSheetName;
    int curSheetNumber = 0;
    int selSheetCount = 0;
    int activateErrors = 0;
    QString s_DirSpec;
};
