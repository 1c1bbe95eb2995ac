// The formats file is read when the main dialog opens and rewritten on every Go, so even a file
// that has grown to 10,000 formats per output type must not make either step noticeable.

#include "addin/quilletmain.h"
#include "benchmark.h"
#include "formats/fmtfile.h"
#include "formats/fmtlists.h"
#include "platform/filesystemobject.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int formatsPerList = 10000;

QString format(int number)
{
    return QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision%1|_|DATE|_|TIME").arg(number);
}

qsizetype formatCount(const FmtLists &fmtLists)
{
    qsizetype count = 0;
    for (const QString &key : fmtLists.keys())
        count += fmtLists.list(key).size();
    return count;
}

// Appends count new formats to one list and then offers each again in other letter case.
double nanosecondsPerFormat(int count)
{
    const QString key = FmtLists::standardKeys().at(1);
    QStringList formats;
    QStringList duplicates;
    for (int i = 0; i < count; ++i) {
        formats.append(format(i));
        duplicates.append(format(i).toLower());
    }
    FmtLists fmtLists;
    bool allRight = true;
    const Timing timing = measure(
        5,
        [&] {
            for (const QString &text : formats)
                allRight = fmtLists.append(key, text) && allRight;
            for (const QString &text : duplicates)
                allRight = !fmtLists.append(key, text) && allRight;
        },
        [&] { fmtLists = FmtLists::withStandardKeys(); });
    if (!allRight || fmtLists.list(key).size() != count)
        return 1e9;
    return timing.fastest * 1e6 / (2.0 * count);
}

} // namespace

QUILLET_BENCHMARK(fmtfile)
{
    Quilletmain::fillFromVersionResource();
    QTemporaryDir dir;
    const auto savedDrives = FileSystemObject::drives();
    FileSystemObject::setDrive(QLatin1Char('B'), dir.path());
    const QString path = QStringLiteral("B:\\") + Quilletmain::productName + QStringLiteral(".FMT");
    const QString nativePath = FileSystemObject().toNative(path);
    QFile(nativePath).open(QIODevice::WriteOnly);

    FmtLists full = FmtLists::withStandardKeys();
    for (const QString &key : full.keys()) {
        for (int i = 0; i < formatsPerList; ++i)
            full.append(key, format(i));
    }
    saveFmtFile(full, path);

    FmtLists loaded;
    const auto reset = [&] { loaded = FmtLists::withStandardKeys(); };
    const Timing load = measure(
        9, [&] { loadFmtFile(loaded, path); }, reset);
    const Timing save = measure(9, [&] { saveFmtFile(loaded, path); });
    const Timing both = measure(
        9,
        [&] {
            loadFmtFile(loaded, path);
            saveFmtFile(loaded, path);
        },
        reset);
    std::printf("  %lld formats in %lld bytes, fastest of 9 runs (median; processor time):\n",
        static_cast<long long>(formatCount(loaded)),
        static_cast<long long>(QFileInfo(nativePath).size()));
    for (const auto &[what, timing] :
        { std::pair { "load", load }, std::pair { "save", save }, std::pair { "both", both } })
        std::printf("    %s %8.2f ms (%.2f ms; %.2f ms)\n", what, timing.fastest, timing.median,
            timing.fastestCpu);
    bool passed = formatCount(loaded) == 8 * formatsPerList;
    if (!passed)
        std::printf("  FAIL  the file read back %lld formats\n",
            static_cast<long long>(formatCount(loaded)));
    passed = checkGoal(QStringLiteral("load plus save of 8 x 10,000 formats"), both.fastest, 100,
                 QStringLiteral("ms"))
        && passed;

    // A list that checks duplicates by searching itself would cost eight times as much per
    // format at 80,000 as at 10,000; caches alone make a larger list somewhat slower.
    const double small = nanosecondsPerFormat(formatsPerList);
    const double large = nanosecondsPerFormat(8 * formatsPerList);
    std::printf("  append or refuse one format: %.0f ns in a list of 10,000, %.0f ns in one of "
                "80,000\n",
        small, large);
    passed = checkGoal(QStringLiteral("cost per format at 80,000 relative to 10,000"),
                 large / small, 3.0, QStringLiteral("times"))
        && passed;

    FileSystemObject::setDrives(savedDrives);
    return passed;
}
