#include "flangedrawing.h"

#include "standinfile.h"

#include <QFile>
#include <QtMath>

namespace {

// A rectangle with rounded corners, as a machined plate's outline is drawn.
PolylineShape roundedRectangle(double width, double height, double radius)
{
    constexpr int segmentsPerCorner = 8;
    const QPointF corners[] = { { width - radius, radius }, { width - radius, height - radius },
        { radius, height - radius }, { radius, radius } };
    PolylineShape outline;
    outline.closed = true;
    for (int corner = 0; corner < 4; ++corner) {
        for (int i = 0; i <= segmentsPerCorner; ++i) {
            const double angle
                = qDegreesToRadians(-90.0 + 90.0 * (corner + double(i) / segmentsPerCorner));
            outline.points.append(
                corners[corner] + QPointF(radius * qCos(angle), radius * qSin(angle)));
        }
    }
    return outline;
}

// A hole with its two centre lines.
void addHole(QList<Shape> &geometry, QPointF centre, double radius)
{
    const double reach = radius * 1.4;
    geometry.append(CircleShape { centre, radius });
    geometry.append(LineShape { centre - QPointF(reach, 0), centre + QPointF(reach, 0) });
    geometry.append(LineShape { centre - QPointF(0, reach), centre + QPointF(0, reach) });
}

// A slot of two straight sides and two half circles.
void addSlot(QList<Shape> &geometry, QPointF from, QPointF to, double halfWidth)
{
    geometry.append(LineShape { from + QPointF(0, -halfWidth), to + QPointF(0, -halfWidth) });
    geometry.append(LineShape { to + QPointF(0, halfWidth), from + QPointF(0, halfWidth) });
    geometry.append(ArcShape { to, halfWidth, 270, 90 });
    geometry.append(ArcShape { from, halfWidth, 90, 270 });
}

// A 240 x 160 mm flange plate: bore with chamfer and keyway, a bolt circle, corner holes, two
// slots and the hidden edges of two ribs: nearly eighty entities.
DocumentData flangePart()
{
    DocumentData part;
    part.type = DocumentData::Type::Part;
    part.configurations = QStringList { QStringLiteral("Default"), QStringLiteral("X1") };
    part.properties = { { QString(),
                            { { QStringLiteral("Material"), QStringLiteral("S355") },
                                { QStringLiteral("Description"), QStringLiteral("Flange plate") },
                                { QStringLiteral("PartNo"), QStringLiteral("F-2040") } } },
        { QStringLiteral("X1"), { { QStringLiteral("PartNo"), QStringLiteral("F-2040-X1") } } } };

    QList<Shape> &geometry = part.geometry;
    geometry.append(roundedRectangle(240, 160, 20));
    const QPointF centre(120, 80);
    geometry.append(CircleShape { centre, 40 });
    geometry.append(CircleShape { centre, 42 });
    geometry.append(PolylineShape { { centre + QPointF(-6, 39.5), centre + QPointF(-6, 46),
                                        centre + QPointF(6, 46), centre + QPointF(6, 39.5) },
        false });
    geometry.append(CircleShape { centre, 60 });
    for (int i = 0; i < 8; ++i) {
        const double angle = qDegreesToRadians(22.5 + 45.0 * i);
        addHole(geometry, centre + QPointF(60 * qCos(angle), 60 * qSin(angle)), 6);
    }
    for (const QPointF corner :
        { QPointF(20, 20), QPointF(220, 20), QPointF(220, 140), QPointF(20, 140) })
        addHole(geometry, corner, 8);
    addSlot(geometry, QPointF(35, 80), QPointF(45, 80), 5);
    addSlot(geometry, QPointF(195, 80), QPointF(205, 80), 5);
    for (double y : { 8.0, 152.0 }) {
        for (int dash = 0; dash < 12; ++dash)
            geometry.append(LineShape { QPointF(30 + 15 * dash, y), QPointF(38 + 15 * dash, y) });
    }
    geometry.append(LineShape { QPointF(0, 80), QPointF(240, 80) });
    geometry.append(LineShape { QPointF(120, 0), QPointF(120, 160) });
    return part;
}

SheetData flangeSheet(int number, int sheetCount)
{
    SheetData sheet;
    sheet.name = QStringLiteral("Sheet%1").arg(number);
    const bool twoViews = number % 2 == 1;
    sheet.paper = twoViews ? QSizeF(594, 420) : QSizeF(420, 297);
    sheet.views.append({ QStringLiteral("Drawing View%1").arg(2 * number - 1),
        QStringLiteral("FLANGE.SLDPRT"), QStringLiteral("Default"), 170, 180, 1.0, true });
    if (twoViews) {
        sheet.views.append({ QStringLiteral("Drawing View%1").arg(2 * number),
            QStringLiteral("FLANGE.SLDPRT"), QStringLiteral("X1"), 430, 250, 0.5, true });
    }
    sheet.notes.append({ QStringLiteral("SHEET %1 OF %2").arg(number).arg(sheetCount), 20, 20 });
    sheet.notes.append({ QStringLiteral("ALL EDGES DEBURRED"), 20, 30 });
    return sheet;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

QString writeFlangeDrawing(const QString &dir, const QString &baseName, int sheetCount)
{
    DocumentData drawing;
    drawing.type = DocumentData::Type::Drawing;
    drawing.properties = { { QString(),
        { { QStringLiteral("Title"), QStringLiteral("Flange plates") },
            { QStringLiteral("Revision"), QStringLiteral("B") } } } };
    for (int number = 1; number <= sheetCount; ++number)
        drawing.sheets.append(flangeSheet(number, sheetCount));
    drawing.activeSheet = drawing.sheets.constFirst().name;

    const QString drawingPath = dir + QLatin1Char('/') + baseName + QStringLiteral(".SLDDRW");
    if (!writeFile(dir + QStringLiteral("/FLANGE.SLDPRT"), writeStandInDocument(flangePart()))
        || !writeFile(drawingPath, writeStandInDocument(drawing)))
        return {};
    return drawingPath;
}
