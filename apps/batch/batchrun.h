#pragma once

#include "batchoptions.h"

#include <QByteArray>
#include <QString>
#include <optional>

class BatchHost;
struct BatchPlan;
struct Shard;

// Runs the save pipeline on each drawing in turn, once for each format, as GO! would with the
// same choices, and returns the highest status; with options.jobs above 1, in worker processes,
// printing and reporting exactly the same. Ctrl+C or SIGTERM ends it after the sheet being saved,
// with 128 plus the signal's number. Log lines go to standard output, status texts and
// errors to standard error; the report, when asked for, is written at the end.
int runBatch(BatchHost &host, const BatchOptions &options);

// A worker of a call saving with --jobs, with the call's options: saves each drawing the call
// hands it on standard input as the call would in its own process, its files staged beside
// their targets for the call to rename into place, and answers on standard output, with a line
// for every sheet when sheetLines (see WorkerPool). The news it is told is of earlier drawings'
// saves, whose names its drawings refuse.
int runWorker(
    BatchHost &host, const BatchOptions &options, const QString &journal, bool sheetLines);

// Plans the call as a dry run does, quietly but for errors, and writes the plan to options.plan;
// returns the status a dry run would.
int planBatch(BatchHost &host, const BatchOptions &options);

// Saves the shard's drawings of the plan under their planned names, printing what a run of the
// whole call prints for them, and writes the shard's report to reportFile. planDigest names the
// plan in the report. The plan's drive map and directory are in force.
int runPlanShard(BatchHost &host, const BatchPlan &plan, const QByteArray &planDigest,
    const std::optional<QString> &reportFile, const Shard &shard);
