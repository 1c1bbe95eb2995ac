#pragma once

#include "dxf/dxfpicture.h"

#include <QIODevice>

namespace dxf {

// The picture as one model space of a DXF drawing in paper millimetres, which independent
// readers accept. False when the device took less than all of it.
bool writeFlatDxf(const Picture &picture, QIODevice &device);

} // namespace dxf
