#pragma once

#include "batchreport.h"

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
    bool stopped = false;

    QByteArray toJson() const;
    // None for text that is no result.
    static std::optional<WorkerResult> fromJson(const QByteArray &json);
};
