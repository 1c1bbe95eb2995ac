#pragma once

#include "batchoptions.h"
#include "batchreport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What a drawing's bytes were when it was planned: a drawing that differs since is never saved
// under the names planned for it.
struct DrawingStamp {
    qint64 size = 0;
    // SHA-256 of the bytes, in hex.
    QString sha256;

    // Empty when there is no file to read at nativePath.
    static std::optional<DrawingStamp> of(const QString &nativePath);
    bool operator==(const DrawingStamp &) const = default;
};

// A sheet as its run would save it.
struct PlannedSheet {
    QString name;
    // The run's path text (a Windows path), the name the call's record of saved files keys.
    QString target;
    // Refused because an earlier sheet of the call takes the name.
    bool nameTaken = false;
};

// One drawing in one format, as the dry run foresaw it.
struct PlannedRun {
    QString format;
    // The run's number as the call's record of saved files counts runs; none for a run that
    // ended before the save run began.
    std::optional<int> number;
    QString outputDirectory;
    QList<PlannedSheet> sheets;
    int status = 0;
    int errorNumber = 0;
    QString errorText;
};

struct PlannedDrawing {
    // As given (or found below a folder given), relative to the plan's directory, for the
    // messages, which name a drawing as the user gave it; and absolute.
    QString given;
    QString path;
    // None: there was no drawing to read.
    std::optional<DrawingStamp> stamp;
    QList<PlannedRun> runs;
};

// Every name a call would save under, decided before anything is saved, so that the call's
// drawings can be saved by several processes and still never write a file twice.
struct BatchPlan {
    static constexpr int version = 1;

    // The working directory of the call: the drawings and options given are relative to it.
    QString directory;
    // The command line's options, not the stored choices, which each run reads as a plain run
    // does; but the formats are those in force. Neither the drawings nor the report.
    BatchOptions options;
    // Folders given that held no drawing (absolute) and folders that could not be read (as
    // given): the call's own errors, which the first shard reports.
    QStringList emptyFolders;
    QStringList unreadableFolders;
    QList<PlannedDrawing> drawings;

    // One JSON object: "quilletBatchPlan" first, keys in the order above, indented by two.
    QByteArray toJson() const;
    // Empty, with what is wrong in errorString, when the text is no plan of this version.
    static std::optional<BatchPlan> fromJson(const QByteArray &json, QString *errorString);
};

// "K/N" with 1 <= K <= N.
struct Shard {
    int index = 1;
    int count = 1;

    static std::optional<Shard> parse(const QString &text);
    // A drawing always falls to the same shard of the same count, whatever the others hold.
    bool holds(int drawingIndex) const { return drawingIndex % count == index - 1; }
};

// The report of a shard: a plain report whose runs carry their drawing's index in the plan, and
// which names the plan (its bytes' SHA-256) and the shard.
QByteArray shardReportJson(const BatchReport &report, const QList<int> &planIndexes,
    const QByteArray &planDigest, const Shard &shard);

// The shards' reports merged into the report one plain run of the call writes: runs in plan
// order, the highest status. Empty, with what is wrong in errorString, unless the reports are
// every shard of one plan, each once. The names are the reports' files, for the messages.
std::optional<QByteArray> mergeShardReports(
    const QList<QByteArray> &reports, const QStringList &names, QString *errorString);
// The status of a merged report.
int reportStatus(const QByteArray &report);
