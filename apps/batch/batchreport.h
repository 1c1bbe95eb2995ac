#pragma once

#include "save/runsurroundings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One drawing saved in one format: a run, and the sheets it came to.
struct DrawingRecord {
    // How the run ended: by itself, stopped half-way by Ctrl+C or SIGTERM, or not at all, as the
    // call was stopped before it started.
    enum class Run { Ended, Stopped, NotStarted };

    // Native paths, but for the sheets' targets, which are the run's Windows path text.
    QString path;
    // The format's caption; empty for a folder that held no drawing to run.
    QString format;
    // The output base directory; empty when the run ended before it was known.
    QString outputDirectory;
    QList<SheetSave> sheets;
    int status = 0;
    // What ended the run: the error's number (0 for the batch's own checks) and the line printed
    // for it. An empty text: nothing did.
    int errorNumber = 0;
    QString errorText;
    Run run = Run::Ended;
};

// What quillet-batch --report writes: the options in force, every run, the exit status.
struct BatchReport {
    QStringList formats;
    // Left out: each format's stored filename format.
    std::optional<QString> filenameFormat;
    QString sheets;
    std::optional<QString> output;
    bool destDirs = false;
    bool singleFile = false;
    bool quiet = false;
    bool dryRun = false;
    QList<DrawingRecord> drawings;
    int status = 0;

    // One JSON object, its keys in the order above, indented by two; every path native.
    QByteArray toJson() const;
};

// Whether a report can be written at path: opened there as it will be written, nothing kept.
bool canWriteReport(const QString &path, QString *errorString);
// Replaces the file at path with content in one step; a failure leaves what was there.
bool writeReport(const QString &path, const QByteArray &content, QString *errorString);

// What a dry run prints after its log: a heading, then every directory a run would make and
// every file it would write, in the order the runs come to them, each once; a directory's line
// ends in "/".
QStringList dryRunListing(const QList<DrawingRecord> &drawings);
