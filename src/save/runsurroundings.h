#pragma once

#include <QString>

// How the save of one sheet ended, as the log's save status line for it tells.
struct SheetSave {
    enum class Status { Saved, Failed, NameTaken, DryRun };

    QString sheetName;
    // The full path name the sheet was saved, or would have been saved, under.
    QString target;
    Status status = Status::Failed;
    // The host's codes; 0 when the host was not asked to save.
    int errors = 0;
    int warnings = 0;
};

// What the save run needs from its surroundings: the log window of the main dialog, or
// quillet-batch's console. The surroundings decide where a log line goes.
class RunSurroundings {
public:
    virtual ~RunSurroundings() = default;

    // A line of the run's log; an empty line is a spacer.
    virtual void appendLog(const QString &line) = 0;
    // Repaint the log window now; the run does not yield, so lines show only here.
    virtual void refreshLog() = 0;
    virtual void showLogModeless() = 0;
    virtual void hideLog() = 0;
    // Returns when the user has closed the log window.
    virtual void showLogModal() = 0;
    virtual void hideMainDialog() = 0;
    // Sheets done out of the run's sheets, given at the refresh points and once at the end.
    virtual void showProgress(int sheetsDone, int sheets)
    {
        Q_UNUSED(sheetsDone);
        Q_UNUSED(sheets);
    }
    // Every sheet of the run, once its save has ended, for callers that report each file.
    virtual void sheetSaved(const SheetSave &save) { Q_UNUSED(save); }
};
