#pragma once

// Dimensions that come without a block, and multileaders, as the entities a block would hold for
// them: in the entity's own coordinates, on layer 0 and by block in linetype and lineweight (and
// in colour unless their style names one), so that the front end draws them as it draws a
// block's entities.

#include "dxf/dxfdrawing.h"

#include <vector>

namespace dxf {

std::vector<Entity> dimensionEntities(const Dimension &dimension);
// The drawing resolves the arrowhead's block.
std::vector<Entity> multiLeaderEntities(const Drawing &drawing, const MultiLeader &leader);

} // namespace dxf
