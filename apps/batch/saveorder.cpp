#include "saveorder.h"

bool SaveOrder::stands(const WorkerResult &result) const
{
    for (const DrawingRecord &record : result.runs) {
        for (const SheetSave &sheet : record.sheets) {
            // A refusal was the drawing's own, of a name it saved under before, or told to it.
            if (sheet.status != SheetSave::Status::NameTaken
                && saved.byTarget.contains(sheet.target.toCaseFolded()))
                return false;
        }
    }
    return true;
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
                const QString folded = sheet.target.toCaseFolded();
                saved.byTarget.insert(folded, { saved.runs, hostPath, sheet.sheetName });
                joined.append(folded);
            }
        }
    }
}

void SaveOrder::addedInPlace(const QList<DrawingRecord> &runs)
{
    for (const DrawingRecord &record : runs) {
        for (const SheetSave &sheet : record.sheets) {
            if (sheet.status == SheetSave::Status::Saved)
                joined.append(sheet.target.toCaseFolded());
        }
    }
}

EarlierSaves SaveOrder::since(qsizetype &told) const
{
    EarlierSaves news;
    for (; told < joined.size(); ++told)
        news.saved.byTarget.insert(joined.at(told), saved.byTarget.value(joined.at(told)));
    news.saved.runs = saved.runs;
    return news;
}
