#include "sheetexport.h"

#include "dxf/dxfflatwriter.h"
#include "dxf/dxffrontend.h"
#include "dxf/dxfpainter.h"
#include "dxfwriter.h"
#include "sheetpainter.h"

#include <QBuffer>
#include <QFileDevice>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

namespace {

// The stand-in's own sheets are simple line drawings; a DXF layout carries text and detail
// that need the finer raster.
constexpr double imageDotsPerInch = 100;
constexpr double dxfImageDotsPerInch = 200;
constexpr double mmPerInch = 25.4;
// Fine enough for hairlines; the page itself is vector graphics.
constexpr int pdfResolution = 1200;

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool usablePaper(const QSizeF &paper)
{
    return std::isfinite(paper.width()) && std::isfinite(paper.height()) && paper.width() > 0
        && paper.height() > 0;
}

// A file keeps what it is given in a buffer: flushing here makes a full disk show now.
bool deviceFailed(QIODevice &device)
{
    auto *file = qobject_cast<QFileDevice *>(&device);
    return file && (!file->flush() || file->error() != QFileDevice::NoError);
}

// The PDF and image writers do not look at what their device's writes return, so they write
// into memory and the whole file goes to the device in one checked write.
bool sendAll(const QByteArray &data, QIODevice &device)
{
    return device.write(data) == data.size() && !deviceFailed(device);
}

// What the PDF and image writers draw a sheet with: the stand-in's own painter, or the DXF
// front end and painter.
class SheetPages {
public:
    explicit SheetPages(const ExportRequest &request)
        : request(request)
    {
    }

    bool isDxf() const { return request.drawing->dxf != nullptr; }
    void paint(int index, QPainter &painter, double dotsPerMm) const
    {
        if (isDxf())
            dxf::paintPicture(dxfPicture(index), painter, dotsPerMm);
        else
            SheetPainter(SheetLayout::of(request, index)).paint(painter, dotsPerMm);
    }
    dxf::Picture dxfPicture(int index) const
    {
        dxf::Picture picture = dxf::drawSheet(
            *request.drawing->dxf, request.drawing->dxfSheets.at(index), request.folder);
        if (request.drawn)
            request.drawn(index, picture.skipped);
        return picture;
    }

private:
    const ExportRequest &request;
};

bool writeDxf(const ExportRequest &request, QIODevice &device, QString *error)
{
    const SheetPages pages(request);
    const bool written = pages.isDxf()
        ? dxf::writeFlatDxf(pages.dxfPicture(request.sheetIndex), device)
        : DxfWriter::write(SheetLayout::of(request, request.sheetIndex), device);
    if (!written || deviceFailed(device))
        return fail(error,
            QStringLiteral("The DXF file could not be written: %1").arg(device.errorString()));
    return true;
}

bool writePdf(const ExportRequest &request, QIODevice &device, QString *error)
{
    QList<int> sheets;
    if (request.allSheets) {
        for (int i = 0; i < request.drawing->sheets.size(); ++i)
            sheets.append(i);
    } else {
        sheets.append(request.sheetIndex);
    }
    for (int index : sheets) {
        if (!usablePaper(request.drawing->sheets.at(index).paper))
            return fail(error,
                QStringLiteral("Sheet %1 has no usable paper size.")
                    .arg(request.drawing->sheets.at(index).name));
    }

    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(pdfResolution);
    writer.setCreator(QStringLiteral("Quillet stand-in host"));
    writer.setTitle(request.title);
    const auto pageSizeOf = [&request](int index) {
        return QPageSize(request.drawing->sheets.at(index).paper, QPageSize::Millimeter, QString(),
            QPageSize::ExactMatch);
    };
    const auto setPage = [&writer, &pageSizeOf](int index) {
        return writer.setPageLayout(QPageLayout(
            pageSizeOf(index), QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
    };
    if (!setPage(sheets.first()))
        return fail(error, QStringLiteral("The PDF page size could not be set."));

    QPainter painter;
    if (!painter.begin(&writer))
        return fail(error, QStringLiteral("The PDF file could not be started."));
    const double dotsPerMm = writer.resolution() / mmPerInch;
    const SheetPages pages(request);
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (i > 0) {
            setPage(sheets.at(i));
            writer.newPage();
        }
        pages.paint(sheets.at(i), painter, dotsPerMm);
    }
    if (!painter.end() || !sendAll(pdf, device))
        return fail(error,
            QStringLiteral("The PDF file could not be written: %1").arg(device.errorString()));
    return true;
}

bool writeImage(
    const ExportRequest &request, QIODevice &device, const QByteArray &format, QString *error)
{
    const SheetData &sheet = request.drawing->sheets.at(request.sheetIndex);
    const SheetPages pages(request);
    const double dotsPerInch = pages.isDxf() ? dxfImageDotsPerInch : imageDotsPerInch;
    const double dotsPerMm = dotsPerInch / mmPerInch;
    const double width = std::round(sheet.paper.width() * dotsPerMm);
    const double height = std::round(sheet.paper.height() * dotsPerMm);
    if (width < 1 || height < 1)
        return fail(error, QStringLiteral("Sheet %1 is too small for an image.").arg(sheet.name));
    // Qt's painter works within 32767 pixels a side, and its image readers refuse more than
    // 256 MB by default.
    if (width > 32767 || height > 32767 || width * height * 4 > 256.0 * 1024 * 1024)
        return fail(error, QStringLiteral("Sheet %1 is too large for an image.").arg(sheet.name));

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.canWrite())
        return fail(error,
            QStringLiteral("The %1 image format is not available: %2")
                .arg(QString::fromLatin1(format), writer.errorString()));
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return fail(error, QStringLiteral("Sheet %1 is too large for an image.").arg(sheet.name));
    const int dotsPerMeter = qRound(dotsPerMm * 1000);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        pages.paint(request.sheetIndex, painter, dotsPerMm);
    }

    if (format == "JPEG")
        writer.setQuality(90);
    else
        writer.setCompression(1); // LZW: a drawing is mostly white and shrinks a hundredfold
    if (!writer.write(image))
        return fail(error,
            QStringLiteral("The %1 image could not be written: %2")
                .arg(QString::fromLatin1(format), writer.errorString()));
    if (!sendAll(encoded, device))
        return fail(error,
            QStringLiteral("The %1 image could not be written: %2")
                .arg(QString::fromLatin1(format), device.errorString()));
    return true;
}

} // namespace

bool isExportExtension(const QString &upperExtension)
{
    static const QStringList extensions { QStringLiteral(".DXF"), QStringLiteral(".PDF"),
        QStringLiteral(".JPG"), QStringLiteral(".TIF") };
    return extensions.contains(upperExtension, Qt::CaseInsensitive);
}

bool exportPaints(const QString &upperExtension)
{
    return isExportExtension(upperExtension)
        && upperExtension.compare(QLatin1String(".DXF"), Qt::CaseInsensitive) != 0;
}

bool writeExport(const ExportRequest &request, QIODevice &device, QString *error)
{
    if (!isExportExtension(request.extension))
        return fail(error, QStringLiteral("%1 files cannot be exported.").arg(request.extension));
    if (!request.drawing || request.drawing->type != DocumentData::Type::Drawing)
        return fail(error, QStringLiteral("Only drawings can be exported."));
    if (request.sheetIndex < 0 || request.sheetIndex >= request.drawing->sheets.size())
        return fail(
            error, QStringLiteral("The drawing has no sheet %1.").arg(request.sheetIndex + 1));
    const SheetData &sheet = request.drawing->sheets.at(request.sheetIndex);
    if (!usablePaper(sheet.paper))
        return fail(error, QStringLiteral("Sheet %1 has no usable paper size.").arg(sheet.name));
    if (!device.isWritable())
        return fail(error, QStringLiteral("The output is not open for writing."));

    const QString extension = request.extension.toUpper();
    if (extension == QLatin1String(".DXF"))
        return writeDxf(request, device, error);
    if (extension == QLatin1String(".PDF"))
        return writePdf(request, device, error);
    if (extension == QLatin1String(".JPG"))
        return writeImage(request, device, "JPEG", error);
    return writeImage(request, device, "TIFF", error);
}
