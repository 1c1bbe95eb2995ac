#pragma once

// Curves as points, and clipping to a viewport's outline, for the front end.

#include "dxf/dxfdrawing.h"

#include <QPointF>
#include <QRectF>
#include <cmath>
#include <functional>
#include <vector>

namespace dxf {

using Points = std::vector<QPointF>;

inline double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// The vector's direction, or none for a zero vector.
inline QPointF unit(QPointF v)
{
    const double l = length(v);
    return l > 0 ? v / l : QPointF();
}

inline double dot(QPointF a, QPointF b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// Segments for an arc of that sweep (radians) so that its chord error on paper stays near
// 0.05 mm; radiusOnPaper in mm. 0 when the values are not finite.
int arcSegments(double sweep, double radiusOnPaper);
// Appends n + 1 points of an arc (angles in radians; sweep negative for clockwise).
void appendArc(Points &out, QPointF centre, double rx, double ry, double rotation, double start,
    double sweep, int n);
// Appends the points after from up to and including to of a polyline segment with that bulge.
void appendBulge(Points &out, QPointF from, QPointF to, double bulge, double paperScale);
// A B-spline (or, with fit points only, a smooth curve through them), in WCS x and y.
Points splinePoints(const Spline &spline, double paperScale);
// A smooth curve through the points (Catmull-Rom).
Points throughPoints(const Points &points, int perSpan);
bool finite(QPointF p);
bool finite(const Points &points);

// Where a picture is visible: a rectangle, or any polygon under the odd-even rule.
class ClipRegion {
public:
    ClipRegion() = default;
    explicit ClipRegion(const QRectF &rect);
    explicit ClipRegion(Points polygon);

    bool isRect() const { return polygon.empty(); }
    const QRectF &bounds() const { return box; }
    const Points &outline() const;
    bool contains(QPointF p) const;
    // Calls sink with each visible piece of the line.
    void clipLine(
        const Points &points, bool closed, const std::function<void(Points &&)> &sink) const;
    // The rings' area inside the region (odd-even).
    std::vector<Points> clipRings(const std::vector<Points> &rings) const;

private:
    void clipSegment(QPointF a, QPointF b, std::vector<double> &ts) const;
    QRectF box;
    Points polygon;
    mutable Points rectOutline;
};

// Parameters along p + t d where the line crosses the rings' edges.
void crossings(const std::vector<Points> &rings, QPointF p, QPointF d, std::vector<double> &ts);

} // namespace dxf
