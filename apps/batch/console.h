#pragma once

#include <QList>
#include <QString>
#include <cstdio>
#include <utility>

// Text on a stream as the user will read it: a Windows console is given the characters
// themselves, a file or pipe on Windows UTF-8, elsewhere the locale's encoding.
void writeConsoleText(std::FILE *stream, const QString &text);

// A status text or message as one line: line ends made blanks, trailing blanks removed.
QString messageLine(const QString &text);

// The batch's two streams: log lines on standard output, status texts and messages on standard
// error, one line each. While a progress line is shown on standard error, every other line is
// printed above it.
class Console {
public:
    // Progress is shown only if wanted and standard error is a terminal; without it, nothing but
    // whole lines reaches the streams.
    explicit Console(bool progressWanted);
    ~Console() { clearProgress(); }
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // A worker's lines go to its call, which prints them in the drawings' order: while lines is
    // set, each line is kept there (true for standard error) instead of printed.
    void captureInto(QList<std::pair<bool, QString>> *lines) { captured = lines; }

    void printLog(const QString &line) { print(stdout, line); }
    void printError(const QString &text) { print(stderr, messageLine(text)); }
    bool showsProgress() const { return showProgress; }
    void setProgress(const QString &text);
    void clearProgress();

private:
    void print(std::FILE *stream, const QString &line);
    void eraseProgress();

    bool showProgress;
    QString progress;
    QList<std::pair<bool, QString>> *captured = nullptr;
};
