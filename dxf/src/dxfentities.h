#pragma once

// Multilines, feature control frames and meshes as the entities a block would hold for them: in
// WCS, on layer 0 and by block where the entity's own traits apply, so that the front end draws
// them as it draws a block's entities.

#include "dxf/dxfdrawing.h"

#include <vector>

namespace dxf {

// The drawing holds the multiline's style; a style it does not hold is the standard one, two
// lines half a unit either side.
std::vector<Entity> mlineEntities(const Drawing &drawing, const MLine &mline);
std::vector<Entity> toleranceEntities(const Tolerance &tolerance);
// Every edge of the mesh's faces once.
std::vector<Entity> meshEntities(const Mesh &mesh);

} // namespace dxf
