// A real DXF drawing of about 30 MB, read and its largest layout drawn as the host saves it as an
// image, against ezdxf reading and drawing the same file; and how closely the test drawings
// match ezdxf's rendering.

#include "benchmark.h"
#include "dxf/dxffrontend.h"
#include "dxf/dxfpainter.h"
#include "dxf/dxfreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <cstdio>

namespace {

constexpr double imageDotsPerInch = 100;
const QString python = QStringLiteral("/usr/bin/python3");

// Resident memory now, or its peak since the last reset, in KiB; -1 when unknown.
long long residentKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

// Made once beside the benchmark program; ezdxf writes the same bytes every time.
QString benchDrawing()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-30mb.dxf");
    if (QFileInfo::exists(path))
        return path;
    QProcess make;
    make.start(python,
        { QStringLiteral(QUILLET_SOURCE_DIR "/tools/dxf/make-bench-drawing.py"),
            QStringLiteral("--megabytes"), QStringLiteral("30"), path });
    if (!make.waitForFinished(600'000) || make.exitCode() != 0)
        return {};
    return path;
}

// The layout whose picture holds the most.
int largestSheet(const dxf::Drawing &drawing, const QList<dxf::SheetInfo> &sheets)
{
    int largest = 0;
    std::size_t most = 0;
    for (int i = 0; i < sheets.size(); ++i) {
        const std::size_t items = dxf::drawSheet(drawing, sheets.at(i), {}).items.size();
        if (items > most) {
            most = items;
            largest = i;
        }
    }
    return largest;
}

void drawAsImage(const dxf::Drawing &drawing, const dxf::SheetInfo &sheet)
{
    const double dotsPerMm = imageDotsPerInch / 25.4;
    QImage image(qRound(sheet.paper.width() * dotsPerMm), qRound(sheet.paper.height() * dotsPerMm),
        QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    dxf::paintPicture(dxf::drawSheet(drawing, sheet, {}), painter, dotsPerMm);
}

} // namespace

QUILLET_BENCHMARK(dxfDrawing)
{
    const QString path = benchDrawing();
    if (path.isEmpty()) {
        std::printf("  FAIL  the benchmark drawing could not be made with ezdxf\n");
        return false;
    }
    const double megabytes = double(QFileInfo(path).size()) / 1e6;

    // The peak is reset to what is resident now, so it grows only with the drawing.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    clear.close();
    const long long before = residentKiB("VmRSS:");
    dxf::Drawing drawing = dxf::readDrawingFile(path);
    const QList<dxf::SheetInfo> sheets = dxf::sheetsOf(drawing);
    const int largest = largestSheet(drawing, sheets);
    const long long peak = residentKiB("VmHWM:");

    const Timing read = measure(3, [&] { dxf::readDrawingFile(path); });
    const Timing draw = measure(3, [&] { drawAsImage(drawing, sheets.at(largest)); });
    const double ours = (read.fastest + draw.fastest) / 1e3;
    std::printf("  %.1f MB, %zu model-space entities; layout \"%s\" drawn at %.0f dpi\n", megabytes,
        drawing.modelSpace.size(), qPrintable(sheets.at(largest).name), imageDotsPerInch);
    std::printf("    read %.0f ms (%.0f MB/s), draw %.0f ms\n", read.fastest,
        megabytes / read.fastest * 1e3, draw.fastest);

    QProcess ezdxf;
    ezdxf.start(python,
        { QStringLiteral(QUILLET_SOURCE_DIR "/tools/dxf/ezdxf-time.py"), path,
            sheets.at(largest).name, QString::number(imageDotsPerInch) });
    double theirs = -1;
    if (ezdxf.waitForFinished(3'600'000) && ezdxf.exitCode() == 0) {
        theirs = 0;
        for (const QByteArray &line : ezdxf.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                theirs += line.split(' ').value(1).toDouble();
        }
        std::printf("    ezdxf: read and draw %.1f s\n", theirs);
    } else {
        std::printf("    ezdxf could not be timed: %s\n", ezdxf.readAllStandardError().constData());
    }

    bool passed = checkAtLeast(QStringLiteral("reading speed"), megabytes / read.fastest * 1e3, 90,
        QStringLiteral("MB/s"));
    passed = checkAtLeast(QStringLiteral("ezdxf's time to read and draw over ours"), theirs / ours,
                 20, QStringLiteral("times"))
        && passed;
    if (peakReset && before >= 0 && peak >= 0) {
        const double memory = double(peak - before) * 1024 / 1e6;
        std::printf("    memory to read and draw: %.0f MB\n", memory);
        passed = checkGoal(QStringLiteral("memory over the file's size"), memory / megabytes, 10,
                     QStringLiteral("times"))
            && passed;
    }

    QProcess fidelity;
    QStringList arguments { QStringLiteral(QUILLET_SOURCE_DIR "/tools/dxf/fidelity.py"),
        QStringLiteral("--render"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-dxfrender") };
    for (const QFileInfo &file :
        QDir(QStringLiteral(QUILLET_SOURCE_DIR "/tests/data/dxf")).entryInfoList(QDir::Files)) {
        if (file.suffix().compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0)
            arguments.append(file.filePath());
    }
    fidelity.start(python, arguments);
    fidelity.waitForFinished(600'000);
    std::printf("  fidelity against ezdxf's drawing add-on, per sheet:\n");
    for (const QByteArray &line : fidelity.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            std::printf("    %s\n", line.constData());
    }
    return passed;
}
