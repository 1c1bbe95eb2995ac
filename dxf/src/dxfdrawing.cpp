#include "dxf/dxfdrawing.h"

namespace dxf {

const Block *Drawing::block(const QString &name) const
{
    const auto found = blocks.constFind(name.toUpper());
    return found == blocks.cend() ? nullptr : &*found;
}

const Layer *Drawing::layer(const QString &name) const
{
    const auto found = layers.constFind(name.toUpper());
    return found == layers.cend() ? nullptr : &*found;
}

const std::vector<Entity> &Drawing::entitiesOf(const Layout &layout) const
{
    static const std::vector<Entity> none;
    if (layout.block.isEmpty())
        return modelSpace;
    // The active layout's entities stand in the ENTITIES section; its block is empty then.
    if (layout.block.compare(u"*Paper_Space", Qt::CaseInsensitive) == 0)
        return activePaperSpace;
    const Block *own = block(layout.block);
    return own ? own->entities : none;
}

const Entity *Drawing::entityByHandle(quint64 handle) const
{
    if (handle == 0)
        return nullptr;
    auto find = [handle](const std::vector<Entity> &entities) -> const Entity * {
        for (const Entity &entity : entities) {
            if (entity.common.handle == handle)
                return &entity;
        }
        return nullptr;
    };
    if (const Entity *found = find(modelSpace))
        return found;
    if (const Entity *found = find(activePaperSpace))
        return found;
    for (const Block &each : blocks) {
        if (const Entity *found = find(each.entities))
            return found;
    }
    return nullptr;
}

} // namespace dxf
