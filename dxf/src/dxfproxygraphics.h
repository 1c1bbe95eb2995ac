#pragma once

// The picture an entity's own program drew of it (proxy graphics) as the engine's own shapes, so
// that custom objects the engine does not know still draw as their program drew them.

#include "dxf/dxfdrawing.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>
#include <vector>

namespace dxf {

struct ProxyPicture {
    // In the WCS of the entity's space, with the layer, colour, linetype, lineweight and
    // linetype scale the stream sets: what it leaves unset is by block (layer "0"), so that the
    // entity's own values apply as they do to a block's entities.
    std::vector<Entity> entities;
    // What the stream holds that could not be drawn, by name ("ACAD_PROXY_ENTITY (clip
    // graphics)"), in the order first met.
    QList<std::pair<QString, int>> skipped;
};

// Decodes the graphics of an entity of that type (the name its entities and counts carry). The
// drawing numbers the layers and linetypes the stream refers to. A stream that is short, lies
// about its sizes or holds values that are none yields what came before the fault and counts
// the fault.
ProxyPicture decodeProxyGraphics(
    const QByteArray &graphics, const QString &type, const Drawing &drawing);

} // namespace dxf
