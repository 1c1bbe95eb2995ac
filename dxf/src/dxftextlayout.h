#pragma once

// Texts laid out without fonts: the front end runs under a QCoreApplication, so widths are
// estimated from the advances of a common sans-serif face; the painter measures real glyphs
// and the runs' anchors keep centred and right-aligned lines where they belong.

#include "dxf/dxfdrawing.h"
#include "dxf/dxfpicture.h"

#include <QString>
#include <vector>

namespace dxf {

// The estimated width of a text whose capitals are capHeight high.
double estimatedWidth(QStringView text, double capHeight, double widthFactor = 1);
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

std::vector<MTextPiece> layoutMText(const MText &text, double height);

} // namespace dxf
