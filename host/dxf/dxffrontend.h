#pragma once

#include "dxfdrawing.h"
#include "dxfpicture.h"
#include "dxfsheets.h"

namespace dxf {

// Draws a sheet into primitives. drawingFolder is where relative image files are looked for.
Picture drawSheet(const Drawing &drawing, const SheetInfo &sheet, const QString &drawingFolder);

} // namespace dxf
