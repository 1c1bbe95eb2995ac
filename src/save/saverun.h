#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class RunSurroundings;
struct SaveState;

// How a save run went, for callers that report it further (quillet-batch's exit status).
struct SaveRunResult {
    int sheets = 0;
    int failed = 0;
    // The save status of the last sheet; false when there was no sheet.
    bool lastStatus = false;
    QString lastOutputDir;

    bool allSaved() const { return sheets > 0 && failed == 0; }
};

// The files saved so far, so that no later save writes one of them again. A run keeps its own
// unless the caller hands it one to share between its runs.
struct SavedTargets {
    struct Taker {
        // The run that saved the file, numbered as runs counts them.
        int run = 0;
        // The drawing's full path name as the host gives it.
        QString drawingPath;
        QString sheetName;
    };
    // Keyed by the full path name case-folded, as Windows compares names.
    QHash<QString, Taker> byTarget;
    // The runs that used this record so far.
    int runs = 0;
};

// The sheet choice is greyed, or "Current Sheet": the run saves the current sheet alone.
bool savesCurrentSheetOnly(const SaveState &state);
// The sheets a run saves, in its order: the current sheet alone while the sheet choice is greyed
// or "Current Sheet", every sheet of the drawing, or the selected ones.
QStringList runSheetNames(const SaveState &state, const QString &currentSheet);
// The directory the run's files go to, worked out without creating anything: what a dry run and
// the name preview show.
QString plannedOutputDirectory(const SaveState &state);

// Saves the chosen sheets of the active drawing, one file per sheet, and reports every step.
// The first error ends the run and is raised again with the procedure name recorded last as its
// source; files saved before it stay.
SaveRunResult Quillet(SaveState &state, RunSurroundings &surroundings);
