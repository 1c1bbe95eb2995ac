#pragma once

#include "save/runsurroundings.h"

#include <QList>
#include <QString>
#include <cstdio>

// A status text or message as one line: line ends made blanks, trailing blanks removed.
QString messageLine(const QString &text);

// The batch's two streams: log lines on standard output, status texts and messages on standard
// error, one line each. While a progress line is shown on standard error, every other line is
// printed above it.
class Console {
public:
    // Without progress, nothing but whole lines reaches the streams.
    explicit Console(bool showProgress);
    ~Console() { clearProgress(); }
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    void printLog(const QString &line) { print(stdout, line); }
    void printError(const QString &text) { print(stderr, messageLine(text)); }
    void setProgress(const QString &text);
    void clearProgress();

private:
    void print(std::FILE *stream, const QString &line);
    void eraseProgress();

    bool showProgress;
    QString progress;
};

// The log window of the console: every line appended is printed at once, unless quiet; each
// sheet's save is recorded for the report.
class ConsoleSurroundings : public RunSurroundings {
public:
    // The run is of the drawing-th drawing of the batch's drawings.
    ConsoleSurroundings(
        Console &console, bool quiet, int drawing, int drawings, QList<SheetSave> &sheets);
    void refreshLog() override { }
    void showLogModeless() override { }
    void hideLog() override { }
    void showLogModal() override { }
    void hideMainDialog() override { }
    void showProgress(int sheetsDone, int sheetCount) override;
    void sheetSaved(const SheetSave &save) override;

protected:
    void lineAppended(const QString &line) override;

private:
    Console &console;
    bool quiet;
    int drawing;
    int drawings;
    QList<SheetSave> &sheets;
};
