#pragma once

#include "dxf/dxfdrawing.h"
#include "dxf/dxfpicture.h"
#include "dxf/dxfsheets.h"

namespace dxf {

// Draws a sheet into primitives. drawingFolder is where relative image files are looked for.
Picture drawSheet(const Drawing &drawing, const SheetInfo &sheet, const QString &drawingFolder);

} // namespace dxf
