#pragma once

#include <QPointF>
#include <QSizeF>

// Where a sheet lies in a window: window pixels per sheet millimetre, and the window position of
// the paper's top-left corner. Sheet points have the y axis up from the paper's bottom-left
// corner, window points have it down.
struct SheetZoom {
    // From a whole A0 sheet in a thumbnail to a tenth of a millimetre filling a pixel.
    static constexpr double minDotsPerMm = 0.01;
    static constexpr double maxDotsPerMm = 100;

    double dotsPerMm = 1;
    QPointF origin;

    // The whole paper in the middle of the window, with margin pixels free on every side where
    // there is room for them.
    static SheetZoom fit(const QSizeF &paper, const QSizeF &window, double margin);
    // Zoomed by factor within the limits, the sheet point under anchor staying where it is.
    SheetZoom zoomedAt(double factor, const QPointF &anchor) const;

    QPointF toSheet(const QPointF &windowPoint, double paperHeight) const;
    QPointF toWindow(const QPointF &sheetPoint, double paperHeight) const;
};
