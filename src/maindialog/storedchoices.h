#pragma once

#include "destdirs/destdirtable.h"
#include "formats/outputformats.h"

#include <QHash>
#include <QString>

class SettingsStore;

// The main dialog's choices kept between uses in the settings store (application productName,
// section "Startup").
struct StoredChoices {
    static inline const QString defaultFilenameFormat
        = QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME");

    // The values the dialog starts from before it reads the store; a stored number that is not a
    // whole number in range leaves them as they are.
    QString path = QStringLiteral("c:\\");
    int outFmtIndex = 0;
    bool displayDiags = true;
    // The current filename format of every format list key.
    QHash<QString, QString> currentFmts;
    DestDirTable ocDestDir;
    SheetChoice sheetSelType = SheetChoice::All;
    bool useDestDirs = false;

    // Reads every key in the dialog's load order.
    static StoredChoices read(const SettingsStore &store);
    // Writes what GO! writes, in its order: everything but the destination directories.
    void write(SettingsStore &store) const;
};
