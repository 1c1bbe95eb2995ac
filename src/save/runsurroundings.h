#pragma once

#include "outputlog.h"

#include <QString>

// What the save run needs from its surroundings: the log window of the main dialog, or
// quillet-batch's console. Lines always land in the add-in's one OutputLog first.
class RunSurroundings {
public:
    virtual ~RunSurroundings() = default;

    void appendLog(const QString &line)
    {
        OutputLog::instance().append(line);
        lineAppended(line);
    }
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

protected:
    virtual void lineAppended(const QString &line) { Q_UNUSED(line); }
};
