#pragma once

// What the front end hands the back ends: a sheet as plain primitives in paper millimetres, y up
// from the paper's lower-left corner, with everything resolved (layers, colours, linetypes with
// their dashes, blocks, viewports and their clipping, curves as points). The back ends only draw
// these, in order: a later item covers an earlier one.

#include <QList>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <utility>
#include <variant>
#include <vector>

namespace dxf {

// A line through points; dashes are separate strokes.
struct Stroke {
    std::vector<QPointF> points;
    bool closed = false;
    QRgb colour = 0xff000000;
    // Width on paper in mm; 0 for the thinnest line the device draws.
    double width = 0;
};

// A filled area: its rings under the odd-even rule.
struct Fill {
    std::vector<std::vector<QPointF>> rings;
    QRgb colour = 0xff000000;
};

// One line of text. No control characters, no line breaks.
struct TextRun {
    enum class Anchor { Left, Centre, Right };
    QString text;
    // The anchor point on the baseline.
    QPointF position;
    Anchor anchor = Anchor::Left;
    // Height of the capitals on paper, mm.
    double height = 2.5;
    // Degrees counter-clockwise of the baseline.
    double rotation = 0;
    double widthFactor = 1;
    // Degrees the glyphs lean to the right.
    double oblique = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    // The text style's font: a family name or a font file name as the drawing gives it.
    QString font;
    QRgb colour = 0xff000000;
    // When positive, the run is stretched or squeezed to exactly this width (fitted texts).
    double fitWidth = 0;
};

// A raster picture: pixel (0, 0)'s outer corner at origin, columns along u and rows along v
// (paper mm per pixel), rows counted up from the bottom as DXF counts them.
struct PictureImage {
    // The absolute native path of a readable file.
    QString file;
    QPointF origin;
    QPointF u;
    QPointF v;
    QSize pixels;
    // Paper mm; empty when the picture is not clipped.
    std::vector<QPointF> clip;
};

using PictureItem = std::variant<Stroke, Fill, TextRun, PictureImage>;

struct Picture {
    QSizeF paper;
    std::vector<PictureItem> items;
    // Entity types met but not drawn, with their counts, by type name in alphabetical order.
    QList<std::pair<QString, int>> skipped;
};

} // namespace dxf
