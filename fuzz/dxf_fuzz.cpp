// Arbitrary bytes as a DXF drawing, ASCII or binary. A bad file must be refused with a ReadError;
// one that is accepted must be drawn, sheet by sheet, and written flattened, without fault: what
// cannot be drawn is counted, never a crash or a hang.

#include "dxf/dxfflatwriter.h"
#include "dxf/dxffrontend.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"

#include <QBuffer>
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
    for (const dxf::SheetInfo &sheet : dxf::sheetsOf(drawing)) {
        const dxf::Picture picture = dxf::drawSheet(drawing, sheet, QString());
        QByteArray flat;
        QBuffer buffer(&flat);
        buffer.open(QIODevice::WriteOnly);
        dxf::writeFlatDxf(picture, buffer);
    }
    return 0;
}
