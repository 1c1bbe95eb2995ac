#pragma once

#include "sheetlayout.h"

#include <QFont>

class QPainter;

// Draws a sheet the way it comes out on paper: white paper, black lines and texts in DejaVu Sans.
// Needs a QGuiApplication, like every painting with text.
class SheetPainter {
public:
    explicit SheetPainter(SheetLayout layout);

    const SheetLayout &layout() const { return sheet; }

    // Paints the whole paper with its top-left corner at the painter's origin, at dotsPerMm
    // device pixels per sheet millimetre. The painter's state is restored afterwards.
    void paint(QPainter &painter, double dotsPerMm) const;

private:
    SheetLayout sheet;
    QFont font;
    // Capital height of the font at its reference size, in pixels.
    double capHeight = 1;
};
