#include "dxfwriter.h"

#include "dxf/dxfgroupstream.h"
#include "dxf/dxftextencoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

const char *const borderLayer = "BORDER";
const char *const titleLayer = "TITLE";
const char *const geometryLayer = "GEOMETRY";
const char *const textLayer = "TEXT";

class Extents {
public:
    void add(const QPointF &p)
    {
        if (!any) {
            low = high = p;
            any = true;
            return;
        }
        low = QPointF(std::min(low.x(), p.x()), std::min(low.y(), p.y()));
        high = QPointF(std::max(high.x(), p.x()), std::max(high.y(), p.y()));
    }
    void add(const QRectF &rect)
    {
        add(rect.topLeft());
        add(rect.bottomRight());
    }

    QPointF low;
    QPointF high;

private:
    bool any = false;
};

class SheetDxf {
public:
    SheetDxf(const SheetLayout &layout, QIODevice &device)
        : layout(layout)
        , file(device)
    {
    }

    bool write()
    {
        writeHeader();
        writeTables();
        file.text(0, "SECTION");
        file.text(2, "BLOCKS");
        file.text(0, "ENDSEC");
        file.text(0, "SECTION");
        file.text(2, "ENTITIES");
        writeEntities();
        file.text(0, "ENDSEC");
        file.text(0, "EOF");
        return file.finish();
    }

private:
    // The paper, the views' geometry and the texts as far as a reader is likely to draw them.
    Extents extents() const
    {
        Extents extents;
        extents.add(QRectF(QPointF(0, 0), layout.paper));
        for (const PlacedView &view : layout.views) {
            if (view.model)
                extents.add(view.bounds);
        }
        for (const QList<SheetText> *texts : { &layout.titleTexts, &layout.texts }) {
            for (const SheetText &text : *texts) {
                if (!text.text.isEmpty())
                    extents.add(SheetLayout::textBox(text));
            }
        }
        return extents;
    }

    // Baseline start and width of the text as written.
    static std::pair<QPointF, double> placement(const SheetText &text)
    {
        const QRectF box = SheetLayout::textBox(text);
        return { QPointF(box.left(), text.position.y()), box.width() };
    }

    void writeHeader()
    {
        const Extents extent = extents();
        file.text(0, "SECTION");
        file.text(2, "HEADER");
        file.text(9, "$ACADVER");
        file.text(1, "AC1009");
        // Texts are plain ASCII with \U+XXXX escapes, so any code page reads them the same.
        file.text(9, "$DWGCODEPAGE");
        file.text(3, "ANSI_1252");
        file.text(9, "$INSBASE");
        file.point(10, QPointF());
        file.text(9, "$EXTMIN");
        file.point(10, extent.low);
        file.text(9, "$EXTMAX");
        file.point(10, extent.high);
        file.text(9, "$LIMMIN");
        file.real(10, 0);
        file.real(20, 0);
        file.text(9, "$LIMMAX");
        file.real(10, layout.paper.width());
        file.real(20, layout.paper.height());
        file.text(0, "ENDSEC");
    }

    void writeTables()
    {
        file.text(0, "SECTION");
        file.text(2, "TABLES");

        dxf::writeContinuousLinetypeTable(file);

        const char *const layers[] = { "0", borderLayer, titleLayer, geometryLayer, textLayer };
        file.text(0, "TABLE");
        file.text(2, "LAYER");
        file.integer(70, int(std::size(layers)));
        for (const char *layer : layers) {
            file.text(0, "LAYER");
            file.text(2, layer);
            file.integer(70, 0);
            file.integer(62, 7);
            file.text(6, "CONTINUOUS");
        }
        file.text(0, "ENDTAB");

        file.text(0, "TABLE");
        file.text(2, "STYLE");
        file.integer(70, 1);
        file.text(0, "STYLE");
        file.text(2, "STANDARD");
        file.integer(70, 0);
        file.real(40, 0);
        file.real(41, 1);
        file.real(50, 0);
        file.integer(71, 0);
        file.real(42, 2.5);
        file.text(3, "txt");
        file.text(4, "");
        file.text(0, "ENDTAB");

        file.text(0, "ENDSEC");
    }

    void writeEntities()
    {
        const QRectF &border = layout.border;
        startPolyline(borderLayer, true);
        for (const QPointF &corner :
            { border.topLeft(), border.topRight(), border.bottomRight(), border.bottomLeft() })
            writeVertex(borderLayer, corner);
        file.entity("SEQEND", borderLayer);
        for (const QLineF &line : layout.titleLines)
            writeLine(titleLayer, line.p1(), line.p2());
        for (const SheetText &text : layout.titleTexts)
            writeText(titleLayer, text);
        for (const PlacedView &view : layout.views) {
            if (!view.model)
                continue;
            for (const Shape &shape : view.model->geometry) {
                if (SheetLayout::isDrawable(shape))
                    writeShape(view, shape);
            }
        }
        for (const SheetText &text : layout.texts)
            writeText(textLayer, text);
    }

    void writeShape(const PlacedView &view, const Shape &shape)
    {
        if (const auto *polyline = std::get_if<PolylineShape>(&shape)) {
            startPolyline(geometryLayer, polyline->closed);
            for (const QPointF &p : polyline->points)
                writeVertex(geometryLayer, view.toSheet(p));
            file.entity("SEQEND", geometryLayer);
        } else if (const auto *circle = std::get_if<CircleShape>(&shape)) {
            writeCircle(view.toSheet(circle->centre), circle->radius * view.scale);
        } else if (const auto *line = std::get_if<LineShape>(&shape)) {
            writeLine(geometryLayer, view.toSheet(line->from), view.toSheet(line->to));
        } else {
            const auto &arc = std::get<ArcShape>(shape);
            const QPointF centre = view.toSheet(arc.centre);
            const double radius = arc.radius * view.scale;
            const double start = normalizedAngle(arc.startAngle);
            const double end = normalizedAngle(arc.endAngle);
            // Equal angles sweep the whole circle, as the painter draws them.
            if (start == end) {
                writeCircle(centre, radius);
                return;
            }
            file.entity("ARC", geometryLayer);
            file.point(10, centre);
            file.real(40, radius);
            file.real(50, start);
            file.real(51, end);
        }
    }

    static double normalizedAngle(double degrees)
    {
        double angle = std::fmod(degrees, 360.0);
        if (angle < 0)
            angle += 360;
        // Rounded as written, so 359.9999999 and 0 do not pass for different angles.
        angle = std::round(angle * 1e6) / 1e6;
        return angle >= 360 ? 0 : angle;
    }

    void writeLine(const char *layer, const QPointF &from, const QPointF &to)
    {
        file.entity("LINE", layer);
        file.point(10, from);
        file.point(11, to);
    }

    void writeCircle(const QPointF &centre, double radius)
    {
        file.entity("CIRCLE", geometryLayer);
        file.point(10, centre);
        file.real(40, radius);
    }

    // Vertices and a SEQEND follow.
    void startPolyline(const char *layer, bool closed)
    {
        file.entity("POLYLINE", layer);
        file.integer(66, 1);
        file.point(10, QPointF());
        file.integer(70, closed ? 1 : 0);
    }

    void writeVertex(const char *layer, const QPointF &p)
    {
        file.entity("VERTEX", layer);
        file.point(10, p);
    }

    void writeText(const char *layer, const SheetText &text)
    {
        if (text.text.isEmpty())
            return;
        const auto [start, width] = placement(text);
        // Decided on the text, not on the box's width, which carries the rounding of its corners.
        const bool fit = text.maxWidth > 0
            && SheetLayout::estimatedWidth(text.text, text.height) > text.maxWidth;

        file.entity("TEXT", layer);
        file.point(10, start);
        file.real(40, text.height);
        file.text(1, DxfWriter::encodeText(text.text));
        if (fit) {
            // Fitted between two points, the reader squeezes the text into the width.
            file.integer(72, 5);
            file.point(11, start + QPointF(width, 0));
        } else if (text.align == SheetText::Align::Centre) {
            file.integer(72, 1);
            file.point(11, text.position);
        }
    }

    const SheetLayout &layout;
    dxf::GroupStream file;
};

} // namespace

bool DxfWriter::write(const SheetLayout &layout, QIODevice &device)
{
    return SheetDxf(layout, device).write();
}

QByteArray DxfWriter::encodeText(const QString &text)
{
    return dxf::encodeR12Text(text);
}
