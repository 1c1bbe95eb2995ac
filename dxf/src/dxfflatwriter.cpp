#include "dxf/dxfflatwriter.h"

#include "dxf/dxfgroupstream.h"
#include "dxf/dxftextencoding.h"
#include "dxfcolours.h"

#include <QHash>
#include <QRectF>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace dxf {

namespace {

    // A width estimate for texts, whose glyphs only the reader knows: what the extents and the far
    // point of aligned texts rest on.
    constexpr double charWidthFactor = 0.85;

    bool finite(const QPointF &p)
    {
        return std::isfinite(p.x()) && std::isfinite(p.y());
    }

    bool finite(const std::vector<QPointF> &points)
    {
        return std::all_of(
            points.begin(), points.end(), [](const QPointF &p) { return finite(p); });
    }

    bool finite(const PictureItem &item)
    {
        if (const auto *stroke = std::get_if<Stroke>(&item))
            return finite(stroke->points) && std::isfinite(stroke->width);
        if (const auto *fill = std::get_if<Fill>(&item)) {
            return std::all_of(fill->rings.begin(), fill->rings.end(),
                [](const std::vector<QPointF> &ring) { return finite(ring); });
        }
        if (const auto *text = std::get_if<TextRun>(&item)) {
            return finite(text->position) && std::isfinite(text->height)
                && std::isfinite(text->rotation) && std::isfinite(text->widthFactor)
                && std::isfinite(text->oblique) && std::isfinite(text->fitWidth);
        }
        const auto &image = std::get<PictureImage>(item);
        return finite(image.origin) && finite(image.u) && finite(image.v) && finite(image.clip);
    }

    // One band of a fill: two edges' x at the band's bottom and top.
    struct Trapezoid {
        double bottom, top;
        double bottomLeft, bottomRight, topLeft, topRight;
    };

    struct Edge {
        QPointF low, high;
        double xAt(double y) const
        {
            return low.x() + (high.x() - low.x()) * (y - low.y()) / (high.y() - low.y());
        }
    };

    // The odd-even area of the rings as horizontal trapezoids: between consecutive vertex heights
    // the edges crossing the band do not meet (bands are cut where they do), so sorted left to
    // right they pair up as the area's left and right sides.
    std::vector<Trapezoid> trapezoids(const Fill &fill)
    {
        std::vector<Edge> edges;
        std::vector<double> heights;
        for (const std::vector<QPointF> &ring : fill.rings) {
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const QPointF &a = ring[i];
                const QPointF &b = ring[(i + 1) % ring.size()];
                heights.push_back(a.y());
                if (a.y() != b.y())
                    edges.push_back(a.y() < b.y() ? Edge { a, b } : Edge { b, a });
            }
        }
        std::sort(edges.begin(), edges.end(),
            [](const Edge &a, const Edge &b) { return a.low.y() < b.low.y(); });
        std::sort(heights.begin(), heights.end());
        heights.erase(std::unique(heights.begin(), heights.end()), heights.end());

        std::vector<Trapezoid> result;
        std::vector<Edge> active;
        std::size_t next = 0;
        struct Crossing {
            double x0, x1;
            const Edge *edge;
        };
        std::vector<Crossing> crossing;
        for (std::size_t h = 0; h + 1 < heights.size(); ++h) {
            const double bottom = heights[h];
            std::erase_if(active, [bottom](const Edge &e) { return e.high.y() <= bottom; });
            while (next < edges.size() && edges[next].low.y() <= bottom)
                active.push_back(edges[next++]);
            double from = bottom;
            const double top = heights[h + 1];
            while (from < top) {
                double to = top;
                crossing.clear();
                for (const Edge &e : active)
                    crossing.push_back({ e.xAt(from), e.xAt(to), &e });
                std::sort(crossing.begin(), crossing.end(),
                    [](const Crossing &a, const Crossing &b) { return a.x0 + a.x1 < b.x0 + b.x1; });
                // Two edges that swap places inside the band cross: the band ends at the lowest
                // such crossing.
                for (std::size_t i = 0; i + 1 < crossing.size(); ++i) {
                    const Crossing &a = crossing[i];
                    const Crossing &b = crossing[i + 1];
                    const double d0 = b.x0 - a.x0;
                    const double d1 = b.x1 - a.x1;
                    if (d0 >= 0 && d1 >= 0)
                        continue;
                    const double y = from + (to - from) * d0 / (d0 - d1);
                    if (y > from && y < to)
                        to = y;
                }
                if (to < top) {
                    for (Crossing &c : crossing)
                        c.x1 = c.edge->xAt(to);
                }
                for (std::size_t i = 0; i + 1 < crossing.size(); i += 2) {
                    result.push_back({ from, to, crossing[i].x0, crossing[i + 1].x0, crossing[i].x1,
                        crossing[i + 1].x1 });
                }
                from = to;
            }
        }
        return result;
    }

    class FlatDxf {
    public:
        FlatDxf(const Picture &picture, QIODevice &device)
            : picture(picture)
            , file(device)
        {
        }

        bool write()
        {
            // Measured first: the header comes before the entities it bounds.
            for (const PictureItem &item : picture.items) {
                if (finite(item))
                    measure(item);
            }
            writeHeader();
            writeTables();
            file.text(0, "SECTION");
            file.text(2, "BLOCKS");
            file.text(0, "ENDSEC");
            file.text(0, "SECTION");
            file.text(2, "ENTITIES");
            for (const PictureItem &item : picture.items) {
                if (finite(item))
                    writeItem(item);
            }
            file.text(0, "ENDSEC");
            file.text(0, "EOF");
            return file.finish();
        }

    private:
        // Where a text's baseline starts, its direction, and its estimated or fitted width.
        struct TextPlacement {
            QPointF start;
            QPointF direction;
            double width;
        };

        static TextPlacement placement(const TextRun &text)
        {
            const double angle = qDegreesToRadians(text.rotation);
            QPointF direction(std::cos(angle), std::sin(angle));
            if (text.mirrorX)
                direction = -direction;
            const double width = text.fitWidth > 0
                ? text.fitWidth
                : text.text.size() * charWidthFactor * text.height * text.widthFactor;
            double back = 0;
            if (text.anchor == TextRun::Anchor::Centre)
                back = width / 2;
            else if (text.anchor == TextRun::Anchor::Right)
                back = width;
            return { text.position - direction * back, direction, width };
        }

        void add(const QPointF &p)
        {
            if (!any)
                low = high = p;
            any = true;
            low = QPointF(std::min(low.x(), p.x()), std::min(low.y(), p.y()));
            high = QPointF(std::max(high.x(), p.x()), std::max(high.y(), p.y()));
        }

        void measure(const PictureItem &item)
        {
            if (const auto *stroke = std::get_if<Stroke>(&item)) {
                if (stroke->points.size() >= 2) {
                    for (const QPointF &p : stroke->points)
                        add(p);
                }
            } else if (const auto *fill = std::get_if<Fill>(&item)) {
                for (const std::vector<QPointF> &ring : fill->rings) {
                    for (const QPointF &p : ring)
                        add(p);
                }
            } else if (const auto *text = std::get_if<TextRun>(&item)) {
                if (!writable(*text))
                    return;
                const TextPlacement place = placement(*text);
                const QPointF up = QPointF(-place.direction.y(), place.direction.x())
                    * (text->mirrorY ? -text->height : text->height);
                const QPointF end = place.start + place.direction * place.width;
                for (const QPointF &p : { place.start, end, place.start + up, end + up })
                    add(p);
            } else {
                for (const QPointF &p : frame(std::get<PictureImage>(item)))
                    add(p);
            }
        }

        static bool writable(const TextRun &text)
        {
            return !text.text.isEmpty() && text.height > 0;
        }

        // R12 holds no raster pictures: what is written is the outline the picture shows through.
        static std::vector<QPointF> frame(const PictureImage &image)
        {
            if (!image.clip.empty())
                return image.clip;
            const QPointF across = image.u * image.pixels.width();
            const QPointF up = image.v * image.pixels.height();
            return { image.origin, image.origin + across, image.origin + across + up,
                image.origin + up };
        }

        void writeHeader()
        {
            file.text(0, "SECTION");
            file.text(2, "HEADER");
            file.text(9, "$ACADVER");
            file.text(1, "AC1009");
            // Texts are plain ASCII with \U+XXXX escapes, so any code page reads them the same.
            file.text(9, "$DWGCODEPAGE");
            file.text(3, "ANSI_1252");
            file.text(9, "$INSUNITS");
            file.integer(70, 4);
            file.text(9, "$INSBASE");
            file.point(10, QPointF());
            file.text(9, "$EXTMIN");
            file.point(10, low);
            file.text(9, "$EXTMAX");
            file.point(10, high);
            const bool paperKnown
                = std::isfinite(picture.paper.width()) && std::isfinite(picture.paper.height());
            file.text(9, "$LIMMIN");
            file.point(10, QPointF());
            file.text(9, "$LIMMAX");
            file.point(10,
                paperKnown ? QPointF(picture.paper.width(), picture.paper.height()) : QPointF());
            file.text(0, "ENDSEC");
        }

        void writeTables()
        {
            file.text(0, "SECTION");
            file.text(2, "TABLES");

            writeContinuousLinetypeTable(file);

            // One layer: every entity carries its own colour.
            file.text(0, "TABLE");
            file.text(2, "LAYER");
            file.integer(70, 1);
            file.text(0, "LAYER");
            file.text(2, "0");
            file.integer(70, 0);
            file.integer(62, 7);
            file.text(6, "CONTINUOUS");
            file.text(0, "ENDTAB");

            // A style per font in order of first use; STANDARD is the default font's.
            QList<QString> fonts { QString() };
            for (const PictureItem &item : picture.items) {
                const auto *text = std::get_if<TextRun>(&item);
                if (text && writable(*text) && !styles.contains(text->font) && finite(item)) {
                    styles.insert(text->font,
                        text->font.isEmpty() ? QByteArray("STANDARD")
                                             : "STYLE" + QByteArray::number(fonts.size()));
                    if (!text->font.isEmpty())
                        fonts.append(text->font);
                }
            }
            styles.insert(QString(), "STANDARD");
            file.text(0, "TABLE");
            file.text(2, "STYLE");
            file.integer(70, int(fonts.size()));
            for (const QString &font : fonts) {
                file.text(0, "STYLE");
                file.text(2, styles.value(font));
                file.integer(70, 0);
                file.real(40, 0);
                file.real(41, 1);
                file.real(50, 0);
                file.integer(71, 0);
                file.real(42, 2.5);
                file.text(3, font.isEmpty() ? QByteArray("txt") : encodeR12Text(font));
                file.text(4, "");
            }
            file.text(0, "ENDTAB");

            file.text(0, "ENDSEC");
        }

        void writeItem(const PictureItem &item)
        {
            if (const auto *stroke = std::get_if<Stroke>(&item)) {
                writeStroke(stroke->points, stroke->closed, stroke->width, stroke->colour);
            } else if (const auto *fill = std::get_if<Fill>(&item)) {
                for (const Trapezoid &t : trapezoids(*fill)) {
                    entity("SOLID", fill->colour);
                    // The third and fourth corners are written crossed: readers join 1-2-4-3.
                    file.point(10, QPointF(t.bottomLeft, t.bottom));
                    file.point(11, QPointF(t.bottomRight, t.bottom));
                    file.point(12, QPointF(t.topLeft, t.top));
                    file.point(13, QPointF(t.topRight, t.top));
                }
            } else if (const auto *text = std::get_if<TextRun>(&item)) {
                writeText(*text);
            } else {
                writeStroke(frame(std::get<PictureImage>(item)), true, 0, 0xff000000);
            }
        }

        void entity(const char *type, QRgb colour)
        {
            file.entity(type, "0");
            if (colour != lastColour) {
                lastColour = colour;
                lastAci = nearestAci(colour);
            }
            file.integer(62, lastAci);
        }

        void writeStroke(const std::vector<QPointF> &points, bool closed, double width, QRgb colour)
        {
            if (points.size() < 2)
                return;
            if (points.size() == 2 && !closed && width <= 0) {
                entity("LINE", colour);
                file.point(10, points[0]);
                file.point(11, points[1]);
                return;
            }
            entity("POLYLINE", colour);
            file.integer(66, 1);
            file.point(10, QPointF());
            file.integer(70, closed ? 1 : 0);
            if (width > 0) {
                file.real(40, width);
                file.real(41, width);
            }
            for (const QPointF &p : points) {
                file.entity("VERTEX", "0");
                file.point(10, p);
            }
            file.entity("SEQEND", "0");
        }

        void writeText(const TextRun &text)
        {
            if (!writable(text))
                return;
            const TextPlacement place = placement(text);
            entity("TEXT", text.colour);
            file.point(10, place.start);
            file.real(40, text.height);
            file.text(1, encodeR12Text(text.text));
            if (text.rotation != 0)
                file.real(50, text.rotation);
            if (text.widthFactor != 1 && text.widthFactor > 0 && text.fitWidth <= 0)
                file.real(41, text.widthFactor);
            if (text.oblique != 0)
                file.real(51, text.oblique);
            file.text(7, styles.value(text.font));
            if (text.mirrorX || text.mirrorY)
                file.integer(71, (text.mirrorX ? 2 : 0) | (text.mirrorY ? 4 : 0));
            if (text.fitWidth > 0) {
                // Fitted between two points, the reader stretches the text to the width.
                file.integer(72, 5);
                file.point(11, place.start + place.direction * place.width);
            } else if (text.anchor != TextRun::Anchor::Left) {
                file.integer(72, text.anchor == TextRun::Anchor::Centre ? 1 : 2);
                file.point(11, text.position);
            }
        }

        const Picture &picture;
        GroupStream file;
        QHash<QString, QByteArray> styles;
        QPointF low;
        QPointF high;
        bool any = false;
        QRgb lastColour = 0xff000000;
        int lastAci = 7;
    };

} // namespace

bool writeFlatDxf(const Picture &picture, QIODevice &device)
{
    return FlatDxf(picture, device).write();
}

} // namespace dxf
