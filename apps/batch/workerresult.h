#pragma once

#include "batchreport.h"
#include "save/saverun.h"
#include "stagedsaves.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

// What a worker hands its call for one drawing: the lines a run in the call's own process would
// have printed, in order (true for standard error), the drawing's runs for the report, and
// whether a stop request ended it.
struct WorkerResult {
    QList<std::pair<bool, QString>> lines;
    QList<DrawingRecord> runs;
    // For each run, whether it started saving, which gives it its number among the call's runs.
    QList<bool> started;
    // The files the runs saved, staged beside their targets for the call to rename into place.
    QList<StagedSaves::File> staged;
    bool stopped = false;

    QByteArray encode() const;
    // None for bytes that are no result.
    static std::optional<WorkerResult> decode(const QByteArray &bytes);
};

// What a worker is told of the call's record of saved files: saves of earlier drawings, which its
// drawings refuse at once, and the runs so far.
struct EarlierSaves {
    SavedTargets saved;

    QByteArray toJson() const;
    // None for text that is no record.
    static std::optional<EarlierSaves> fromJson(const QByteArray &json);
};
