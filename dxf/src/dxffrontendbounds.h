#pragma once

#include "dxf/dxfdrawing.h"

#include <QRectF>

namespace dxf {

// The bounds of what model space draws, in drawing units (infinite lines left out); an empty
// rectangle when it draws nothing.
QRectF modelSpaceBounds(const Drawing &drawing);
// The same for a layout's paper space, each viewport counted by its frame.
QRectF paperSpaceBounds(const Drawing &drawing, const Layout &layout);
// The layout's own viewport (its view of the paper, never drawn) among its entities: the one with
// id 1, or in a layout that was not current the first of its viewports; nullptr when none.
const Entity *layoutViewport(const std::vector<Entity> &entities);

} // namespace dxf
