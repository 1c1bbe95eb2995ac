#pragma once

#include <QRgb>

namespace dxf {

// The opaque colour on paper of an index colour (1..255; others as 7), white drawn black.
QRgb aciColour(int index);
// An RGB value as drawn on paper: opaque, white drawn black.
QRgb paperColour(QRgb rgb);

} // namespace dxf
