#include "dxfentities.h"

#include "dxfgeometry.h"
#include "dxftextlayout.h"

#include <QPointF>
#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <set>

namespace dxf {

namespace {

    Vec3 vec(QPointF p)
    {
        return { p.x(), p.y(), 0 };
    }

    Entity made(const QString &type, Shape shape, int colour = Aci::ByBlock,
        std::int32_t trueColour = -1, const QString &linetype = QStringLiteral("BYBLOCK"))
    {
        Entity e;
        e.type = type;
        e.shape = std::move(shape);
        e.common.colour = colour;
        e.common.trueColour = trueColour;
        e.common.linetype = linetype;
        e.common.lineweight = Lineweight::ByBlock;
        return e;
    }

    Polyline polyline(const std::vector<std::pair<QPointF, double>> &points, bool closed = false)
    {
        Polyline p;
        for (const auto &[point, bulge] : points)
            p.vertices.push_back({ vec(point), 0, 0, bulge });
        p.closed = closed;
        return p;
    }

    // The bulge of a half circle from a to b that bows towards outward.
    double halfCircle(QPointF a, QPointF b, QPointF outward)
    {
        const QPointF d = b - a;
        return dot(QPointF(d.y(), -d.x()), outward) >= 0 ? 1 : -1;
    }

    MLineStyle standardStyle()
    {
        MLineStyle style;
        style.name = QStringLiteral("STANDARD");
        style.elements = { { 0.5, Aci::ByLayer, -1, {} }, { -0.5, Aci::ByLayer, -1, {} } };
        return style;
    }

    const MLineStyle *styleOf(const Drawing &drawing, const MLine &mline)
    {
        const auto byHandle = drawing.mlineStyles.constFind(mline.style);
        if (mline.style && byHandle != drawing.mlineStyles.cend())
            return &*byHandle;
        for (const MLineStyle &style : drawing.mlineStyles) {
            if (style.name.compare(mline.styleName, Qt::CaseInsensitive) == 0)
                return &style;
        }
        return nullptr;
    }

    class MLineDrawer {
    public:
        MLineDrawer(const MLine &mline, const MLineStyle &style)
            : mline(mline)
            , style(style)
        {
        }

        std::vector<Entity> entities();

    private:
        void place();
        void element(size_t k);
        void across(size_t vertex, QPointF outward, bool round);
        void split(
            QPointF from, QPointF to, QPointF outward, bool round, size_t first, size_t second);
        Entity elementEntity(size_t k, Shape shape) const
        {
            const MLineStyle::Element &el = style.elements[k];
            return made(QStringLiteral("MLINE"), std::move(shape), el.colour, el.trueColour,
                el.linetype.isEmpty() ? QStringLiteral("BYLAYER") : el.linetype);
        }

        const MLine &mline;
        const MLineStyle &style;
        // Where each element meets each vertex's miter.
        std::vector<std::vector<QPointF>> at;
        // Element indices from the lowest offset to the highest.
        std::vector<size_t> order;
        std::vector<Entity> out;
    };

    void MLineDrawer::place()
    {
        const size_t n = style.elements.size();
        double lowest = HUGE_VAL, highest = -HUGE_VAL;
        for (const MLineStyle::Element &el : style.elements)
            lowest = std::min(lowest, el.offset), highest = std::max(highest, el.offset);
        const double shift = mline.justification == 0 ? highest
            : mline.justification == 2                ? lowest
                                                      : 0;
        for (const MLine::Vertex &v : mline.vertices) {
            const QPointF miter = v.miter.xy();
            const QPointF d = unit(v.direction.xy());
            // An offset across the segment is longer along a miter that meets it at a slant.
            const double slant = dot(miter, QPointF(-d.y(), d.x()));
            std::vector<QPointF> points;
            for (size_t k = 0; k < n; ++k) {
                double along = (style.elements[k].offset - shift) * mline.scale;
                if (std::abs(slant) > 1e-9)
                    along /= slant;
                // The file's own parameters are the geometry as its program drew it.
                if (v.elements.size() == n && !v.elements[k].empty())
                    along = v.elements[k][0];
                points.push_back(v.point.xy() + miter * along);
            }
            at.push_back(std::move(points));
        }
        order.resize(n);
        for (size_t k = 0; k < n; ++k)
            order[k] = k;
        std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
            return style.elements[a].offset < style.elements[b].offset;
        });
    }

    // Each segment of an element is drawn where its parameters say, from the miter on: from
    // the second parameter to the third, from the fourth to the fifth, and so on, the last
    // stretch to the segment's end; a cut through the multiline leaves these gaps.
    void MLineDrawer::element(size_t k)
    {
        const size_t count = mline.vertices.size();
        const size_t segments = mline.closed ? count : count - 1;
        for (size_t i = 0; i < segments; ++i) {
            const QPointF a = at[i][k], b = at[(i + 1) % count][k];
            const double l = length(b - a);
            std::vector<double> marks { 0 };
            const auto &params = mline.vertices[i].elements;
            if (params.size() == style.elements.size() && params[k].size() > 1)
                marks.assign(params[k].begin() + 1, params[k].end());
            for (size_t j = 0; j < marks.size(); j += 2) {
                const double from = std::clamp(marks[j], 0.0, l);
                const double to = j + 1 < marks.size() ? std::clamp(marks[j + 1], 0.0, l) : l;
                if (to > from && l > 0)
                    out.push_back(elementEntity(
                        k, Line { vec(a + (b - a) * (from / l)), vec(a + (b - a) * (to / l)), 0 }));
            }
        }
    }

    // From one element to its partner across a vertex, each half in its own element's traits:
    // straight, or a half circle bowing outward.
    void MLineDrawer::split(
        QPointF from, QPointF to, QPointF outward, bool round, size_t first, size_t second)
    {
        const QPointF middle = (from + to) / 2;
        if (!round) {
            out.push_back(elementEntity(first, Line { vec(from), vec(middle), 0 }));
            out.push_back(elementEntity(second, Line { vec(to), vec(middle), 0 }));
            return;
        }
        const double radius = length(to - from) / 2;
        const QPointF top = middle + outward * radius;
        const double quarter = halfCircle(from, to, outward) * std::tan(std::numbers::pi / 8);
        out.push_back(elementEntity(first, polyline({ { from, quarter }, { top, 0 } })));
        out.push_back(elementEntity(second, polyline({ { top, quarter }, { to, 0 } })));
    }

    void MLineDrawer::across(size_t vertex, QPointF outward, bool round)
    {
        const size_t n = order.size();
        split(
            at[vertex][order[n - 1]], at[vertex][order[0]], outward, round, order[n - 1], order[0]);
    }

    std::vector<Entity> MLineDrawer::entities()
    {
        const size_t count = mline.vertices.size();
        const size_t n = style.elements.size();
        if (count < 2 || n == 0)
            return {};
        place();
        const QPointF startBack = unit(mline.vertices[0].point.xy() - mline.vertices[1].point.xy());
        const QPointF endOn
            = unit(mline.vertices[count - 1].point.xy() - mline.vertices[count - 2].point.xy());
        const bool startCaps = !mline.closed && !mline.suppressStartCaps;
        const bool endCaps = !mline.closed && !mline.suppressEndCaps;
        if (style.flags & 1) {
            // The band between the outermost elements, round where its caps are.
            const size_t low = order.front(), high = order.back();
            std::vector<std::pair<QPointF, double>> ring;
            const auto rim = [&](size_t k) {
                std::vector<std::pair<QPointF, double>> points;
                for (size_t i = 0; i < count; ++i)
                    points.push_back({ at[i][k], 0 });
                return points;
            };
            Hatch fill;
            fill.solid = true;
            const auto path = [&fill](std::vector<std::pair<QPointF, double>> points) {
                HatchPath p;
                p.isPolyline = true;
                for (const auto &[point, bulge] : points)
                    p.vertices.push_back({ vec(point), 0, 0, bulge });
                fill.paths.push_back(std::move(p));
            };
            if (mline.closed) {
                path(rim(low));
                path(rim(high));
            } else {
                ring = rim(low);
                std::vector<std::pair<QPointF, double>> upper = rim(high);
                if (endCaps && (style.flags & 1024))
                    ring.back().second = halfCircle(ring.back().first, upper.back().first, endOn);
                std::reverse(upper.begin(), upper.end());
                if (startCaps && (style.flags & 64))
                    upper.back().second
                        = halfCircle(upper.back().first, ring.front().first, startBack);
                ring.insert(ring.end(), upper.begin(), upper.end());
                path(std::move(ring));
            }
            out.push_back(made(QStringLiteral("MLINE"), std::move(fill), style.fillColour,
                style.fillTrueColour, QStringLiteral("BYLAYER")));
        }
        for (size_t k = 0; k < n; ++k)
            element(k);
        if (style.flags & 2) {
            for (size_t i = mline.closed ? 0 : 1; i < (mline.closed ? count : count - 1); ++i)
                across(i, {}, false);
        }
        const auto caps = [&](size_t vertex, QPointF outward, int shift) {
            if (style.flags & (16 << shift))
                across(vertex, outward, false);
            if (style.flags & (64 << shift))
                across(vertex, outward, true);
            if (style.flags & (32 << shift)) {
                for (size_t j = 1; j + 1 < n - j; ++j)
                    split(at[vertex][order[n - 1 - j]], at[vertex][order[j]], outward, true,
                        order[n - 1 - j], order[j]);
            }
        };
        if (startCaps)
            caps(0, startBack, 0);
        if (endCaps)
            caps(count - 1, endOn, 4);
        return std::move(out);
    }

} // namespace

std::vector<Entity> mlineEntities(const Drawing &drawing, const MLine &mline)
{
    const MLineStyle *style = styleOf(drawing, mline);
    const MLineStyle standard = standardStyle();
    return MLineDrawer(mline, style ? *style : standard).entities();
}

// Each row stands below the one before, from the insertion point at the middle of the first
// row's left side; a box is as tall as the text and the gap above and below it, and as wide as
// its text and the gap either side, or square where its text is narrower (a symbol).
std::vector<Entity> toleranceEntities(const Tolerance &tolerance)
{
    const DimensionStyle &s = tolerance.style;
    const double textHeight = s.textHeight * s.scale;
    const double gap = std::abs(s.textGap) * s.scale;
    const double rowHeight = textHeight + 2 * gap;
    QPointF along = unit(tolerance.direction.xy());
    if (along.isNull())
        along = QPointF(1, 0);
    const QPointF up(-along.y(), along.x());
    const QPointF origin = tolerance.insert.xy();
    const auto place = [&](double x, double y) { return vec(origin + along * x + up * y); };
    std::vector<Entity> out;
    const QStringList rows = tolerance.text.split(QLatin1String("^J"));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const double top = rowHeight / 2 - r * rowHeight, bottom = top - rowHeight;
        double x = 0;
        for (const QString &field :
            rows[r].split(QLatin1String("%%v"), Qt::KeepEmptyParts, Qt::CaseInsensitive)) {
            if (field.trimmed().isEmpty())
                continue;
            MText text;
            text.height = textHeight;
            text.attachment = 5;
            text.direction = vec(along);
            text.hasDirection = true;
            text.style = s.textStyle;
            text.text = field;
            double width = 0;
            for (const MTextPiece &piece : layoutMText(text, textHeight))
                width += estimatedWidth(piece.text, piece.height, piece.widthFactor);
            width = std::max(width + 2 * gap, rowHeight);
            Polyline box;
            box.vertices = { { place(x, bottom) }, { place(x + width, bottom) },
                { place(x + width, top) }, { place(x, top) } };
            box.closed = true;
            out.push_back(made(QStringLiteral("TOLERANCE"), std::move(box), s.lineColour));
            text.insert = place(x + width / 2, (top + bottom) / 2);
            out.push_back(made(QStringLiteral("TOLERANCE"), std::move(text), s.textColour));
            x += width;
        }
    }
    return out;
}

std::vector<Entity> meshEntities(const Mesh &mesh)
{
    std::set<std::pair<int, int>> edges;
    const int count = int(std::min<size_t>(mesh.vertices.size(), INT_MAX));
    for (const std::vector<int> &face : mesh.faces) {
        for (size_t i = 0; i < face.size(); ++i) {
            const int a = face[i], b = face[(i + 1) % face.size()];
            if (a >= 0 && b >= 0 && a < count && b < count && a != b)
                edges.insert({ std::min(a, b), std::max(a, b) });
        }
    }
    std::vector<Entity> out;
    out.reserve(edges.size());
    for (const auto &[a, b] : edges)
        out.push_back(made(QStringLiteral("MESH"), Line { mesh.vertices[a], mesh.vertices[b], 0 }));
    return out;
}

} // namespace dxf
