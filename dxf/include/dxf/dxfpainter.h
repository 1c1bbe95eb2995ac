#pragma once

#include "dxf/dxfpicture.h"

class QPainter;

namespace dxf {

// Paints the picture's ink (not the paper) with the paper's top-left corner at the painter's
// origin, at dotsPerMm device pixels per paper millimetre. Needs a QGuiApplication for text.
// The painter's state is restored afterwards.
void paintPicture(const Picture &picture, QPainter &painter, double dotsPerMm);

} // namespace dxf
