#pragma once

#include "save/runsurroundings.h"

#include <QDialog>
#include <QPointer>

class QAction;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

// The output log window: one for the loaded add-in, created on first use, its lines kept while it
// is hidden. Its lines go with it: after Done, or after GO!'s failure handling unloads it, the
// next use starts with an empty log.
class logForm : public QDialog {
    Q_OBJECT

public:
    // The one window, created on first use with the add-in's log lines.
    static logForm *instance();
    // The window when it exists, else nullptr.
    static logForm *existing();
    // Destroys the window, and its lines with it.
    static void unload();

    // The lines shown, in the order appended.
    QStringList lines() const;
    // Shows the lines appended to the add-in's log since the last refresh and repaints now; the
    // save run does not yield, so new lines appear only here.
    void refreshLines();
    // Sheets done out of the run's sheets; a run of no sheets shows an empty bar.
    void setProgress(int sheetsDone, int sheets);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit logForm(QWidget *parent = nullptr);
    ~logForm() override;
    // No longer the add-in's window: the next use starts a fresh one with an empty log.
    void retire();
    // Copy and Select All, on the keyboard and in the log's context menu.
    void buildMenu();
    // The selected lines, one per line, onto the clipboard.
    void copySelectedLines();

    QListWidget *log;
    QProgressBar *progress;
    QPushButton *done;
    QMenu *mnuLog = nullptr;
    QAction *mnuCopy = nullptr;
    static QPointer<logForm> window;
};

// The save run's surroundings in the main dialog: the log window, owned by the main dialog while
// it is shown, and the main dialog itself.
class LogSurroundings : public RunSurroundings {
public:
    explicit LogSurroundings(QWidget *mainDialog);

    // Into the add-in's one output log, which the log window shows.
    void appendLog(const QString &line) override;
    void refreshLog() override;
    void showLogModeless() override;
    void hideLog() override;
    void showLogModal() override;
    void hideMainDialog() override;
    void showProgress(int sheetsDone, int sheets) override;

private:
    // The main dialog may go first; the log window then goes with it.
    QPointer<QWidget> mainDialog;
};
