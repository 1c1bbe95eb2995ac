#pragma once

#include "save/saverun.h"
#include "workerresult.h"

#include <QString>
#include <optional>

// The call's record of saved files, kept in the drawings' order as one process keeps it. A
// worker saves a drawing knowing none of the other drawings' files; its saves stand when no
// earlier drawing saved under a name it saved under, and are made again otherwise, knowing the
// earlier saves of its names, so that the drawing refuses them as one process would.
class SaveOrder {
public:
    // The earlier saves of the names the next drawing's runs chose, with the runs before it;
    // none when its saves stand.
    std::optional<EarlierSaves> earlierSaves(const WorkerResult &result) const;
    // The next drawing's saves join the record; hostPath is the drawing's path as the host
    // names it, which later refusals quote.
    void add(const WorkerResult &result, const QString &hostPath);

private:
    SavedTargets saved;
};
