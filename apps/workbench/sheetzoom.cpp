#include "sheetzoom.h"

#include <algorithm>

SheetZoom SheetZoom::fit(const QSizeF &paper, const QSizeF &window, double margin)
{
    SheetZoom zoom;
    if (paper.width() > 0 && paper.height() > 0) {
        const double width = std::max(window.width() - 2 * margin, 1.0);
        const double height = std::max(window.height() - 2 * margin, 1.0);
        zoom.dotsPerMm = std::clamp(
            std::min(width / paper.width(), height / paper.height()), minDotsPerMm, maxDotsPerMm);
    }
    const QSizeF shown = paper * zoom.dotsPerMm;
    zoom.origin
        = QPointF((window.width() - shown.width()) / 2, (window.height() - shown.height()) / 2);
    return zoom;
}

SheetZoom SheetZoom::zoomedAt(double factor, const QPointF &anchor) const
{
    SheetZoom zoom;
    zoom.dotsPerMm = std::clamp(dotsPerMm * factor, minDotsPerMm, maxDotsPerMm);
    zoom.origin = anchor - (anchor - origin) * (zoom.dotsPerMm / dotsPerMm);
    return zoom;
}

QPointF SheetZoom::toSheet(const QPointF &windowPoint, double paperHeight) const
{
    const QPointF onPaper = (windowPoint - origin) / dotsPerMm;
    return QPointF(onPaper.x(), paperHeight - onPaper.y());
}

QPointF SheetZoom::toWindow(const QPointF &sheetPoint, double paperHeight) const
{
    return origin + QPointF(sheetPoint.x(), paperHeight - sheetPoint.y()) * dotsPerMm;
}
