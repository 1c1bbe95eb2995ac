#include "dxfdimensions.h"

#include "dxfgeometry.h"
#include "dxftextlayout.h"

#include <QPointF>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace dxf {

namespace {

    constexpr double pi = std::numbers::pi;
    constexpr double degrees = pi / 180;

    QPointF normal(QPointF v)
    {
        return { -v.y(), v.x() };
    }

    QPointF along(double angle)
    {
        return { std::cos(angle), std::sin(angle) };
    }

    // Degrees of a text along a line, turned so that it reads from the left or from below.
    double readable(double angle)
    {
        angle = std::remainder(angle, 360.0);
        if (angle > 90 + 1e-9)
            angle -= 180;
        else if (angle <= -90 + 1e-9)
            angle += 180;
        return angle;
    }

    Vec3 vec(QPointF p)
    {
        return { p.x(), p.y(), 0 };
    }

    QString formattedNumber(double value, int decimals, int zeroSuppression, QChar separator)
    {
        QString text = QString::number(value, 'f', decimals);
        if ((zeroSuppression & 8) && text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
        if ((zeroSuppression & 4) && text.startsWith(QLatin1String("0.")))
            text.remove(0, 1);
        else if ((zeroSuppression & 4) && text.startsWith(QLatin1String("-0.")))
            text.remove(1, 1);
        if (text == u"-0" || text.isEmpty())
            text = QStringLiteral("0");
        text.replace(u'.', separator);
        return text;
    }

    // The dimension's own text replaces the measurement, or frames it where it holds "<>"; an
    // empty one, or "<>" alone, is the measurement with its prefix, and a single space none.
    QString textOf(const Dimension &d, const QString &prefix, const QString &measurement)
    {
        QString value = measurement;
        if (d.style.post.contains(QLatin1String("<>")))
            value = QString(d.style.post).replace(QLatin1String("<>"), value);
        else
            value += d.style.post;
        if (d.text.isEmpty() || d.text == u"<>")
            return prefix + value;
        if (d.text == u" ")
            return {};
        // Spaces around it would only move a centred text off its middle point.
        return QString(d.text).replace(QLatin1String("<>"), value).trimmed();
    }

    class Builder {
    public:
        explicit Builder(const QString &type)
            : type(type)
        {
        }

        Entity &add(Shape shape, int colour, std::int32_t trueColour = -1)
        {
            Entity e;
            e.type = type;
            e.shape = std::move(shape);
            e.common.colour = colour;
            e.common.trueColour = trueColour;
            e.common.linetype = QStringLiteral("BYBLOCK");
            e.common.lineweight = Lineweight::ByBlock;
            entities.push_back(std::move(e));
            return entities.back();
        }

        void line(QPointF a, QPointF b, int colour, std::int32_t trueColour = -1)
        {
            add(Line { vec(a), vec(b), 0 }, colour, trueColour);
        }

        void polyline(const std::vector<QPointF> &points, bool closed, int colour,
            std::int32_t trueColour = -1, double width = 0)
        {
            Polyline p;
            for (QPointF q : points)
                p.vertices.push_back({ vec(q), 0, 0, 0 });
            p.closed = closed;
            p.constantWidth = width;
            add(std::move(p), colour, trueColour);
        }

        // An arrowhead whose tip is at tip and which points along direction (a unit vector).
        void arrow(QPointF tip, QPointF direction, double size, const QString &block,
            double tickSize, int colour, std::int32_t trueColour = -1)
        {
            QString name = block.toUpper();
            if (name.startsWith(u'_'))
                name.remove(0, 1);
            const QPointF back = -direction * size, side = normal(direction) * size;
            if (tickSize > 0 || name == u"ARCHTICK" || name == u"OBLIQUE") {
                const double half = tickSize > 0 ? tickSize : size / 2;
                const QPointF slant = (direction + normal(direction)) / std::sqrt(2.0) * half;
                line(tip - slant, tip + slant, colour, trueColour);
            } else if (name.isEmpty() || name == u"CLOSEDFILLED") {
                Face face;
                face.corners[0] = vec(tip);
                face.corners[1] = vec(tip + back + side / 6);
                face.corners[2] = vec(tip + back - side / 6);
                face.corners[3] = face.corners[2];
                add(face, colour, trueColour);
            } else if (name == u"CLOSED" || name == u"CLOSEDBLANK") {
                polyline({ tip, tip + back + side / 6, tip + back - side / 6 }, true, colour,
                    trueColour);
            } else if (name.startsWith(QLatin1String("OPEN"))) {
                const double spread = name == u"OPEN90" ? 1 : name == u"OPEN30" ? 0.268 : 1.0 / 6;
                polyline({ tip + back + side * spread, tip, tip + back - side * spread }, false,
                    colour, trueColour);
            } else if (name == u"DOT" || name == u"DOTSMALL") {
                // A ring as wide as its radius fills the disc.
                const double r = name == u"DOT" ? size / 4 : size / 8;
                Polyline disc;
                disc.vertices = { { vec(tip - QPointF(r, 0)), 0, 0, 1 },
                    { vec(tip + QPointF(r, 0)), 0, 0, 1 } };
                disc.closed = true;
                disc.constantWidth = 2 * r;
                add(std::move(disc), colour, trueColour);
            } else if (name != u"NONE") {
                // The file's own arrow blocks point along their x axis, one unit long.
                Insert insert;
                insert.block = block;
                insert.insert = vec(tip);
                insert.scale = { size, size, 1 };
                insert.rotation = std::atan2(direction.y(), direction.x()) / degrees;
                add(std::move(insert), colour, trueColour);
            }
        }

        std::vector<Entity> entities;

    private:
        QString type;
    };

    class DimensionDrawer {
    public:
        explicit DimensionDrawer(const Dimension &d)
            : d(d)
            , s(d.style)
            , out(QStringLiteral("DIMENSION"))
        {
            k = s.scale;
            arrowSize = s.arrowSize * k;
            tickSize = s.tickSize * k;
            textHeight = s.textHeight * k;
        }

        std::vector<Entity> draw();

    private:
        void linear(QPointF direction);
        void radial(bool diameter);
        // The angle's sides each through two points (the same one twice for a vertex's side).
        void angular(QPointF centre, double start, double sweep, QPointF first1, QPointF first2,
            QPointF second1, QPointF second2);
        void ordinate();
        void extension(QPointF origin, QPointF foot);
        void radialExtension(
            QPointF centre, QPointF direction, double nearest, double farthest, double radius);
        void dimensionLine(QPointF a, QPointF b);
        void text(const QString &text, double angle);
        double textWidth() const;
        QString arrowBlock(bool second) const
        {
            return s.separateArrows ? (second ? s.arrowBlock2 : s.arrowBlock1) : s.arrowBlock;
        }

        const Dimension &d;
        const DimensionStyle &s;
        Builder out;
        QString label;
        double k = 1;
        double arrowSize = 0;
        double tickSize = 0;
        double textHeight = 0;
    };

    std::vector<Entity> DimensionDrawer::draw()
    {
        switch (d.kind) {
        case Dimension::Kind::Linear:
            linear(along(d.rotation * degrees));
            break;
        case Dimension::Kind::Aligned:
            linear(unit(d.point14.xy() - d.point13.xy()));
            break;
        case Dimension::Kind::Diameter:
            radial(true);
            break;
        case Dimension::Kind::Radius:
            radial(false);
            break;
        case Dimension::Kind::Angular: {
            // Two lines, 13 to 14 and 15 to 10; the arc through 16 spans the angle between
            // them that holds it.
            const QPointF a = d.point13.xy(), b = d.point14.xy();
            const QPointF c = d.point15.xy(), e = d.definition.xy();
            const QPointF u = unit(b - a), v = unit(e - c);
            const double cross = u.x() * v.y() - u.y() * v.x();
            if (std::abs(cross) < 1e-12)
                return {};
            const double t = ((c.x() - a.x()) * v.y() - (c.y() - a.y()) * v.x()) / cross;
            const QPointF centre = a + u * t;
            const QPointF arcPoint = d.point16.xy() - centre;
            const double at = std::atan2(arcPoint.y(), arcPoint.x());
            for (const QPointF &first : { u, -u }) {
                for (const QPointF &second : { v, -v }) {
                    const double a1 = std::atan2(first.y(), first.x());
                    const double sweep
                        = std::fmod(std::atan2(second.y(), second.x()) - a1 + 4 * pi, 2 * pi);
                    if (sweep > pi || std::fmod(at - a1 + 4 * pi, 2 * pi) > sweep)
                        continue;
                    angular(centre, a1, sweep, a, b, c, e);
                    return std::move(out.entities);
                }
            }
            break;
        }
        case Dimension::Kind::Angular3Point: {
            // The vertex 15, the lines through 13 and 14; the arc through 10.
            const QPointF centre = d.point15.xy();
            const QPointF p1 = d.point13.xy() - centre, p2 = d.point14.xy() - centre;
            const QPointF arcPoint = d.definition.xy() - centre;
            double start = std::atan2(p1.y(), p1.x());
            double sweep = std::fmod(std::atan2(p2.y(), p2.x()) - start + 4 * pi, 2 * pi);
            const double at = std::atan2(arcPoint.y(), arcPoint.x());
            QPointF first = d.point13.xy(), second = d.point14.xy();
            if (std::fmod(at - start + 4 * pi, 2 * pi) > sweep) {
                start = std::atan2(p2.y(), p2.x());
                sweep = 2 * pi - sweep;
                std::swap(first, second);
            }
            angular(centre, start, sweep, first, first, second, second);
            break;
        }
        case Dimension::Kind::Ordinate:
            ordinate();
            break;
        }
        return std::move(out.entities);
    }

    void DimensionDrawer::extension(QPointF origin, QPointF foot)
    {
        const QPointF v = foot - origin;
        const double l = length(v);
        if (!(l > 0))
            return;
        const QPointF u = v / l;
        if (l + s.extensionBeyond * k > s.extensionOffset * k)
            out.line(origin + u * s.extensionOffset * k, foot + u * s.extensionBeyond * k,
                s.extensionColour);
    }

    double DimensionDrawer::textWidth() const
    {
        return estimatedWidth(resolveSpecialCodes(label), textHeight);
    }

    void DimensionDrawer::text(const QString &text, double angle)
    {
        if (text.isEmpty())
            return;
        MText t;
        t.insert = d.textMiddle;
        t.height = textHeight;
        t.attachment = 5;
        t.rotation = d.hasTextRotation && d.textRotation != 0 ? d.textRotation : angle;
        t.style = s.textStyle;
        t.text = text;
        out.add(std::move(t), s.textColour);
    }

    // The dimension line from a to b with an arrowhead at each end; arrows that do not fit
    // between the ends stand outside them. A text centred on the line breaks it.
    void DimensionDrawer::dimensionLine(QPointF a, QPointF b)
    {
        const double l = length(b - a);
        if (!(l > 0))
            return;
        const QPointF u = (b - a) / l;
        const bool outside = tickSize <= 0 && l < 2 * arrowSize;
        QPointF from = a, to = b;
        if (outside)
            from -= u * 2 * arrowSize, to += u * 2 * arrowSize;
        std::vector<std::pair<double, double>> pieces { { 0, length(to - from) } };
        const QPointF middle = d.textMiddle.xy();
        const double t = dot(middle - from, u);
        if (s.textAbove == 0 && !label.isEmpty()
            && std::abs(dot(middle - from, normal(u))) < textHeight / 2 && t > 0
            && t < pieces[0].second) {
            const double half = textWidth() / 2 + s.textGap * k;
            pieces = { { 0, t - half }, { t + half, pieces[0].second } };
        }
        for (const auto &[p0, p1] : pieces) {
            if (p1 > p0)
                out.line(from + u * p0, from + u * p1, s.lineColour);
        }
        out.arrow(a, outside ? u : -u, arrowSize, arrowBlock(false), tickSize, s.lineColour);
        out.arrow(b, outside ? -u : u, arrowSize, arrowBlock(true), tickSize, s.lineColour);
    }

    void DimensionDrawer::linear(QPointF direction)
    {
        const QPointF p1 = d.point13.xy(), p2 = d.point14.xy(), p = d.definition.xy();
        if (length(direction) == 0)
            direction = { 1, 0 };
        const QPointF f1 = p + direction * dot(p1 - p, direction);
        const QPointF f2 = p + direction * dot(p2 - p, direction);
        const double measured = std::abs(dot(p2 - p1, direction)) * s.lengthFactor;
        label = textOf(d, QString(),
            formattedNumber(measured, s.decimals, s.zeroSuppression, s.decimalSeparator));
        extension(p1, f1);
        extension(p2, f2);
        dimensionLine(f1, f2);
        const double t = dot(d.textMiddle.xy() - f1, unit(f2 - f1));
        const bool inside = t >= 0 && t <= length(f2 - f1);
        const bool level = inside ? s.textInsideLevel : s.textOutsideLevel;
        text(label, level ? 0 : readable(std::atan2(direction.y(), direction.x()) / degrees));
    }

    // A radius from the centre (10) to the arc (15), a diameter across from 10 to 15: the line
    // runs to the text where the text stands outside.
    void DimensionDrawer::radial(bool diameter)
    {
        const QPointF arc = d.point15.xy(), other = d.definition.xy();
        const QPointF centre = diameter ? (arc + other) / 2 : other;
        const double r = length(arc - centre);
        const QPointF u = unit(arc - centre);
        if (!(r > 0))
            return;
        const double measured = (diameter ? 2 * r : r) * s.lengthFactor;
        label = textOf(d, diameter ? QStringLiteral("%%c") : QStringLiteral("R"),
            formattedNumber(measured, s.decimals, s.zeroSuppression, s.decimalSeparator));
        const QPointF middle = d.textMiddle.xy();
        const double reach = length(middle - centre);
        const bool outside = reach > r && dot(middle - centre, u) > 0;
        const bool level = outside ? s.textOutsideLevel : s.textInsideLevel;
        if (outside) {
            const double end = std::max(r, reach - textWidth() / 2 - s.textGap * k);
            out.line(diameter ? other : arc, centre + u * end, s.lineColour);
            out.arrow(arc, -u, arrowSize, arrowBlock(true), tickSize, s.lineColour);
            if (diameter)
                out.arrow(other, -u, arrowSize, arrowBlock(false), tickSize, s.lineColour);
        } else {
            out.line(diameter ? other : centre, arc, s.lineColour);
            out.arrow(arc, u, arrowSize, arrowBlock(true), tickSize, s.lineColour);
            if (diameter)
                out.arrow(other, -u, arrowSize, arrowBlock(false), tickSize, s.lineColour);
        }
        text(label, level ? 0 : readable(std::atan2(u.y(), u.x()) / degrees));
    }

    // Extension lines along the angle's sides, from the side's geometry to the arc.
    void DimensionDrawer::radialExtension(
        QPointF centre, QPointF direction, double nearest, double farthest, double radius)
    {
        const double offset = s.extensionOffset * k, beyond = s.extensionBeyond * k;
        if (radius > farthest)
            out.line(centre + direction * (farthest + offset),
                centre + direction * (radius + beyond), s.extensionColour);
        else if (radius < nearest)
            out.line(centre + direction * (nearest - offset),
                centre + direction * (radius - beyond), s.extensionColour);
    }

    void DimensionDrawer::angular(QPointF centre, double start, double sweep, QPointF first1,
        QPointF first2, QPointF second1, QPointF second2)
    {
        const QPointF arcPoint
            = d.kind == Dimension::Kind::Angular ? d.point16.xy() : d.definition.xy();
        const double radius = length(arcPoint - centre);
        if (!(radius > 0) || !(sweep > 0))
            return;
        const QPointF s1 = along(start), s2 = along(start + sweep);
        const auto side = [&](QPointF direction, QPointF a, QPointF b) {
            const double ta = dot(a - centre, direction), tb = dot(b - centre, direction);
            radialExtension(centre, direction, std::min(ta, tb), std::max(ta, tb), radius);
        };
        side(s1, first1, first2);
        side(s2, second1, second2);
        Arc arc;
        arc.centre = vec(centre);
        arc.radius = radius;
        arc.startAngle = start / degrees;
        arc.endAngle = (start + sweep) / degrees;
        out.add(arc, s.lineColour);
        out.arrow(centre + s1 * radius, -normal(s1), arrowSize, arrowBlock(false), tickSize,
            s.lineColour);
        out.arrow(
            centre + s2 * radius, normal(s2), arrowSize, arrowBlock(true), tickSize, s.lineColour);
        label = textOf(d, QString(),
            formattedNumber(sweep / degrees, s.angleDecimals, 0, s.decimalSeparator)
                + QStringLiteral("%%d"));
        const double middle = (start + sweep / 2) / degrees;
        text(label, s.textInsideLevel ? 0 : readable(middle - 90));
    }

    // From the feature (13) to the leader's end (14), measuring x or y from the origin (10).
    void DimensionDrawer::ordinate()
    {
        const QPointF feature = d.point13.xy(), end = d.point14.xy();
        const QPointF origin = d.definition.xy();
        const double measured
            = std::abs(d.ordinateX ? feature.x() - origin.x() : feature.y() - origin.y())
            * s.lengthFactor;
        label = textOf(d, QString(),
            formattedNumber(measured, s.decimals, s.zeroSuppression, s.decimalSeparator));
        const QPointF u = unit(end - feature);
        if (length(end - feature) > s.extensionOffset * k)
            out.line(feature + u * s.extensionOffset * k, end, s.extensionColour);
        text(label, d.ordinateX && !s.textOutsideLevel ? 90 : 0);
    }

} // namespace

std::vector<Entity> dimensionEntities(const Dimension &dimension)
{
    return DimensionDrawer(dimension).draw();
}

std::vector<Entity> multiLeaderEntities(const Drawing &drawing, const MultiLeader &leader)
{
    Builder out(QStringLiteral("MULTILEADER"));
    const QString arrowBlock = leader.arrowBlockRecord
        ? drawing.blockNamesByRecord.value(leader.arrowBlockRecord)
        : QString();
    for (const MultiLeader::Branch &branch : leader.branches) {
        const QPointF landing = branch.landing.xy();
        if (leader.lineType == 0)
            continue;
        for (const std::vector<Vec3> &line : branch.lines) {
            // Each line runs from its arrowhead through its vertices to the landing.
            std::vector<QPointF> points;
            for (const Vec3 &v : line)
                points.push_back(v.xy());
            points.push_back(landing);
            if (points.size() < 2)
                continue;
            if (leader.lineType == 2 && points.size() > 2) {
                Spline spline;
                for (QPointF p : points)
                    spline.fitPoints.push_back(vec(p));
                out.add(std::move(spline), leader.lineColour, leader.lineTrueColour);
            } else {
                out.polyline(points, false, leader.lineColour, leader.lineTrueColour);
            }
            const QPointF direction = unit(points[0] - points[1]);
            if (length(direction) > 0 && leader.arrowSize > 0)
                out.arrow(points[0], direction, leader.arrowSize, arrowBlock, 0, leader.lineColour,
                    leader.lineTrueColour);
        }
        const QPointF dogleg = unit(branch.doglegDirection.xy()) * branch.doglegLength;
        if (leader.dogleg && length(dogleg) > 0)
            out.line(landing, landing + dogleg, leader.lineColour, leader.lineTrueColour);
    }
    if (leader.hasText && !leader.text.text.isEmpty())
        out.add(leader.text, leader.textColour, leader.textTrueColour);
    if (leader.hasBlock && !leader.block.isEmpty()) {
        Insert insert;
        insert.block = leader.block;
        insert.insert = leader.blockPosition;
        insert.scale = leader.blockScale;
        insert.rotation = leader.blockRotation;
        out.add(std::move(insert), Aci::ByBlock);
    }
    return std::move(out.entities);
}

} // namespace dxf
