#pragma once

#include <QRgb>

namespace dxf {

// The AutoCAD index colour (1 to 255) nearest to a colour, for files that hold no true colour.
// Black ink is 7, the colour that draws black on paper (and white on a dark screen).
int nearestAci(QRgb colour);

} // namespace dxf
