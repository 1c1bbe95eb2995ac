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

namespace {

// A block reference the sheet shows: its layer on, thawed and plotted.
bool shown(const dxf::Drawing &drawing, const dxf::Entity &entity)
{
    const dxf::Layer *layer = drawing.layer(entity.common.layer);
    return !entity.common.invisible
        && (!layer || (!layer->off && !layer->frozen && layer->plotted));
}

} // namespace

QList<DxfProperty> dxfProperties(const DocumentData &document, int sheetIndex)
{
    QList<DxfProperty> properties;
    if (document.dxf && sheetIndex >= 0 && sheetIndex < document.dxfSheets.size()) {
        const dxf::SheetInfo &sheet = document.dxfSheets.at(sheetIndex);
        const std::vector<dxf::Entity> &entities
            = sheet.layout ? document.dxf->entitiesOf(*sheet.layout) : document.dxf->modelSpace;
        QList<DxfProperty> hidden;
        for (const dxf::Entity &entity : entities) {
            const auto *insert = std::get_if<dxf::Insert>(&entity.shape);
            if (!insert)
                continue;
            const bool visible = shown(*document.dxf, entity);
            for (const dxf::Text &attribute : insert->attributes) {
                (visible ? properties : hidden)
                    .append({ attribute.tag, attribute.text,
                        visible ? DxfProperty::Source::Block : DxfProperty::Source::HiddenBlock,
                        insert->block });
            }
        }
        properties += hidden;
    }
    if (const PropertySet *general = document.propertySet(QString())) {
        for (const auto &[name, value] : general->values)
            properties.append({ name, value, DxfProperty::Source::Drawing, QString() });
    }
    return properties;
}

QString dxfPropertyValue(const DocumentData &document, int sheetIndex, const QString &name)
{
    // A block the sheet shows wins over a hidden one, as the reader of the sheet sees it.
    for (const DxfProperty &property : dxfProperties(document, sheetIndex)) {
        if (property.name.compare(name, Qt::CaseInsensitive) == 0)
            return property.value;
    }
    return {};
}
