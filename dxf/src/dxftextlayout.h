#pragma once

// Texts laid out without fonts: the front end runs under a QCoreApplication, so widths are
// estimated from tables of advances (the stroke fonts', Arial's, or a common sans-serif face's);
// the painter keeps the stroke fonts' widths, measures TrueType glyphs itself, and the runs'
// anchors keep centred and right-aligned lines where they belong.

#include "dxf/dxfdrawing.h"
#include "dxf/dxfpicture.h"

#include <QString>
#include <utility>
#include <vector>

namespace dxf {

// How a style's font spaces its characters as the CAD program lays them out.
enum class FontMetrics {
    // A TrueType face we draw with DejaVu Sans or the face itself.
    Sans,
    // Arial and its metric twin Liberation Sans.
    Arial,
    // The CAD program's default stroke font: one capital height a character ("I" two thirds).
    Txt,
    // The other stroke fonts, spaced like the simplex Roman they derive from.
    Simplex,
};

// A style's font name ("txt", "romans.shx", "arial.ttf", "Arial"), or an MTEXT font switch, is a
// stroke font when it names a shape file or one of the stroke fonts by its bare name; the CAD
// program's default font is one too.
bool isStrokeFont(const QString &font);
// Decided by the name alone, so that the front end's layout and the painter agree.
FontMetrics fontMetrics(const QString &font);
// Where a stroke font's glyph has its ink in its cell (estimatedWidth of the character): first
// and last stroke, in capital heights from the cell's start.
std::pair<double, double> strokeInk(QChar c, FontMetrics metrics);
// The estimated width of a text whose capitals are capHeight high.
double estimatedWidth(QStringView text, double capHeight, double widthFactor = 1,
    FontMetrics metrics = FontMetrics::Sans);
// TEXT's special codes resolved (%%c, %%d, %%p, %%%); %%u and %%o dropped.
QString resolveSpecialCodes(const QString &text);

// A piece of an MTEXT in the text's own frame (x along the baseline, y up, drawing units,
// origin at the insertion point).
struct MTextPiece {
    QString text;
    QPointF position;
    TextRun::Anchor anchor = TextRun::Anchor::Left;
    double height = 0;
    double widthFactor = 1;
    double oblique = 0;
    // Empty for the style's font.
    QString font;
    // An index colour (0 by block, 256 by layer), or -1; a true colour 0xRRGGBB, or -1.
    int colour = -1;
    std::int32_t trueColour = -1;
};

// font is the style's; pieces under a font switch are measured in the font they switch to.
std::vector<MTextPiece> layoutMText(const MText &text, double height, const QString &font = {});

} // namespace dxf
