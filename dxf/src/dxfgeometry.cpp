#include "dxfgeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dxf {

namespace {

    constexpr double chordError = 0.05;
    // Curves are never cut into more pieces than this, whatever their size on paper.
    constexpr int maxSegments = 4096;
    constexpr int maxSplineSamples = 20000;

    double cross(QPointF a, QPointF b)
    {
        return a.x() * b.y() - a.y() * b.x();
    }

} // namespace

bool finite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

bool finite(const Points &points)
{
    return std::all_of(points.begin(), points.end(), [](QPointF p) { return finite(p); });
}

int arcSegments(double sweep, double radiusOnPaper)
{
    sweep = std::abs(sweep);
    radiusOnPaper = std::abs(radiusOnPaper);
    if (!std::isfinite(sweep) || !std::isfinite(radiusOnPaper))
        return 0;
    if (radiusOnPaper <= chordError)
        return std::clamp(int(std::ceil(sweep / (std::numbers::pi / 2))), 1, 4);
    const double step = 2 * std::acos(1 - chordError / radiusOnPaper);
    const double n = std::ceil(sweep / step);
    return int(std::clamp(n, 1.0, double(maxSegments)));
}

void appendArc(Points &out, QPointF centre, double rx, double ry, double rotation, double start,
    double sweep, int n)
{
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (int i = 0; i <= n; ++i) {
        const double a = start + sweep * i / n;
        const double x = rx * std::cos(a), y = ry * std::sin(a);
        out.emplace_back(centre.x() + x * c - y * s, centre.y() + x * s + y * c);
    }
}

void appendBulge(Points &out, QPointF from, QPointF to, double bulge, double paperScale)
{
    const double chord = length(to - from);
    if (bulge == 0 || !std::isfinite(bulge) || chord == 0) {
        out.push_back(to);
        return;
    }
    // The included angle is four times the bulge's arc tangent; the centre lies on the chord's
    // perpendicular bisector.
    const double sweep = 4 * std::atan(bulge);
    const double radius = chord / (2 * std::sin(std::abs(sweep) / 2));
    const QPointF mid = (from + to) / 2;
    const QPointF normal(-(to.y() - from.y()) / chord, (to.x() - from.x()) / chord);
    const double toCentre = radius * std::cos(sweep / 2) * (sweep > 0 ? 1 : -1);
    const QPointF centre = mid + normal * toCentre;
    const double start = std::atan2(from.y() - centre.y(), from.x() - centre.x());
    const int n = std::max(1, arcSegments(sweep, radius * paperScale));
    const size_t first = out.size();
    appendArc(out, centre, radius, radius, 0, start, sweep, n);
    // The arc's first point is the segment's start, already in the line; its last is exactly to.
    out.erase(out.begin() + first);
    out.back() = to;
}

Points throughPoints(const Points &points, int perSpan)
{
    Points out;
    if (points.size() < 3 || perSpan < 2)
        return points;
    out.reserve((points.size() - 1) * perSpan + 1);
    out.push_back(points.front());
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const QPointF p0 = i ? points[i - 1] : points[i], p1 = points[i], p2 = points[i + 1];
        const QPointF p3 = i + 2 < points.size() ? points[i + 2] : p2;
        for (int k = 1; k <= perSpan; ++k) {
            const double t = double(k) / perSpan, t2 = t * t, t3 = t2 * t;
            out.push_back(0.5
                * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2
                    + (3 * p1 - p0 - 3 * p2 + p3) * t3));
        }
    }
    return out;
}

Points splinePoints(const Spline &spline, double paperScale)
{
    const auto &cps = spline.controlPoints;
    const int n = int(cps.size());
    if (n < 2) {
        Points fit;
        for (const Vec3 &p : spline.fitPoints)
            fit.push_back(p.xy());
        double len = 0;
        for (size_t i = 1; i < fit.size(); ++i)
            len += length(fit[i] - fit[i - 1]);
        const double span = fit.size() > 1 ? len * paperScale / (fit.size() - 1) : 0;
        return throughPoints(fit, std::clamp(int(span / 0.5), 4, 64));
    }
    const int p = std::clamp(spline.degree, 1, n - 1);
    std::vector<double> knots = spline.knots;
    if (int(knots.size()) != n + p + 1 || !std::is_sorted(knots.begin(), knots.end())) {
        // A clamped uniform vector when the file's does not fit the control points.
        knots.clear();
        for (int i = 0; i < n + p + 1; ++i)
            knots.push_back(std::clamp(i - p, 0, n - p));
    }
    const bool rational = int(spline.weights.size()) == n;
    double polygon = 0;
    for (int i = 1; i < n; ++i)
        polygon += length(cps[i].xy() - cps[i - 1].xy());
    const double lengthOnPaper = polygon * paperScale;
    const int samples = std::isfinite(lengthOnPaper)
        ? int(std::clamp(std::max(lengthOnPaper / 0.5, 8.0 * n), 8.0, double(maxSplineSamples)))
        : 0;
    const double t0 = knots[p], t1 = knots[n];
    Points out;
    if (!(t1 > t0) || samples == 0)
        return out;
    out.reserve(samples + 1);
    // De Boor's algorithm in homogeneous coordinates.
    std::vector<double> wx(p + 1), wy(p + 1), ww(p + 1);
    int span = p;
    for (int s = 0; s <= samples; ++s) {
        const double t = s == samples ? t1 : t0 + (t1 - t0) * s / samples;
        while (span < n - 1 && t >= knots[span + 1])
            ++span;
        for (int j = 0; j <= p; ++j) {
            const int i = span - p + j;
            const double w = rational ? spline.weights[i] : 1;
            wx[j] = cps[i].x * w;
            wy[j] = cps[i].y * w;
            ww[j] = w;
        }
        for (int r = 1; r <= p; ++r) {
            for (int j = p; j >= r; --j) {
                const int i = span - p + j;
                const double den = knots[i + p - r + 1] - knots[i];
                const double a = den > 0 ? (t - knots[i]) / den : 0;
                wx[j] = (1 - a) * wx[j - 1] + a * wx[j];
                wy[j] = (1 - a) * wy[j - 1] + a * wy[j];
                ww[j] = (1 - a) * ww[j - 1] + a * ww[j];
            }
        }
        out.emplace_back(wx[p] / ww[p], wy[p] / ww[p]);
    }
    return out;
}

ClipRegion::ClipRegion(const QRectF &rect)
    : box(rect.normalized())
{
}

ClipRegion::ClipRegion(Points polygon)
    : polygon(std::move(polygon))
{
    if (this->polygon.size() < 3) {
        this->polygon.clear();
        return;
    }
    double x0 = this->polygon[0].x(), x1 = x0, y0 = this->polygon[0].y(), y1 = y0;
    for (QPointF p : this->polygon) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    box = QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

const Points &ClipRegion::outline() const
{
    if (!isRect())
        return polygon;
    if (rectOutline.empty())
        rectOutline = { box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft() };
    return rectOutline;
}

bool ClipRegion::contains(QPointF p) const
{
    if (!box.contains(p))
        return false;
    if (isRect())
        return true;
    bool inside = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const QPointF a = polygon[i], b = polygon[j];
        if ((a.y() > p.y()) != (b.y() > p.y())
            && p.x() < (b.x() - a.x()) * (p.y() - a.y()) / (b.y() - a.y()) + a.x())
            inside = !inside;
    }
    return inside;
}

void crossings(const std::vector<Points> &rings, QPointF p, QPointF d, std::vector<double> &ts)
{
    for (const Points &ring : rings) {
        for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const QPointF a = ring[j], e = ring[i] - ring[j];
            const double den = cross(d, e);
            if (den == 0)
                continue;
            const QPointF ap = a - p;
            const double u = cross(ap, d) / den;
            // Half-open at the edge's end so that a vertex on the line counts once.
            if (u >= 0 && u < 1)
                ts.push_back(cross(ap, e) / den);
        }
    }
}

void ClipRegion::clipSegment(QPointF a, QPointF b, std::vector<double> &ts) const
{
    ts.clear();
    const QPointF d = b - a;
    if (isRect()) {
        // Liang-Barsky.
        double t0 = 0, t1 = 1;
        const double p[4] = { -d.x(), d.x(), -d.y(), d.y() };
        const double q[4]
            = { a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y() };
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0)
                    return;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, r);
            else
                t1 = std::min(t1, r);
        }
        if (t0 < t1)
            ts = { t0, t1 };
        return;
    }
    std::vector<double> cuts { 0, 1 };
    crossings({ polygon }, a, d, cuts);
    std::sort(cuts.begin(), cuts.end());
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double s = std::max(0.0, cuts[i]), e = std::min(1.0, cuts[i + 1]);
        if (e > s && contains(a + d * ((s + e) / 2))) {
            if (!ts.empty() && ts.back() == s)
                ts.back() = e;
            else
                ts.insert(ts.end(), { s, e });
        }
    }
}

void ClipRegion::clipLine(
    const Points &points, bool closed, const std::function<void(Points &&)> &sink) const
{
    if (points.empty())
        return;
    Points piece;
    std::vector<double> ts;
    const size_t count = points.size() + (closed ? 1 : 0);
    if (points.size() == 1) {
        if (contains(points[0]))
            sink(Points(points));
        return;
    }
    for (size_t i = 1; i < count; ++i) {
        const QPointF a = points[i - 1], b = points[i % points.size()];
        clipSegment(a, b, ts);
        for (size_t k = 0; k + 1 < ts.size(); k += 2) {
            const QPointF s = a + (b - a) * ts[k], e = a + (b - a) * ts[k + 1];
            if (ts[k] > 0 || piece.empty()) {
                if (piece.size() > 1)
                    sink(std::move(piece));
                piece.clear();
                piece.push_back(s);
            }
            piece.push_back(e);
            if (ts[k + 1] < 1) {
                sink(std::move(piece));
                piece.clear();
            }
        }
        if (ts.empty() && !piece.empty()) {
            if (piece.size() > 1)
                sink(std::move(piece));
            piece.clear();
        }
    }
    if (piece.size() > 1)
        sink(std::move(piece));
}

std::vector<Points> ClipRegion::clipRings(const std::vector<Points> &rings) const
{
    // Each ring on its own against each edge of the region (Sutherland-Hodgman): exact for a
    // convex region, as viewport rectangles are; against a concave clip outline a fill may reach
    // a little past its notches.
    const Points &edges = isRect() ? outline() : polygon;
    double area = 0;
    for (size_t i = 0, j = edges.size() - 1; i < edges.size(); j = i++)
        area += cross(edges[j], edges[i]);
    const double side = area >= 0 ? 1 : -1;
    std::vector<Points> result;
    for (const Points &ring : rings) {
        Points current = ring, next;
        for (size_t i = 0, j = edges.size() - 1; i < edges.size() && !current.empty(); j = i++) {
            const QPointF a = edges[j], e = edges[i] - edges[j];
            next.clear();
            for (size_t k = 0; k < current.size(); ++k) {
                const QPointF p = current[k], q = current[(k + 1) % current.size()];
                const double dp = side * cross(e, p - a), dq = side * cross(e, q - a);
                if (dp >= 0)
                    next.push_back(p);
                if ((dp >= 0) != (dq >= 0))
                    next.push_back(p + (q - p) * (dp / (dp - dq)));
            }
            current.swap(next);
        }
        if (current.size() >= 3)
            result.push_back(std::move(current));
    }
    return result;
}

} // namespace dxf
