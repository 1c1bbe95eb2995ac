#pragma once

#include "save/runchoices.h"

#include <QHash>
#include <QString>

class SettingsStore;

// The main dialog's choices kept between uses in the settings store (application productName,
// section "Startup"): a run's choices, and the current filename format of every format list key.
// What the store does not hold, or holds out of range, keeps the factory choice.
struct StoredChoices {
    // The run's filename format and the PDF option are not among them: the one comes from
    // currentFmts, the other from the PDF writer's value.
    RunChoices run;
    QHash<QString, QString> currentFmts;

    // Reads every key the dialog's load reads.
    static StoredChoices read(const SettingsStore &store);
    // Writes what GO! writes, in its order: everything but the destination directories.
    void write(SettingsStore &store) const;
};
