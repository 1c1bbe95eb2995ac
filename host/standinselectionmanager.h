#pragma once

#include "addin/CadHost.h"

#include <QString>
#include <memory>

class StandInDocument;

// A selected note: its text and its position among the sheet's notes.
class StandInNote : public CadObject {
public:
    StandInNote(QString sheetName, int index, QString text)
        : sheetName(std::move(sheetName))
        , index(index)
        , text(std::move(text))
    {
    }

    QString sheetName;
    int index = 0;
    QString text;
};

// The selection of a stand-in drawing, read anew on each call.
class StandInSelectionManager : public CadSelectionManager {
public:
    explicit StandInSelectionManager(std::shared_ptr<StandInDocument> document);

    int SelectedCount() override;
    // 12 a drawing view, 13 a sheet, 15 a note; 0 for an index outside 1..SelectedCount.
    int SelectedType(int index) override;
    // A StandInView, StandInSheet or StandInNote; none outside 1..SelectedCount.
    std::shared_ptr<CadObject> SelectedObject(int index) override;

private:
    std::shared_ptr<StandInDocument> document;
};
