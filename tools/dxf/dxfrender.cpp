// quillet-dxfrender DRAWING.dxf OUTDIR [--dpi N]: draws every sheet of a DXF drawing as the host
// does and paints it on white into OUTDIR/sheet-<i>.png, with OUTDIR/sheets.json saying what each
// image shows (name, paper, the sheet's drawing-to-paper transform, what was not drawn). The
// fidelity measure compares these images with ezdxf's own rendering of the same layouts.

#include "dxf/dxffrontend.h"
#include "dxf/dxfpainter.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSaveFile>
#include <cmath>
#include <cstdio>

namespace {

void printError(const QString &message)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
}

QJsonObject renderSheet(const dxf::Drawing &drawing, const dxf::SheetInfo &sheet, int index,
    const QString &drawingFolder, const QDir &outDir, double dpi)
{
    const dxf::Picture picture = dxf::drawSheet(drawing, sheet, drawingFolder);
    const double dotsPerMm = dpi / 25.4;
    // The image covers the paper exactly, rounded to whole pixels as the reference rounds them.
    const QSize pixels(qMax(1, int(std::lround(sheet.paper.width() * dotsPerMm))),
        qMax(1, int(std::lround(sheet.paper.height() * dotsPerMm))));
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        dxf::paintPicture(picture, painter, dotsPerMm);
    }
    const QString png = QStringLiteral("sheet-%1.png").arg(index);
    if (!image.save(outDir.filePath(png)))
        throw dxf::ReadError(
            qPrintable(QStringLiteral("cannot write %1").arg(outDir.filePath(png))));

    const QTransform &t = sheet.toPaper;
    QJsonObject skipped;
    for (const auto &[type, count] : picture.skipped)
        skipped.insert(type, count);
    return QJsonObject { { QStringLiteral("name"), sheet.name }, { QStringLiteral("png"), png },
        { QStringLiteral("paper"), QJsonArray { sheet.paper.width(), sheet.paper.height() } },
        { QStringLiteral("pixels"), QJsonArray { pixels.width(), pixels.height() } },
        { QStringLiteral("toPaper"),
            QJsonArray { t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy() } },
        { QStringLiteral("skipped"), skipped } };
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-dxfrender"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws every sheet of a DXF drawing into OUTDIR/sheet-<i>.png and OUTDIR/sheets.json."));
    parser.addHelpOption();
    const QCommandLineOption dpiOption(QStringLiteral("dpi"),
        QStringLiteral("Image resolution (default 200)."), QStringLiteral("N"),
        QStringLiteral("200"));
    parser.addOption(dpiOption);
    parser.addPositionalArgument(QStringLiteral("DRAWING"), QStringLiteral("The DXF file."));
    parser.addPositionalArgument(QStringLiteral("OUTDIR"), QStringLiteral("Where images go."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    bool dpiOk = false;
    const double dpi = parser.value(dpiOption).toDouble(&dpiOk);
    if (args.size() != 2 || !dpiOk || dpi <= 0 || dpi > 2400) {
        printError(QStringLiteral("usage: quillet-dxfrender DRAWING.dxf OUTDIR [--dpi N]"));
        return 1;
    }

    try {
        const QString drawingPath = args.at(0);
        // Read first, so that a drawing that cannot be read leaves no empty folder behind.
        const dxf::Drawing drawing = dxf::readDrawingFile(drawingPath);
        const QDir outDir(args.at(1));
        if (!QDir().mkpath(outDir.path()))
            throw dxf::ReadError(qPrintable(QStringLiteral("cannot make %1").arg(outDir.path())));
        const QString folder = QFileInfo(drawingPath).absolutePath();
        QJsonArray sheets;
        const QList<dxf::SheetInfo> infos = dxf::sheetsOf(drawing);
        for (int i = 0; i < infos.size(); ++i)
            sheets.append(renderSheet(drawing, infos.at(i), i, folder, outDir, dpi));
        QSaveFile json(outDir.filePath(QStringLiteral("sheets.json")));
        if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(sheets).toJson()) < 0
            || !json.commit())
            throw dxf::ReadError(
                qPrintable(QStringLiteral("cannot write %1").arg(json.fileName())));
    } catch (const dxf::ReadError &error) {
        printError(error.message());
        return 1;
    }
    return 0;
}
