#include "standinsheet.h"

#include "standindocument.h"

StandInSheet::StandInSheet(std::shared_ptr<StandInDocument> document, QString name)
    : document(std::move(document))
    , name(std::move(name))
{
}

QString StandInSheet::PropertiesViewName()
{
    const SheetData *sheet = document->sheet(name);
    return sheet ? sheet->propertiesView : QString();
}
