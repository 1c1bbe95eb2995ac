#pragma once

// Which installed faces draw a style's font. The CAD program's own fonts are not on this system:
// TrueType faces stand in by family or by a face of the same metrics, stroke fonts by a
// technical lettering face, and CJK faces follow for the characters the first ones lack.

#include <QString>
#include <QStringList>

namespace dxf {

struct FontChoice {
    // Installed families in the order each character is looked up.
    QStringList families;
    // The face only stands in for a stroke font: its glyphs go into the stroke font's cells.
    bool strokeStandIn = false;
};

// styleFont as TextRun::font has it; installed as QFontDatabase::families() lists them. For a
// text with CJK characters the CJK faces come first: a few Latin faces hold some CJK glyphs of
// their own, which would stand out among the others in size and weight.
FontChoice chooseFont(const QString &styleFont, const QStringList &installed, bool cjk = false);

} // namespace dxf
