#include "sheetscene.h"

#include "dxf/dxffrontend.h"
#include "standindocument.h"

#include <QFileInfo>
#include <QMap>
#include <algorithm>

namespace {

// Room between a view's geometry or name and its frame.
constexpr double frameMargin = 3;
// A part or assembly gets this much paper around its geometry, at least this much.
constexpr double modelMarginFactor = 0.15;
constexpr double minModelMargin = 10;
constexpr QSizeF emptyModelPaper(210, 148);

QRectF united(const QRectF &a, const QRectF &b)
{
    return a.isNull() ? b : a.united(b);
}

// views are the sheet's views, which the layout's views follow one for one; a selection names
// a view as the document does, not as the layout cleaned its name for printing.
void addItems(SheetScene &scene, const QList<ViewData> &views)
{
    QList<QRectF> viewBoxes(scene.layout.views.size());
    for (int i = 0; i < scene.layout.views.size(); ++i) {
        if (scene.layout.views.at(i).model)
            viewBoxes[i] = scene.layout.views.at(i).bounds.normalized();
    }
    QMap<int, QRectF> noteBoxes;
    for (const SheetText &text : std::as_const(scene.layout.texts)) {
        const QRectF box = SheetLayout::textBox(text);
        if (text.view >= 0 && text.view < viewBoxes.size())
            viewBoxes[text.view] = united(viewBoxes.at(text.view), box);
        else if (text.note >= 0)
            noteBoxes[text.note] = united(noteBoxes.value(text.note), box);
    }
    for (int i = 0; i < viewBoxes.size() && i < views.size(); ++i) {
        if (viewBoxes.at(i).isNull())
            continue;
        scene.views.append({ { SelectionEntry::Kind::View, views.at(i).name },
            viewBoxes.at(i).adjusted(-frameMargin, -frameMargin, frameMargin, frameMargin) });
    }
    for (auto it = noteBoxes.cbegin(); it != noteBoxes.cend(); ++it)
        scene.notes.append({ { SelectionEntry::Kind::Note, {}, it.key() }, it.value() });
}

// A DXF sheet is drawn once, as the exports draw it; what it leaves out is reported as when it
// is saved.
SheetScene dxfScene(StandInDocument &document, int sheetIndex)
{
    SheetScene scene;
    const DocumentData &data = document.data();
    const QString folder = document.nativePath().isEmpty()
        ? QString()
        : QFileInfo(document.nativePath()).absolutePath();
    auto picture = std::make_shared<dxf::Picture>(
        dxf::drawSheet(*data.dxf, data.dxfSheets.at(sheetIndex), folder));
    document.reportSkipped(sheetIndex, picture->skipped);
    scene.layout.paper = data.sheets.at(sheetIndex).paper;
    scene.dxfPicture = std::move(picture);
    return scene;
}

SheetScene drawingScene(StandInDocument &document)
{
    SheetScene scene;
    const int sheetIndex = document.activeSheetIndex();
    if (sheetIndex < 0)
        return scene;
    if (document.data().dxf)
        return dxfScene(document, sheetIndex);
    ExportRequest request;
    request.drawing = &document.data();
    request.title = document.Title();
    request.sheetIndex = sheetIndex;
    request.modelOf = [&](const ViewData &view) -> const DocumentData * {
        auto model = document.modelOf(view);
        if (model)
            scene.models.append(model);
        return model.get();
    };
    scene.layout = SheetLayout::of(request, sheetIndex);
    addItems(scene, document.data().sheets.at(sheetIndex).views);
    return scene;
}

// A part or assembly alone in the middle of paper fitted around it, its title below it.
SheetScene modelScene(StandInDocument &document)
{
    SheetScene scene;
    auto model = std::make_shared<const DocumentData>(document.data());
    const std::optional<QRectF> bounds = SheetLayout::boundsOf(model->geometry);
    SheetLayout &layout = scene.layout;
    double margin = minModelMargin;
    if (bounds) {
        margin = std::max(
            minModelMargin, modelMarginFactor * std::max(bounds->width(), bounds->height()));
        layout.paper = bounds->size() + QSizeF(2 * margin, 2 * margin);
    } else {
        layout.paper = emptyModelPaper;
    }
    layout.border = QRectF(QPointF(0, 0), layout.paper);
    PlacedView placed;
    placed.centre = QPointF(layout.paper.width() / 2, layout.paper.height() / 2);
    if (bounds) {
        placed.model = model.get();
        placed.modelCentre = bounds->center();
        placed.bounds = QRectF(placed.toSheet(bounds->topLeft()), bounds->size());
        scene.models.append(model);
    }
    layout.views.append(placed);
    const double height = margin / 4;
    layout.texts.append({ SheetLayout::cleanLine(document.Title()),
        QPointF(placed.centre.x(), (margin - height) / 2), height, SheetText::Align::Centre,
        layout.paper.width() });
    return scene;
}

} // namespace

SheetScene SheetScene::of(StandInDocument &document)
{
    return document.isDrawing() ? drawingScene(document) : modelScene(document);
}

std::optional<SelectionEntry> SheetScene::itemAt(const QPointF &point, double tolerance) const
{
    const auto hits = [&](const Item &item) {
        return item.box.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point);
    };
    for (const Item &note : notes) {
        if (hits(note))
            return note.entry;
    }
    const Item *smallest = nullptr;
    for (const Item &view : views) {
        const double area = view.box.width() * view.box.height();
        if (hits(view) && (!smallest || area < smallest->box.width() * smallest->box.height()))
            smallest = &view;
    }
    return smallest ? std::optional(smallest->entry) : std::nullopt;
}
