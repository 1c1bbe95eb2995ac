#pragma once

#include "addin/CadHost.h"

#include <QString>
#include <memory>

class StandInDocument;

// A sheet of a stand-in drawing, found by its name.
class StandInSheet : public CadSheet {
public:
    StandInSheet(std::shared_ptr<StandInDocument> document, QString name);

    QString GetName() override { return name; }
    QString PropertiesViewName() override;

private:
    std::shared_ptr<StandInDocument> document;
    QString name;
};
