#pragma once

#include "destdirs/destdirtable.h"
#include "formats/outputformats.h"

#include <QString>
#include <QStringList>

// Every choice of one run: the main dialog's controls at GO!, or quillet-batch's options over the
// stored choices. The values here are the factory choices, the dialog's presets before it reads
// the settings store.
struct RunChoices {
    static inline const QString defaultFilenameFormat
        = QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME");

    OutputFormats::Format outFmtIndex = OutputFormats::Slddrw;
    // PDF as one file of all sheets; the PDF writer's value keeps it between uses.
    bool pdfSingleFile = false;
    // The filename format as typed, before cleaning.
    QString filenameFmt = defaultFilenameFormat;
    SheetChoice sheetSelType = SheetChoice::All;
    // The selected entries of the sheet list, first to last.
    QStringList selectedSheets;
    bool useDestDirs = false;
    DestDirTable ocDestDir;
    bool displayDiags = true;
    // The output base directory, in Windows path text.
    QString baseDir = QStringLiteral("c:\\");
};
