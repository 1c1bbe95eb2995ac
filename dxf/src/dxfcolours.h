#pragma once

#include <QRgb>

namespace dxf {

// The opaque colour on paper of an index colour (1..255; others as 7), white drawn black.
QRgb aciColour(int index);
// An RGB value as drawn on paper: opaque, white drawn black.
QRgb paperColour(QRgb rgb);
// The index colour (1 to 255) nearest to a colour, for files that hold no true colour. Black ink
// is 7, the colour that draws black on paper (and white on a dark screen).
int nearestAci(QRgb colour);

} // namespace dxf
