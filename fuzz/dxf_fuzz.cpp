// Arbitrary bytes as a DXF drawing, ASCII or binary. A bad file must be refused with a ReadError;
// one that is accepted must be answered by the drawing's own look-ups without fault.

#include "dxfreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    dxf::Drawing drawing;
    try {
        drawing = dxf::readDrawing(bytes, QStringLiteral("FUZZ.DXF"));
    } catch (const dxf::ReadError &) {
        // Refusing bad input with a message is the behaviour under test.
        return 0;
    }
    for (const dxf::Layout &layout : drawing.layouts)
        drawing.entitiesOf(layout);
    for (const dxf::Entity &entity : drawing.activePaperSpace) {
        if (const auto *viewport = std::get_if<dxf::Viewport>(&entity.shape))
            drawing.entityByHandle(viewport->clipBoundary);
    }
    return 0;
}
