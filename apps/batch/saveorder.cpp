#include "saveorder.h"

std::optional<EarlierSaves> SaveOrder::earlierSaves(const WorkerResult &result) const
{
    EarlierSaves earlier;
    bool taken = false;
    for (const DrawingRecord &record : result.runs) {
        for (const SheetSave &sheet : record.sheets) {
            const QString folded = sheet.target.toCaseFolded();
            const auto taker = saved.byTarget.constFind(folded);
            if (taker == saved.byTarget.cend())
                continue;
            earlier.saved.byTarget.insert(folded, *taker);
            // A refusal was the drawing's own, of a name it saved under before.
            taken = taken || sheet.status != SheetSave::Status::NameTaken;
        }
    }
    if (!taken)
        return std::nullopt;
    earlier.saved.runs = saved.runs;
    return earlier;
}

void SaveOrder::add(const WorkerResult &result, const QString &hostPath)
{
    for (qsizetype r = 0; r < result.runs.size(); ++r) {
        // A run that never started took no number.
        if (!result.started.value(r))
            continue;
        ++saved.runs;
        for (const SheetSave &sheet : result.runs.at(r).sheets) {
            if (sheet.status == SheetSave::Status::Saved) {
                saved.byTarget.insert(
                    sheet.target.toCaseFolded(), { saved.runs, hostPath, sheet.sheetName });
            }
        }
    }
}
