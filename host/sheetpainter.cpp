#include "sheetpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace {

// Texts are laid out at this pixel size and scaled, so they have the same proportions at every
// resolution.
constexpr int referencePixelSize = 100;
constexpr double borderPen = 0.7;
constexpr double titlePen = 0.35;
constexpr double geometryPen = 0.5;

// One paint run: sheet millimetres (y up) to device pixels (y down).
class Canvas {
public:
    Canvas(QPainter &painter, double dotsPerMm, double paperHeight)
        : painter(painter)
        , dotsPerMm(dotsPerMm)
        , paperHeight(paperHeight)
    {
    }

    QPointF map(const QPointF &p) const
    {
        return QPointF(p.x() * dotsPerMm, (paperHeight - p.y()) * dotsPerMm);
    }
    double length(double millimetres) const { return millimetres * dotsPerMm; }

    void setPen(double widthMm, Qt::PenCapStyle cap, Qt::PenJoinStyle join)
    {
        painter.setPen(QPen(QBrush(Qt::black), length(widthMm), Qt::SolidLine, cap, join));
    }

    void drawShape(const PlacedView &view, const Shape &shape)
    {
        if (const auto *polyline = std::get_if<PolylineShape>(&shape)) {
            QPolygonF points;
            points.reserve(polyline->points.size() + 1);
            for (const QPointF &p : polyline->points)
                points.append(map(view.toSheet(p)));
            if (polyline->closed)
                points.append(points.first());
            painter.drawPolyline(points);
        } else if (const auto *circle = std::get_if<CircleShape>(&shape)) {
            const double radius = length(circle->radius * view.scale);
            painter.drawEllipse(map(view.toSheet(circle->centre)), radius, radius);
        } else if (const auto *line = std::get_if<LineShape>(&shape)) {
            painter.drawLine(map(view.toSheet(line->from)), map(view.toSheet(line->to)));
        } else {
            const auto &arc = std::get<ArcShape>(shape);
            const double radius = length(arc.radius * view.scale);
            const QPointF centre = map(view.toSheet(arc.centre));
            const QRectF circle(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
            // Counter-clockwise on the sheet is counter-clockwise on the device too: the y flip
            // is undone by Qt's y-down angle convention. Equal angles make a full circle.
            double sweep = std::fmod(arc.endAngle - arc.startAngle, 360.0);
            if (sweep <= 0)
                sweep += 360;
            QPainterPath path;
            path.arcMoveTo(circle, arc.startAngle);
            path.arcTo(circle, arc.startAngle, sweep);
            painter.drawPath(path);
        }
    }

    QPainter &painter;
    double dotsPerMm;
    double paperHeight;
};

} // namespace

SheetPainter::SheetPainter(SheetLayout layout)
    : sheet(std::move(layout))
    , font(QStringLiteral("DejaVu Sans"))
{
    font.setPixelSize(referencePixelSize);
    // Unhinted outlines keep text widths proportional between a 100 dpi image and a PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    const double measured = QFontMetricsF(font).capHeight();
    if (measured > 0)
        capHeight = measured;
    else
        capHeight = referencePixelSize * 0.73;
}

void SheetPainter::paint(QPainter &painter, double dotsPerMm) const
{
    painter.save();
    Canvas canvas(painter, dotsPerMm, sheet.paper.height());
    const QRectF paper(QPointF(0, 0), sheet.paper * dotsPerMm);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.fillRect(paper, Qt::white);
    painter.setClipRect(paper, Qt::IntersectClip);
    painter.setBrush(Qt::NoBrush);

    canvas.setPen(borderPen, Qt::SquareCap, Qt::MiterJoin);
    painter.drawRect(
        QRectF(canvas.map(sheet.border.topLeft()), canvas.map(sheet.border.bottomRight()))
            .normalized());

    canvas.setPen(titlePen, Qt::SquareCap, Qt::MiterJoin);
    for (const QLineF &line : sheet.titleLines)
        painter.drawLine(canvas.map(line.p1()), canvas.map(line.p2()));

    canvas.setPen(geometryPen, Qt::RoundCap, Qt::RoundJoin);
    for (const PlacedView &view : sheet.views) {
        if (!view.model)
            continue;
        for (const Shape &shape : view.model->geometry) {
            if (SheetLayout::isDrawable(shape))
                canvas.drawShape(view, shape);
        }
    }

    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font);
    const auto paintText = [&](const SheetText &text) {
        const double scale = canvas.length(text.height) / capHeight;
        const double width = metrics.horizontalAdvance(text.text);
        double squeeze = 1;
        if (text.maxWidth > 0 && width * scale > canvas.length(text.maxWidth))
            squeeze = canvas.length(text.maxWidth) / (width * scale);
        painter.save();
        painter.translate(canvas.map(text.position));
        painter.scale(scale * squeeze, scale);
        const double x = text.align == SheetText::Align::Centre ? -width / 2 : 0;
        painter.drawText(QPointF(x, 0), text.text);
        painter.restore();
    };
    for (const SheetText &text : sheet.titleTexts)
        paintText(text);
    for (const SheetText &text : sheet.texts)
        paintText(text);
    painter.restore();
}
