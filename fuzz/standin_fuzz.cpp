// Arbitrary bytes as a stand-in document of each type. A bad document must be refused with a
// StandInFileError; one that is accepted must write out as a document that reads back the same.

#include "standinfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void roundTrip(const QByteArray &json, const QString &fileName)
{
    DocumentData document;
    try {
        document = parseStandInDocument(json, fileName);
    } catch (const StandInFileError &) {
        // Refusing bad input with a message is the behaviour under test.
        return;
    }
    const QByteArray written = writeStandInDocument(document);
    try {
        if (writeStandInDocument(parseStandInDocument(written, fileName)) != written)
            std::abort();
    } catch (const StandInFileError &) {
        // A document the host wrote itself must always read back.
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char *fileName : { "FUZZ.SLDDRW", "FUZZ.SLDPRT", "FUZZ.SLDASM" })
        roundTrip(json, QString::fromLatin1(fileName));
    return 0;
}
