#pragma once

#include "dxf/dxfdrawing.h"

#include <QRectF>

namespace dxf {

// The bounds of what model space draws, in drawing units (infinite lines left out); an empty
// rectangle when it draws nothing.
QRectF modelSpaceBounds(const Drawing &drawing);

} // namespace dxf
