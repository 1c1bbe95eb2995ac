// Arbitrary bytes as a formats file. Beyond the sanitizers' findings, the reader must keep every
// list clean, and what the writer makes of the lists must read back as the same lists.

#include "formats/fmtfile.h"
#include "formats/fmtlists.h"

#include <QSet>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkClean(const FmtLists &fmtLists)
{
    check(fmtLists.keys() == FmtLists::standardKeys());
    for (const QString &key : fmtLists.keys()) {
        QSet<QString> seen;
        for (const QString &format : fmtLists.list(key)) {
            check(!format.isEmpty() && format != QLatin1String("\r"));
            check(!format.contains(QLatin1Char('#')) && !format.contains(QLatin1Char('\n')));
            check(!format.startsWith(QLatin1Char(' ')) && !format.endsWith(QLatin1Char(' ')));
            const QString folded = format.toCaseFolded();
            check(!seen.contains(folded));
            seen.insert(folded);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    FmtLists fmtLists = FmtLists::withStandardKeys();
    readFmtLines(fmtLists, content);
    checkClean(fmtLists);

    FmtLists again = FmtLists::withStandardKeys();
    readFmtLines(again, fmtFileContent(fmtLists, QDateTime(QDate(2026, 1, 2), QTime(15, 4, 5))));
    for (const QString &key : fmtLists.keys())
        check(again.list(key) == fmtLists.list(key));
    return 0;
}
