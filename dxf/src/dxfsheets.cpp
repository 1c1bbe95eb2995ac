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
        return std::any_of(entities.begin(), entities.end(), [](const Entity &e) {
            const auto *viewport = std::get_if<Viewport>(&e.shape);
            return !viewport || viewport->id != 1;
        });
    }

    // The plotted area of a layout turned by its rotation onto the paper as seen.
    QTransform rotated(int rotation, double width, double height)
    {
        switch (rotation) {
        case 1:
            return QTransform(0, 1, -1, 0, height, 0);
        case 2:
            return QTransform(-1, 0, 0, -1, width, height);
        case 3:
            return QTransform(0, -1, 1, 0, 0, width);
        default:
            return {};
        }
    }

    SheetInfo layoutSheet(const Drawing &drawing, const Layout &layout)
    {
        SheetInfo sheet;
        sheet.name = layout.name;
        sheet.layout = &layout;
        const double unit = layout.paperUnits == 0 ? 25.4 : 1;
        double width = layout.paperWidth, height = layout.paperHeight;
        bool fromLimits = false;
        if (!usable(width) || !usable(height)) {
            QPointF min = layout.limitsMin, max = layout.limitsMax;
            if (!usableArea(min, max)) {
                min = drawing.paperLimitsMin;
                max = drawing.paperLimitsMax;
            }
            if (usableArea(min, max)) {
                width = (max.x() - min.x()) * unit;
                height = (max.y() - min.y()) * unit;
            } else {
                // Nothing tells the paper: ISO A3 landscape, the commonest drawing sheet.
                width = 420;
                height = 297;
            }
            fromLimits = true;
            sheet.toPaper = QTransform::fromScale(unit, unit).translate(-min.x(), -min.y());
        }
        const int rotation = layout.rotation & 3;
        sheet.paper = rotation % 2 ? QSizeF(height, width) : QSizeF(width, height);
        if (fromLimits)
            return sheet;

        double scale = layout.printScaleNumerator / layout.printScaleDenominator;
        const bool scaleUsable = usable(scale);
        if (!scaleUsable)
            scale = 1;
        const double plotOriginX = std::isfinite(layout.plotOrigin.x()) ? layout.plotOrigin.x() : 0;
        const double plotOriginY = std::isfinite(layout.plotOrigin.y()) ? layout.plotOrigin.y() : 0;
        const double left = std::isfinite(layout.marginLeft) ? layout.marginLeft : 0;
        const double bottom = std::isfinite(layout.marginBottom) ? layout.marginBottom : 0;
        QTransform plot;
        QPointF areaMin, areaMax;
        bool area = true;
        switch (layout.plotType) {
        case 1:
            areaMin = layout.extentsMin.xy();
            areaMax = layout.extentsMax.xy();
            if (!usableArea(areaMin, areaMax)) {
                areaMin = drawing.paperExtentsMin.xy();
                areaMax = drawing.paperExtentsMax.xy();
            }
            break;
        case 2:
            areaMin = layout.limitsMin;
            areaMax = layout.limitsMax;
            break;
        case 4:
            areaMin = layout.windowMin;
            areaMax = layout.windowMax;
            break;
        default:
            area = false;
        }
        if (area && usableArea(areaMin, areaMax)) {
            const double right = std::isfinite(layout.marginRight) ? layout.marginRight : 0;
            const double top = std::isfinite(layout.marginTop) ? layout.marginTop : 0;
            const double printableWidth = std::max(1.0, width - left - right);
            const double printableHeight = std::max(1.0, height - bottom - top);
            const double areaWidth = areaMax.x() - areaMin.x(),
                         areaHeight = areaMax.y() - areaMin.y();
            double s = scale * unit;
            const bool fit = !scaleUsable || layout.printScaleNumerator == 0;
            if (fit)
                s = std::min(printableWidth / areaWidth, printableHeight / areaHeight);
            double x = left + plotOriginX, y = bottom + plotOriginY;
            // Bit 4 of the plot flags centres the plot on the printable area.
            if (fit || layout.plotFlags & 4) {
                x = left + (printableWidth - areaWidth * s) / 2;
                y = bottom + (printableHeight - areaHeight * s) / 2;
            }
            plot = QTransform(s, 0, 0, s, x - areaMin.x() * s, y - areaMin.y() * s);
        } else {
            const double s = scale * unit;
            plot = QTransform(s, 0, 0, s, left + plotOriginX, bottom + plotOriginY);
        }
        sheet.toPaper = plot * rotated(rotation, width, height);
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
        QRectF extents;
        if (plausibleExtents(drawing.extentsMin, drawing.extentsMax))
            extents = QRectF(drawing.extentsMin.xy(), drawing.extentsMax.xy());
        else
            extents = modelSpaceBounds(drawing);
        if (!std::isfinite(extents.width()) || !std::isfinite(extents.height()))
            extents = QRectF();
        const double unit = millimetresPerUnit(drawing.insertionUnits);
        const double width = extents.width() * 1.1 * unit, height = extents.height() * 1.1 * unit;
        const auto fitIn = [&](double w, double h) {
            return std::min({ 1.0, width > 0 ? w / width : 1.0, height > 0 ? h / height : 1.0 });
        };
        const double fit = std::max(fitIn(1189, 841), fitIn(841, 1189));
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
