#include "dxf/dxfsheets.h"

#include "dxffrontendbounds.h"

#include <algorithm>
#include <cmath>

namespace dxf {

namespace {

    bool usable(double v)
    {
        return std::isfinite(v) && v > 0;
    }

    bool usableArea(QPointF min, QPointF max)
    {
        const double w = max.x() - min.x(), h = max.y() - min.y();
        return usable(w) && usable(h) && std::abs(min.x()) < 1e12 && std::abs(min.y()) < 1e12
            && std::abs(max.x()) < 1e12 && std::abs(max.y()) < 1e12;
    }

    double millimetresPerUnit(int insertionUnits)
    {
        switch (insertionUnits) {
        case 1:
            return 25.4;
        case 2:
            return 304.8;
        case 5:
            return 10;
        case 6:
            return 1000;
        case 8:
            return 25.4e-6;
        case 9:
            return 0.0254;
        case 10:
            return 914.4;
        case 14:
            return 100;
        default:
            return 1;
        }
    }

    bool holdsAnything(const std::vector<Entity> &entities)
    {
        const Entity *own = layoutViewport(entities);
        return std::any_of(
            entities.begin(), entities.end(), [&](const Entity &e) { return &e != own; });
    }

    double finiteOr0(double v)
    {
        return std::isfinite(v) ? v : 0;
    }

    struct Margins {
        double left = 0;
        double bottom = 0;
        double right = 0;
        double top = 0;
    };

    // The media's margins on the page as it is seen: the plot is turned onto the media by the
    // rotation, so the page turns back with its margins and the drawing reads upright.
    Margins pageMargins(const Layout &layout, int rotation)
    {
        const double l = finiteOr0(layout.marginLeft), b = finiteOr0(layout.marginBottom),
                     r = finiteOr0(layout.marginRight), t = finiteOr0(layout.marginTop);
        switch (rotation) {
        case 1:
            return { b, r, t, l };
        case 2:
            return { r, t, l, b };
        case 3:
            return { t, l, b, r };
        default:
            return { l, b, r, t };
        }
    }

    QRectF extentsOf(const Drawing &drawing, const Layout &layout)
    {
        if (usableArea(layout.extentsMin.xy(), layout.extentsMax.xy()))
            return QRectF(layout.extentsMin.xy(), layout.extentsMax.xy());
        // Writers often leave the extents unset; what the layout draws is its extents.
        const QRectF drawn = paperSpaceBounds(drawing, layout);
        return usableArea(drawn.topLeft(), drawn.bottomRight()) ? drawn : QRectF();
    }

    // The area a plot type names, in the layout's units; empty for the layout itself.
    QRectF plotArea(const Drawing &drawing, const Layout &layout)
    {
        switch (layout.plotType) {
        case 1:
            return extentsOf(drawing, layout);
        case 2:
            return usableArea(layout.limitsMin, layout.limitsMax)
                ? QRectF(layout.limitsMin, layout.limitsMax)
                : QRectF();
        case 4:
            return usableArea(layout.windowMin, layout.windowMax)
                ? QRectF(layout.windowMin, layout.windowMax)
                : QRectF();
        default:
            return {};
        }
    }

    // A layout without plot settings: its limits are its paper, else what it draws.
    SheetInfo limitsSheet(const Drawing &drawing, const Layout &layout, SheetInfo sheet)
    {
        const double unit = layout.paperUnits == 0 ? 25.4 : 1;
        QPointF min = layout.limitsMin, max = layout.limitsMax;
        if (!usableArea(min, max)) {
            min = drawing.paperLimitsMin;
            max = drawing.paperLimitsMax;
        }
        if (!usableArea(min, max)) {
            const QRectF drawn = extentsOf(drawing, layout);
            min = drawn.topLeft();
            max = drawn.bottomRight();
        }
        if (usableArea(min, max)) {
            sheet.paper = QSizeF((max.x() - min.x()) * unit, (max.y() - min.y()) * unit);
        } else {
            // Nothing tells the paper: ISO A3 landscape, the commonest drawing sheet.
            min = QPointF();
            sheet.paper = QSizeF(420, 297);
        }
        sheet.toPaper = QTransform::fromScale(unit, unit).translate(-min.x(), -min.y());
        return sheet;
    }

    // A space on the page its writer keeps for it; false when that page is not usable. QCAD
    // leaves out a paper that was never chosen for the layout: the page is then on media, the
    // layout's own paper (which its limits span), turned as the page says.
    bool onOwnPage(const std::optional<OwnPage> &page, QSizeF media, SheetInfo &sheet)
    {
        if (!page || !usable(page->scale) || !std::isfinite(page->offset.x())
            || !std::isfinite(page->offset.y()))
            return false;
        const bool ownPaper = usable(page->paperWidth) && usable(page->paperHeight);
        const double width = ownPaper ? page->paperWidth : media.width(),
                     height = ownPaper ? page->paperHeight : media.height();
        if (!usable(width) || !usable(height))
            return false;
        const double longer = std::max(width, height), shorter = std::min(width, height);
        sheet.paper = page->landscape ? QSizeF(longer, shorter) : QSizeF(shorter, longer);
        const double s = page->scale;
        sheet.toPaper = QTransform(s, 0, 0, s, -page->offset.x() * s, -page->offset.y() * s);
        return true;
    }

    SheetInfo layoutSheet(const Drawing &drawing, const Layout &layout)
    {
        SheetInfo sheet;
        sheet.name = layout.name;
        sheet.layout = &layout;
        // The writer plots by its own page where it keeps one; its plot settings are then only
        // defaults it wrote for other programs.
        if (onOwnPage(layout.ownPage, QSizeF(layout.paperWidth, layout.paperHeight), sheet))
            return sheet;
        if (!usable(layout.paperWidth) || !usable(layout.paperHeight))
            return limitsSheet(drawing, layout, sheet);
        const int rotation = layout.rotation & 3;
        const bool turned = rotation % 2;
        sheet.paper = turned ? QSizeF(layout.paperHeight, layout.paperWidth)
                             : QSizeF(layout.paperWidth, layout.paperHeight);
        const Margins margins = pageMargins(layout, rotation);
        const double printableWidth
            = std::max(1.0, sheet.paper.width() - margins.left - margins.right);
        const double printableHeight
            = std::max(1.0, sheet.paper.height() - margins.bottom - margins.top);
        // The plot origin's offset turns with the plot as its margins do.
        const double offsetX = finiteOr0(turned ? layout.plotOrigin.y() : layout.plotOrigin.x());
        const double offsetY = finiteOr0(turned ? layout.plotOrigin.x() : layout.plotOrigin.y());

        const double unit = layout.paperUnits == 0 ? 25.4 : 1;
        const double ratio = layout.printScaleNumerator / layout.printScaleDenominator;
        const bool fit = ((layout.plotFlags & 16) && layout.standardScale == 0)
            || layout.printScaleNumerator == 0 || !usable(ratio);
        // A layout plotted as itself keeps its scale: fitting is for the areas.
        const QRectF area = plotArea(drawing, layout);
        double s = usable(ratio) ? ratio * unit : unit;
        if (!area.isNull() && fit) {
            s = std::min(printableWidth / area.width(), printableHeight / area.height());
        } else if (layout.paperUnits == 0 && usable(ratio)) {
            // Some writers give an inch layout's scale in millimetres per unit (25.4 for 1:1),
            // which would plot it 25.4 times too large; where only the millimetre reading fits
            // the paper, it is the one meant.
            const QRectF drawn = area.isNull() ? extentsOf(drawing, layout) : area;
            const auto fits = [&](double scale) {
                return drawn.width() * scale <= sheet.paper.width() * 1.05
                    && drawn.height() * scale <= sheet.paper.height() * 1.05;
            };
            if (!drawn.isNull() && !fits(s) && fits(ratio))
                s = ratio;
        }
        QPointF origin(margins.left + offsetX, margins.bottom + offsetY);
        QPointF from;
        if (!area.isNull()) {
            from = area.topLeft();
            // Centred plots (and fitted ones) sit in the middle of the printable area.
            if (fit || (layout.plotFlags & 4))
                origin = QPointF(margins.left + (printableWidth - area.width() * s) / 2,
                    margins.bottom + (printableHeight - area.height() * s) / 2);
        }
        sheet.toPaper
            = QTransform(s, 0, 0, s, origin.x() - from.x() * s, origin.y() - from.y() * s);
        return sheet;
    }

    bool plausibleExtents(const Vec3 &min, const Vec3 &max)
    {
        // Unset extents are written as 1e20 and -1e20.
        return std::abs(min.x) < 1e12 && std::abs(min.y) < 1e12 && std::abs(max.x) < 1e12
            && std::abs(max.y) < 1e12 && max.x >= min.x && max.y >= min.y
            && (max.x > min.x || max.y > min.y);
    }

    SheetInfo modelSheet(const Drawing &drawing)
    {
        SheetInfo sheet;
        sheet.name = QStringLiteral("Model");
        if (onOwnPage(drawing.modelPage, QSizeF(), sheet))
            return sheet;
        // What model space draws, not the header's extents, which writers leave stale.
        QRectF extents = modelSpaceBounds(drawing);
        if (extents.isNull() && plausibleExtents(drawing.extentsMin, drawing.extentsMax))
            extents = QRectF(drawing.extentsMin.xy(), drawing.extentsMax.xy());
        if (!std::isfinite(extents.width()) || !std::isfinite(extents.height()))
            extents = QRectF();
        const double unit = millimetresPerUnit(drawing.insertionUnits);
        const double width = extents.width() * 1.1 * unit, height = extents.height() * 1.1 * unit;
        const auto fitIn = [&](double w, double h) {
            return std::min({ 1.0, width > 0 ? w / width : 1.0, height > 0 ? h / height : 1.0 });
        };
        double fit = std::max(fitIn(1189, 841), fitIn(841, 1189));
        // A drawing smaller than A4 is enlarged to it, as a plot fitted to the paper would be:
        // at its own few millimetres its lines would run into one another.
        const double longer = std::max(width, height);
        if (longer > 0 && longer < 297)
            fit = 297 / longer;
        sheet.paper = QSizeF(width * fit, height * fit);
        // A drawing of nothing, or of one point, is shown on A4.
        if (!(longer > 0))
            sheet.paper = QSizeF(297, 210);
        else if (std::min(width, height) * fit < 10)
            sheet.paper = QSizeF(std::max(10.0, width * fit), std::max(10.0, height * fit));
        const double s = unit * fit;
        const QPointF centre = extents.center();
        sheet.toPaper = QTransform(s, 0, 0, s, sheet.paper.width() / 2 - centre.x() * s,
            sheet.paper.height() / 2 - centre.y() * s);
        return sheet;
    }

} // namespace

QList<SheetInfo> sheetsOf(const Drawing &drawing)
{
    QList<const Layout *> layouts;
    for (const Layout &layout : drawing.layouts) {
        if (layout.block.isEmpty()
            || layout.block.compare(QLatin1String("*Model_Space"), Qt::CaseInsensitive) == 0)
            continue;
        if (holdsAnything(drawing.entitiesOf(layout)))
            layouts.append(&layout);
    }
    std::stable_sort(layouts.begin(), layouts.end(),
        [](const Layout *a, const Layout *b) { return a->tabOrder < b->tabOrder; });
    QList<SheetInfo> sheets;
    for (const Layout *layout : layouts)
        sheets.append(layoutSheet(drawing, *layout));
    if (sheets.isEmpty())
        sheets.append(modelSheet(drawing));
    return sheets;
}

int currentSheetIndex(const Drawing &drawing, const QList<SheetInfo> &sheets)
{
    if (drawing.activeLayout.isEmpty())
        return 0;
    for (int i = 0; i < sheets.size(); ++i) {
        if (sheets[i].layout
            && sheets[i].name.compare(drawing.activeLayout, Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}

} // namespace dxf
