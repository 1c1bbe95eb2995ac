#pragma once

#include <QString>

struct RunChoices;
struct SaveState;

// The main dialog's preview line: "Next file: " and the full path of the file that the current
// sheet would get with these choices, or, in brackets, why it would get none (a filename format
// GO! refuses, a sheet without views, a model that cannot be found). When the run does not save
// the current sheet, the line shows the file of the run's first sheet and ends in " (sheet " +
// its name + "; the current sheet is not saved)". When the native format's model is not loaded
// yet, the property fields show their literal fallback and the line ends in " (model not
// loaded)". It only reads the host: no sheet or document is activated, no property copied, no
// directory made, nothing logged or shown on the status bar.
struct NamePreview {
    QString line;
    // Where the directory and the file name begin in the line, so that a line too long for its
    // room can give up the directory first; -1 when the line names no file.
    qsizetype dirFrom = -1;
    qsizetype nameFrom = -1;
};
NamePreview namePreview(const SaveState &opened, const RunChoices &choices);
