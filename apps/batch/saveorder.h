#pragma once

#include "save/saverun.h"
#include "workerresult.h"

#include <QList>
#include <QString>
#include <QStringList>

// The call's record of saved files, kept in the drawings' order as one process keeps it. A
// worker saves a drawing knowing only the earlier saves it was told of; its saves stand when no
// other earlier drawing saved under a name it saved under. Otherwise the call saves the drawing
// again itself, in the record, so that it refuses those names as one process would.
class SaveOrder {
public:
    // Whether the next drawing's saves stand: every name of it that an earlier drawing took, it
    // refused.
    bool stands(const WorkerResult &result) const;
    // The next drawing's saves join the record; hostPath is the drawing's path as the host
    // names it, which later refusals quote.
    void add(const WorkerResult &result, const QString &hostPath);
    // For the call to save the next drawing in; addedInPlace then takes note of its runs.
    SavedTargets &record() { return saved; }
    void addedInPlace(const QList<DrawingRecord> &runs);
    // The saves recorded since the count given, which moves on, and the runs so far.
    EarlierSaves since(qsizetype &told) const;

private:
    SavedTargets saved;
    // The record's names, case-folded, in the order they joined it.
    QStringList joined;
};
