#include "dxfdocument.h"

#include "dxf/dxfreader.h"
#include "standinfile.h"

#include <QFileInfo>

namespace {

QString valueIn(const QList<std::pair<QString, QString>> &values, const QString &name)
{
    for (const auto &[key, value] : values) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

} // namespace

bool isDxfFileName(const QString &fileName)
{
    return QFileInfo(fileName).suffix().compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0;
}

DocumentData readDxfDocument(const QByteArray &bytes, const QString &fileName)
{
    auto drawing = std::make_shared<dxf::Drawing>();
    try {
        *drawing = dxf::readDrawing(bytes, fileName);
    } catch (const dxf::ReadError &failure) {
        throw StandInFileError(failure.what());
    }

    DocumentData document;
    document.type = DocumentData::Type::Drawing;
    document.dxfSheets = dxf::sheetsOf(*drawing);
    for (const dxf::SheetInfo &info : std::as_const(document.dxfSheets)) {
        SheetData sheet;
        sheet.name = info.name;
        sheet.paper = info.paper;
        document.sheets.append(sheet);
    }
    document.activeSheet
        = document.sheets.at(dxf::currentSheetIndex(*drawing, document.dxfSheets)).name;
    // The general properties are what the drawing holds itself; a summary property of the same
    // name as a custom one gives way to it.
    PropertySet &general = document.propertySetFor(QString());
    for (const auto &[name, value] : std::as_const(drawing->customProperties))
        general.set(name, value);
    for (const auto &[name, value] : std::as_const(drawing->summary)) {
        if (valueIn(general.values, name).isNull())
            general.set(name, value);
    }
    document.dxf = std::move(drawing);
    return document;
}

QString dxfPropertyValue(const DocumentData &document, int sheetIndex, const QString &name)
{
    if (document.dxf && sheetIndex >= 0 && sheetIndex < document.dxfSheets.size()) {
        const dxf::SheetInfo &sheet = document.dxfSheets.at(sheetIndex);
        const std::vector<dxf::Entity> &entities
            = sheet.layout ? document.dxf->entitiesOf(*sheet.layout) : document.dxf->modelSpace;
        for (const dxf::Entity &entity : entities) {
            const auto *insert = std::get_if<dxf::Insert>(&entity.shape);
            if (!insert)
                continue;
            for (const dxf::Text &attribute : insert->attributes) {
                if (attribute.tag.compare(name, Qt::CaseInsensitive) == 0)
                    return attribute.text;
            }
        }
    }
    if (const PropertySet *general = document.propertySet(QString()))
        return valueIn(general->values, name);
    return {};
}
