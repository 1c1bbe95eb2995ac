#include "standinselectionmanager.h"

#include "standindocument.h"
#include "standinsheet.h"
#include "standinview.h"

StandInSelectionManager::StandInSelectionManager(std::shared_ptr<StandInDocument> document)
    : document(std::move(document))
{
}

int StandInSelectionManager::SelectedCount()
{
    return int(document->data().selection.size());
}

int StandInSelectionManager::SelectedType(int index)
{
    const auto &selection = document->data().selection;
    if (index < 1 || index > selection.size())
        return 0;
    switch (selection.at(index - 1).kind) {
    case SelectionEntry::Kind::View:
        return CadCode::SelDrawingView;
    case SelectionEntry::Kind::Sheet:
        return CadCode::SelSheet;
    case SelectionEntry::Kind::Note:
        return CadCode::SelNote;
    }
    return 0;
}

std::shared_ptr<CadObject> StandInSelectionManager::SelectedObject(int index)
{
    const auto &selection = document->data().selection;
    if (index < 1 || index > selection.size())
        return {};
    const SelectionEntry &entry = selection.at(index - 1);
    const QString sheetName = document->data().activeSheet;
    switch (entry.kind) {
    case SelectionEntry::Kind::View:
        return std::make_shared<StandInView>(document, sheetName, entry.name);
    case SelectionEntry::Kind::Sheet:
        return std::make_shared<StandInSheet>(document, entry.name);
    case SelectionEntry::Kind::Note: {
        const SheetData *sheet = document->sheet(sheetName);
        const QString text = sheet && entry.noteIndex < sheet->notes.size()
            ? sheet->notes.at(entry.noteIndex).text
            : QString();
        return std::make_shared<StandInNote>(sheetName, entry.noteIndex, text);
    }
    }
    return {};
}
