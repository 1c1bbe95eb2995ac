#include "dxf/dxffrontend.h"

#include "dxfcolours.h"
#include "dxfdimensions.h"
#include "dxfentities.h"
#include "dxffrontendbounds.h"
#include "dxfgeometry.h"
#include "dxfproxygraphics.h"
#include "dxftextlayout.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace dxf {

namespace {

    constexpr double defaultLineweight = 0.25;
    constexpr int maxDashesPerEntity = 10000;
    constexpr int maxInsertDepth = 100;
    constexpr qint64 maxArrayCopies = 100000;
    constexpr qint64 maxHatchSegments = 200000;
    constexpr double degrees = std::numbers::pi / 180;

    bool finite3(const Vec3 &v)
    {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    }

    // The entity's plane (OCS) seen from above: its x and y axes by the arbitrary axis rule, z as
    // elevation.
    QTransform ocsTransform(const Vec3 &extrusion, double elevation = 0)
    {
        double zx = extrusion.x, zy = extrusion.y, zz = extrusion.z;
        const double n = std::sqrt(zx * zx + zy * zy + zz * zz);
        if (!(n > 0) || !std::isfinite(n) || (zx == 0 && zy == 0 && zz > 0))
            return {};
        zx /= n, zy /= n, zz /= n;
        double ax, ay, az;
        if (std::abs(zx) < 1.0 / 64 && std::abs(zy) < 1.0 / 64) // (0, 1, 0) x Z
            ax = zz, ay = 0, az = -zx;
        else // (0, 0, 1) x Z
            ax = -zy, ay = zx, az = 0;
        const double an = std::sqrt(ax * ax + ay * ay + az * az);
        ax /= an, ay /= an, az /= an;
        const double bx = zy * az - zz * ay, by = zz * ax - zx * az;
        return QTransform(ax, ay, bx, by, elevation * zx, elevation * zy);
    }

    bool isPlanView(const Vec3 &d)
    {
        const double n = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        return n > 0 && d.z / n > 1 - 1e-9;
    }

    double transformScale(const QTransform &t)
    {
        return std::sqrt(std::abs(t.determinant()));
    }

    struct Context {
        // The level's coordinates (WCS of the space or block) to paper mm.
        QTransform xf;
        double scale = 1;
        const QString *insertLayer = nullptr;
        QRgb byBlockColour = 0xff000000;
        double byBlockWeight = defaultLineweight;
        QString byBlockLinetype;
        const ClipRegion *clip = nullptr;
        const QSet<QString> *frozen = nullptr;
        // Paper mm per unit of a linetype's pattern before the linetype scales: the level's
        // scale, or paper space's inside a viewport that scales linetypes by paper space.
        double linetypeUnit = 1;
        // Where infinite lines end: the viewport, or the sheet.
        QRectF visible;
        int depth = 0;
        bool topLevel = true;
    };

    struct Style {
        QRgb colour = 0xff000000;
        double width = defaultLineweight;
        const Linetype *linetype = nullptr;
        // Paper mm per unit of the linetype's pattern.
        double patternScale = 1;
    };

    class FrontEnd {
    public:
        FrontEnd(const Drawing &drawing, Picture &picture, const QString &folder)
            : drawing(drawing)
            , picture(picture)
            , folder(folder)
        {
        }

        void drawEntities(const std::vector<Entity> &entities, const Context &ctx);
        void drawViewports(const std::vector<Entity> &entities, const Context &ctx);
        void finish();
        bool boundsOnly = false;

    private:
        void drawEntity(const Entity &e, const Context &ctx);
        void drawShape(const Entity &e, const Context &ctx, const QString &layer);
        void drawViewport(const Viewport &vp, const Context &ctx);
        void drawInsert(
            const Entity &e, const Insert &insert, const Context &ctx, const QString &layer);
        bool drawBlock(const Entity &e, const QString &name, const QTransform &local,
            const Context &ctx, const QString &layer);
        void drawMade(const Entity &e, const std::vector<Entity> &made, const Context &ctx,
            const QString &layer);
        void drawText(const Entity &e, const Text &t, const EntityCommon &common,
            const Context &ctx, const QString &layer);
        void drawMText(const Entity &e, const MText &t, const Context &ctx, const QString &layer);
        void drawPolyline(
            const Entity &e, const Polyline &p, const Context &ctx, const Style &style);
        void drawHatch(const Entity &e, const Hatch &h, const Context &ctx, const Style &style);
        void drawImage(const Image &image, const Context &ctx, const Style &style);
        void drawInfinite(const InfiniteLine &line, const Context &ctx, const Style &style);
        void drawProxyGraphics(const Entity &e, const Context &ctx, const QString &layer);
        void drawPoint(
            const Point &p, const Context &ctx, const Style &style, const QTransform &xf);

        const Layer *layerOf(const QString &name) const { return drawing.layer(name); }
        bool hidden(const QString &layerName, const Context &ctx, bool forInsert) const;
        Style styleOf(const EntityCommon &c, const Context &ctx, const QString &layerName) const;
        QString linetypeNameOf(
            const EntityCommon &c, const Context &ctx, const QString &layer) const;
        void addRun(TextRun &&run, const Context &ctx);
        void stroke(const Points &paper, bool closed, const Style &style, const Context &ctx);
        void emitStroke(Points &&paper, bool closed, const Style &style, const Context &ctx);
        void fill(std::vector<Points> &&rings, QRgb colour, const Context &ctx);
        std::vector<Points> hatchRings(const Hatch &h, double paperScale) const;
        Points outlineOf(const Entity &e, double paperScale) const;
        TextRun run(const QTransform &xf, QPointF base, double angle, double height,
            double widthFactor, QString text) const;
        void skip(const QString &what) { ++skipped[what]; }

        const Drawing &drawing;
        Picture &picture;
        QString folder;
        QMap<QString, int> skipped;
        std::vector<const Block *> blockStack;
        bool bad = false;
        int dashesLeft = 0;
    };

    bool FrontEnd::hidden(const QString &layerName, const Context &ctx, bool forInsert) const
    {
        if (ctx.frozen && ctx.frozen->contains(layerName.toUpper()))
            return true;
        const Layer *layer = layerOf(layerName);
        if (!layer)
            return false;
        // Entities of other layers inside a block on a layer that is off still show; a frozen
        // layer hides the whole insert.
        return layer->frozen || (!forInsert && (layer->off || !layer->plotted));
    }

    QString FrontEnd::linetypeNameOf(
        const EntityCommon &c, const Context &ctx, const QString &layer) const
    {
        const QString &name = c.linetype;
        if (name.isEmpty() || name.compare(QLatin1String("BYLAYER"), Qt::CaseInsensitive) == 0) {
            const Layer *l = layerOf(layer);
            return l ? l->linetype : QString();
        }
        if (name.compare(QLatin1String("BYBLOCK"), Qt::CaseInsensitive) == 0)
            return ctx.byBlockLinetype;
        return name;
    }

    Style FrontEnd::styleOf(
        const EntityCommon &c, const Context &ctx, const QString &layerName) const
    {
        Style style;
        const Layer *layer = layerOf(layerName);
        if (c.trueColour >= 0 && c.colour != Aci::ByLayer && c.colour != Aci::ByBlock)
            style.colour = paperColour(QRgb(c.trueColour));
        else if (c.trueColour >= 0 && c.colour == Aci::ByLayer && c.trueColour != 0)
            style.colour = paperColour(QRgb(c.trueColour));
        else if (c.colour == Aci::ByBlock)
            style.colour = ctx.byBlockColour;
        else if (c.colour == Aci::ByLayer || c.colour < 0 || c.colour > 256)
            style.colour = !layer        ? aciColour(7)
                : layer->trueColour >= 0 ? paperColour(QRgb(layer->trueColour))
                                         : aciColour(std::abs(layer->colour));
        else
            style.colour = aciColour(c.colour);

        int weight = c.lineweight;
        if (weight == Lineweight::ByLayer)
            weight = layer ? layer->lineweight : Lineweight::Default;
        if (weight == Lineweight::ByBlock)
            style.width = ctx.byBlockWeight;
        else if (weight >= 0 && weight <= 211)
            style.width = weight / 100.0;

        const QString name = linetypeNameOf(c, ctx, layerName);
        if (!name.isEmpty()
            && name.compare(QLatin1String("CONTINUOUS"), Qt::CaseInsensitive) != 0) {
            const auto it = drawing.linetypes.constFind(name.toUpper());
            if (it != drawing.linetypes.cend() && it->pattern.size() > 1)
                style.linetype = &*it;
        }
        const double scale = drawing.linetypeScale * c.linetypeScale * ctx.linetypeUnit;
        style.patternScale = std::isfinite(scale) && scale > 0 ? scale : ctx.linetypeUnit;
        return style;
    }

    void FrontEnd::emitStroke(Points &&paper, bool closed, const Style &style, const Context &ctx)
    {
        if (boundsOnly || !ctx.clip) {
            picture.items.push_back(Stroke { std::move(paper), closed, style.colour, style.width });
            return;
        }
        ctx.clip->clipLine(paper, closed, [&](Points &&piece) {
            picture.items.push_back(Stroke { std::move(piece), false, style.colour, style.width });
        });
    }

    void FrontEnd::stroke(const Points &paper, bool closed, const Style &style, const Context &ctx)
    {
        if (paper.empty())
            return;
        if (!finite(paper)) {
            bad = true;
            return;
        }
        const Linetype *lt = style.linetype;
        double patternLength = 0;
        if (lt) {
            for (double d : lt->pattern)
                patternLength += std::abs(d);
            patternLength *= style.patternScale;
        }
        double total = 0;
        const size_t count = paper.size() + (closed ? 1 : 0);
        for (size_t i = 1; i < count; ++i)
            total += length(paper[i % paper.size()] - paper[i - 1]);
        const double dashes = patternLength > 0 ? total / patternLength * lt->pattern.size() : 0;
        // Past the cap (or for a pattern too fine to see) the line is drawn solid.
        if (!lt || !(patternLength > 1e-3) || !std::isfinite(dashes) || dashes > dashesLeft) {
            emitStroke(Points(paper), closed, style, ctx);
            return;
        }
        dashesLeft -= int(dashes) + 1;
        Points dash;
        size_t element = 0;
        double left = std::abs(lt->pattern[0]) * style.patternScale;
        bool on = lt->pattern[0] >= 0;
        if (on)
            dash.push_back(paper[0]);
        for (size_t i = 1; i < count; ++i) {
            QPointF a = paper[i - 1];
            const QPointF b = paper[i % paper.size()];
            double segment = length(b - a);
            while (segment >= left) {
                a += (b - a) * (left / segment);
                segment -= left;
                if (on) {
                    dash.push_back(a);
                    emitStroke(std::move(dash), false, style, ctx);
                    dash.clear();
                }
                element = (element + 1) % lt->pattern.size();
                const double d = lt->pattern[element];
                on = d >= 0;
                left = std::abs(d) * style.patternScale;
                if (on) {
                    dash.push_back(a);
                    if (left == 0) {
                        // A dot.
                        dash.push_back(a);
                        emitStroke(std::move(dash), false, style, ctx);
                        dash.clear();
                        element = (element + 1) % lt->pattern.size();
                        on = lt->pattern[element] >= 0;
                        left = std::abs(lt->pattern[element]) * style.patternScale;
                        if (on)
                            dash.push_back(a);
                    }
                }
            }
            left -= segment;
            if (on)
                dash.push_back(b);
        }
        if (dash.size() > 1)
            emitStroke(std::move(dash), false, style, ctx);
    }

    void FrontEnd::fill(std::vector<Points> &&rings, QRgb colour, const Context &ctx)
    {
        for (const Points &ring : rings) {
            if (!finite(ring)) {
                bad = true;
                return;
            }
        }
        if (!boundsOnly && ctx.clip) {
            bool inside = true;
            for (const Points &ring : rings) {
                for (QPointF p : ring)
                    inside = inside && ctx.clip->contains(p);
            }
            if (!inside)
                rings = ctx.clip->clipRings(rings);
        }
        if (!rings.empty())
            picture.items.push_back(Fill { std::move(rings), colour });
    }

    void FrontEnd::addRun(TextRun &&r, const Context &ctx)
    {
        if (!finite(r.position) || !std::isfinite(r.height) || !std::isfinite(r.rotation)
            || !std::isfinite(r.widthFactor) || !std::isfinite(r.fitWidth)) {
            bad = true;
            return;
        }
        if (r.text.isEmpty() || (!boundsOnly && ctx.clip && !ctx.clip->contains(r.position)))
            return;
        picture.items.push_back(std::move(r));
    }

    // A run at base (entity coordinates) along angle (radians); the entity's transform decides its
    // size, rotation and mirroring on paper.
    TextRun FrontEnd::run(const QTransform &xf, QPointF base, double angle, double height,
        double widthFactor, QString text) const
    {
        const QPointF d(std::cos(angle), std::sin(angle)), u(-d.y(), d.x());
        const QPointF p = xf.map(base);
        const QPointF dd = xf.map(base + d) - p, uu = xf.map(base + u) - p;
        TextRun r;
        r.text = std::move(text);
        r.position = p;
        const double uLength = length(uu);
        r.height = height * uLength;
        r.rotation = std::atan2(dd.y(), dd.x()) / degrees;
        r.widthFactor = widthFactor * (uLength > 0 ? length(dd) / uLength : 1);
        r.mirrorY = dd.x() * uu.y() - dd.y() * uu.x() < 0;
        return r;
    }

    void FrontEnd::drawEntities(const std::vector<Entity> &entities, const Context &ctx)
    {
        for (const Entity &e : entities)
            drawEntity(e, ctx);
    }

    void FrontEnd::drawEntity(const Entity &e, const Context &ctx)
    {
        if (e.common.invisible)
            return;
        const QString &layer = e.common.layer == QLatin1String("0") && ctx.insertLayer
            ? *ctx.insertLayer
            : e.common.layer;
        const bool isInsert = std::holds_alternative<Insert>(e.shape)
            || std::holds_alternative<BlockDrawn>(e.shape)
            || std::holds_alternative<Boxed<Dimension>>(e.shape)
            || std::holds_alternative<Boxed<MultiLeader>>(e.shape);
        if (std::holds_alternative<Viewport>(e.shape) || hidden(layer, ctx, isInsert))
            return;
        const size_t mark = picture.items.size();
        bad = false;
        dashesLeft = maxDashesPerEntity;
        drawShape(e, ctx, layer);
        if (bad) {
            // Whatever part of it was drawn goes: a half-drawn entity misleads more than a missing
            // one that is reported.
            picture.items.resize(mark);
            skip(e.type);
            bad = false;
        }
    }

    void FrontEnd::drawShape(const Entity &e, const Context &ctx, const QString &layer)
    {
        const Style style = styleOf(e.common, ctx, layer);
        const QTransform ocs = ocsTransform(e.common.extrusion) * ctx.xf;
        const double ocsScale = ctx.scale;
        if (const auto *line = std::get_if<Line>(&e.shape)) {
            stroke({ ctx.xf.map(line->start.xy()), ctx.xf.map(line->end.xy()) }, false, style, ctx);
        } else if (const auto *circle = std::get_if<Circle>(&e.shape)) {
            const int n = arcSegments(2 * std::numbers::pi, circle->radius * ocsScale);
            if (n == 0 || !finite3(circle->centre))
                return void(bad = true);
            Points points;
            points.reserve(n + 1);
            appendArc(points, circle->centre.xy(), circle->radius, circle->radius, 0, 0,
                2 * std::numbers::pi, std::max(n, 8));
            points.pop_back();
            for (QPointF &p : points)
                p = ocs.map(p);
            stroke(points, true, style, ctx);
        } else if (const auto *arc = std::get_if<Arc>(&e.shape)) {
            double sweep = std::fmod(arc->endAngle - arc->startAngle, 360.0);
            if (sweep <= 0)
                sweep += 360;
            sweep *= degrees;
            const int n = arcSegments(sweep, arc->radius * ocsScale);
            if (n == 0 || !finite3(arc->centre) || !std::isfinite(arc->startAngle))
                return void(bad = true);
            Points points;
            appendArc(points, arc->centre.xy(), arc->radius, arc->radius, 0,
                arc->startAngle * degrees, sweep, n);
            for (QPointF &p : points)
                p = ocs.map(p);
            stroke(points, false, style, ctx);
        } else if (const auto *ellipse = std::get_if<Ellipse>(&e.shape)) {
            const QPointF major = ellipse->majorAxis.xy();
            const double rx = length(major), ry = rx * ellipse->ratio;
            double sweep
                = std::fmod(ellipse->endParameter - ellipse->startParameter, 2 * std::numbers::pi);
            if (sweep <= 1e-12)
                sweep += 2 * std::numbers::pi;
            const int n = arcSegments(sweep, rx * ctx.scale);
            if (n == 0 || !std::isfinite(ry) || !finite3(ellipse->centre))
                return void(bad = true);
            Points points;
            // An ellipse whose extrusion points down runs clockwise in WCS.
            const double dir = e.common.extrusion.z >= 0 ? 1 : -1;
            appendArc(points, ellipse->centre.xy(), rx, ry * dir, std::atan2(major.y(), major.x()),
                ellipse->startParameter, sweep, n);
            for (QPointF &p : points)
                p = ctx.xf.map(p);
            stroke(points, false, style, ctx);
        } else if (const auto *polyline = std::get_if<Polyline>(&e.shape)) {
            drawPolyline(e, *polyline, ctx, style);
        } else if (const auto *spline = std::get_if<Spline>(&e.shape)) {
            Points points = splinePoints(*spline, ctx.scale);
            if (points.empty()
                && (spline->controlPoints.size() > 1 || spline->fitPoints.size() > 1))
                return void(bad = true);
            for (QPointF &p : points)
                p = ctx.xf.map(p);
            stroke(points, false, style, ctx);
        } else if (const auto *point = std::get_if<Point>(&e.shape)) {
            drawPoint(*point, ctx, style, ctx.xf);
        } else if (const auto *face = std::get_if<Face>(&e.shape)) {
            const QTransform &xf = face->kind == Face::Kind::Face3D ? ctx.xf : ocs;
            Points c;
            for (const Vec3 &v : face->corners)
                c.push_back(xf.map(v.xy()));
            if (face->kind == Face::Kind::Face3D) {
                // Runs of visible edges, corner 4 repeating 3 for a triangle.
                const int corners = c[3] == c[2] ? 3 : 4;
                Points run;
                for (int i = 0; i < corners; ++i) {
                    if (face->invisibleEdges & (1 << i)) {
                        if (run.size() > 1)
                            stroke(run, false, style, ctx);
                        run.clear();
                        continue;
                    }
                    if (run.empty())
                        run.push_back(c[i]);
                    run.push_back(c[(i + 1) % corners]);
                }
                if (run.size() > 1)
                    stroke(run, false, style, ctx);
            } else {
                fill({ { c[0], c[1], c[3], c[2] } }, style.colour, ctx);
            }
        } else if (const auto *text = std::get_if<Text>(&e.shape)) {
            if (e.type.compare(QLatin1String("ATTDEF"), Qt::CaseInsensitive) == 0) {
                // In a block a definition only shapes its inserts' attributes; outside one it
                // shows its tag, whatever its default value, as the CAD program shows it.
                if (!ctx.topLevel)
                    return;
                Text tag = *text;
                tag.text = text->tag;
                return drawText(e, tag, e.common, ctx, layer);
            }
            drawText(e, *text, e.common, ctx, layer);
        } else if (const auto *mtext = std::get_if<MText>(&e.shape)) {
            drawMText(e, *mtext, ctx, layer);
        } else if (const auto *insert = std::get_if<Insert>(&e.shape)) {
            drawInsert(e, *insert, ctx, layer);
        } else if (const auto *drawn = std::get_if<BlockDrawn>(&e.shape)) {
            if (!finite3(drawn->insert) || !finite3(drawn->scale)
                || !std::isfinite(drawn->rotation))
                return void(bad = true);
            QTransform local;
            local.translate(drawn->insert.x, drawn->insert.y);
            local.rotate(drawn->rotation);
            local.scale(drawn->scale.x, drawn->scale.y);
            drawBlock(e, drawn->block, local, ctx, layer);
        } else if (const auto *dimension = std::get_if<Boxed<Dimension>>(&e.shape)) {
            if (drawing.block((*dimension)->block))
                drawBlock(e, (*dimension)->block, QTransform(), ctx, layer);
            else
                drawMade(e, dimensionEntities(**dimension), ctx, layer);
        } else if (const auto *multiLeader = std::get_if<Boxed<MultiLeader>>(&e.shape)) {
            drawMade(e, multiLeaderEntities(drawing, **multiLeader), ctx, layer);
        } else if (const auto *leader = std::get_if<Leader>(&e.shape)) {
            Points points;
            for (const Vec3 &v : leader->vertices)
                points.push_back(v.xy());
            if (leader->spline)
                points = throughPoints(points, 16);
            for (QPointF &p : points)
                p = ctx.xf.map(p);
            stroke(points, false, style, ctx);
            if (leader->arrowhead && leader->vertices.size() > 1 && leader->arrowSize > 0) {
                const QPointF tip = leader->vertices[0].xy(), from = leader->vertices[1].xy();
                const double l = length(from - tip);
                if (l > 0) {
                    const QPointF d = (from - tip) / l * leader->arrowSize;
                    const QPointF n(-d.y() / 6, d.x() / 6);
                    fill({ { ctx.xf.map(tip), ctx.xf.map(tip + d + n), ctx.xf.map(tip + d - n) } },
                        style.colour, ctx);
                }
            }
        } else if (const auto *hatch = std::get_if<Hatch>(&e.shape)) {
            drawHatch(e, *hatch, ctx, style);
        } else if (const auto *image = std::get_if<Image>(&e.shape)) {
            drawImage(*image, ctx, style);
        } else if (const auto *infinite = std::get_if<InfiniteLine>(&e.shape)) {
            drawInfinite(*infinite, ctx, style);
        } else if (const auto *mline = std::get_if<MLine>(&e.shape)) {
            drawMade(e, mlineEntities(drawing, *mline), ctx, layer);
        } else if (const auto *tolerance = std::get_if<Boxed<Tolerance>>(&e.shape)) {
            drawMade(e, toleranceEntities(**tolerance), ctx, layer);
        } else if (const auto *mesh = std::get_if<Mesh>(&e.shape)) {
            drawMade(e, meshEntities(*mesh), ctx, layer);
        } else if (!e.proxyGraphics.isEmpty()) {
            drawProxyGraphics(e, ctx, layer);
        } else if (e.type.compare(QLatin1String("SHAPE"), Qt::CaseInsensitive) == 0) {
            // A shape is a glyph of a compiled shape file, which no drawing carries with it.
            skip(QStringLiteral("SHAPE (shape file not available)"));
        } else {
            skip(e.type);
        }
    }

    // What the entity's own program drew of it, whose traits resolve as a block's entities'
    // do: by block is the entity's own, layer 0 the entity's layer.
    void FrontEnd::drawProxyGraphics(const Entity &e, const Context &ctx, const QString &layer)
    {
        const ProxyPicture proxy = decodeProxyGraphics(e.proxyGraphics, e.type, drawing);
        for (const auto &[what, count] : proxy.skipped)
            skipped[what] += count;
        Context inner = ctx;
        inner.insertLayer = &layer;
        const Style style = styleOf(e.common, ctx, layer);
        inner.byBlockColour = style.colour;
        inner.byBlockWeight = style.width;
        inner.byBlockLinetype = linetypeNameOf(e.common, ctx, layer);
        inner.topLevel = false;
        const bool outerBad = bad;
        for (const Entity &child : proxy.entities)
            drawEntity(child, inner);
        bad = outerBad;
    }

    void FrontEnd::drawPoint(
        const Point &p, const Context &ctx, const Style &style, const QTransform &xf)
    {
        const QPointF c = p.position.xy();
        const int mode = drawing.pointMode;
        double size = drawing.pointSize;
        if (!(size > 0)) {
            // Relative sizes are a percentage of the view's height (5 % when unset).
            const double percent = size < 0 ? -size : 5;
            size = ctx.visible.height() * percent / 100 / (ctx.scale > 0 ? ctx.scale : 1);
        }
        const double h = size / 2;
        if (!std::isfinite(h) || !finite(c))
            return void(bad = true);
        switch (mode & 7) {
        case 0:
            stroke({ xf.map(c), xf.map(c) }, false, style, ctx);
            break;
        case 2:
            stroke({ xf.map(c - QPointF(h, 0)), xf.map(c + QPointF(h, 0)) }, false, style, ctx);
            stroke({ xf.map(c - QPointF(0, h)), xf.map(c + QPointF(0, h)) }, false, style, ctx);
            break;
        case 3:
            stroke({ xf.map(c - QPointF(h, h)), xf.map(c + QPointF(h, h)) }, false, style, ctx);
            stroke({ xf.map(c - QPointF(h, -h)), xf.map(c + QPointF(h, -h)) }, false, style, ctx);
            break;
        case 4:
            stroke({ xf.map(c), xf.map(c + QPointF(0, h)) }, false, style, ctx);
            break;
        default:
            break;
        }
        if (mode & 32) {
            Points points;
            appendArc(points, c, h, h, 0, 0, 2 * std::numbers::pi,
                std::max(8, arcSegments(2 * std::numbers::pi, h * ctx.scale)));
            points.pop_back();
            for (QPointF &q : points)
                q = xf.map(q);
            stroke(points, true, style, ctx);
        }
        if (mode & 64) {
            stroke({ xf.map(c + QPointF(-h, -h)), xf.map(c + QPointF(h, -h)),
                       xf.map(c + QPointF(h, h)), xf.map(c + QPointF(-h, h)) },
                true, style, ctx);
        }
    }

    void FrontEnd::drawPolyline(
        const Entity &e, const Polyline &p, const Context &ctx, const Style &style)
    {
        const auto &v = p.vertices;
        if (v.empty())
            return;
        if (p.kind == Polyline::Kind::Mesh || p.kind == Polyline::Kind::PolyfaceMesh) {
            const auto edge = [&](const Vec3 &a, const Vec3 &b) {
                stroke({ ctx.xf.map(a.xy()), ctx.xf.map(b.xy()) }, false, style, ctx);
            };
            if (p.kind == Polyline::Kind::Mesh) {
                const int m = p.meshM, n = p.meshN;
                if (m <= 0 || n <= 0 || qint64(m) * n > qint64(v.size()))
                    return void(bad = true);
                for (int i = 0; i < m; ++i) {
                    for (int j = 0; j < n; ++j) {
                        const Vec3 &here = v[size_t(i) * n + j].point;
                        if (j + 1 < n || p.meshClosedN)
                            edge(here, v[size_t(i) * n + (j + 1) % n].point);
                        if (i + 1 < m || p.meshClosedM)
                            edge(here, v[size_t((i + 1) % m) * n + j].point);
                    }
                }
                return;
            }
            for (const auto &face : p.faces) {
                int corners = 0;
                while (corners < 4 && face[corners] != 0)
                    ++corners;
                for (int i = 0; i < corners; ++i) {
                    const int a = face[i], b = face[(i + 1) % corners];
                    const size_t ia = size_t(std::abs(a)) - 1, ib = size_t(std::abs(b)) - 1;
                    if (a < 0 || ia >= v.size() || ib >= v.size())
                        continue;
                    edge(v[ia].point, v[ib].point);
                }
            }
            return;
        }
        const bool flat = p.kind == Polyline::Kind::Flat;
        const QTransform xf = flat ? ocsTransform(e.common.extrusion) * ctx.xf : ctx.xf;
        Points local;
        local.reserve(v.size() * 2);
        local.push_back(v[0].point.xy());
        const size_t segments = v.size() - (p.closed ? 0 : 1);
        std::vector<size_t> segmentStart;
        segmentStart.reserve(segments + 1);
        for (size_t i = 0; i < segments; ++i) {
            segmentStart.push_back(local.size() - 1);
            const QPointF to = v[(i + 1) % v.size()].point.xy();
            appendBulge(local, v[i].point.xy(), to, flat ? v[i].bulge : 0, ctx.scale);
        }
        segmentStart.push_back(local.size() - 1);
        if (p.closed && local.size() > 1)
            local.pop_back();
        const auto widthAt = [&](size_t i, bool end) {
            const double w = end ? v[i].endWidth : v[i].startWidth;
            return w > 0 ? w : p.constantWidth;
        };
        bool constant = flat && segments > 0;
        bool wide = false;
        for (size_t i = 0; flat && i < segments; ++i) {
            const double a = widthAt(i, false), b = widthAt(i, true);
            constant = constant && a == b && a == widthAt(0, false);
            wide = wide || a > 0 || b > 0;
        }
        Points paper(local.size());
        for (size_t i = 0; i < local.size(); ++i)
            paper[i] = xf.map(local[i]);
        if (!wide) {
            stroke(paper, p.closed, style, ctx);
            return;
        }
        if (constant) {
            Style widened = style;
            widened.width = widthAt(0, false) * ctx.scale;
            stroke(paper, p.closed, widened, ctx);
            return;
        }
        // Tapered segments are filled outlines, as CAD programs draw them.
        stroke(paper, p.closed, style, ctx);
        for (size_t i = 0; i < segments; ++i) {
            const double w0 = widthAt(i, false), w1 = widthAt(i, true);
            if (w0 <= 0 && w1 <= 0)
                continue;
            const size_t first = segmentStart[i], last = segmentStart[i + 1];
            const size_t n = last - first;
            if (n == 0)
                continue;
            Points left, right;
            for (size_t k = 0; k <= n; ++k) {
                const QPointF q = local[(first + k) % local.size()];
                const QPointF a = local[(first + (k ? k - 1 : 0)) % local.size()];
                const QPointF b = local[(first + (k < n ? k + 1 : n)) % local.size()];
                QPointF d = b - a;
                const double l = length(d);
                if (l == 0)
                    continue;
                d /= l;
                const double half = (w0 + (w1 - w0) * k / n) / 2;
                left.push_back(xf.map(q + QPointF(-d.y(), d.x()) * half));
                right.push_back(xf.map(q - QPointF(-d.y(), d.x()) * half));
            }
            left.insert(left.end(), right.rbegin(), right.rend());
            if (left.size() >= 3)
                fill({ std::move(left) }, style.colour, ctx);
        }
    }

    void FrontEnd::drawText(const Entity &, const Text &t, const EntityCommon &common,
        const Context &ctx, const QString &layer)
    {
        QString text = resolveSpecialCodes(t.text);
        if (text.trimmed().isEmpty())
            return;
        const Style style = styleOf(common, ctx, layer);
        const auto styleIt = drawing.styles.constFind(t.style.toUpper());
        const TextStyle *ts = styleIt == drawing.styles.cend() ? nullptr : &*styleIt;
        // The entity's own height is drawn; a style's fixed height only seeds the texts written
        // with it.
        double height = t.height;
        const double widthFactor = t.widthFactor > 0 ? t.widthFactor : 1;
        const QString font = ts ? (ts->family.isEmpty() ? ts->font : ts->family) : QString();
        double angle = t.rotation * degrees;
        const int h = std::clamp(t.horizontal, 0, 5), v = std::clamp(t.vertical, 0, 3);
        const bool aligned = h == 0 && v == 0;
        QPointF base = (aligned || !t.hasAlignPoint ? t.insert : t.alignPoint).xy();
        double fitWidth = 0;
        TextRun::Anchor anchor = TextRun::Anchor::Left;
        if ((h == 3 || h == 5) && t.hasAlignPoint) {
            // Aligned and fitted texts run from the insertion point to the alignment point.
            const QPointF d = t.alignPoint.xy() - t.insert.xy();
            fitWidth = length(d);
            if (fitWidth > 0) {
                angle = std::atan2(d.y(), d.x());
                if (h == 3)
                    height = fitWidth / estimatedWidth(text, 1, widthFactor, fontMetrics(font));
            }
            base = t.insert.xy();
        } else if (h == 1 || h == 4) {
            anchor = TextRun::Anchor::Centre;
        } else if (h == 2) {
            anchor = TextRun::Anchor::Right;
        }
        // The baseline relative to the vertical alignment: bottom is the descenders' line.
        const double shift = h == 4 ? -height / 2
            : v == 1                ? height / 3
            : v == 2                ? -height / 2
            : v == 3                ? -height
                                    : 0;
        base += QPointF(-std::sin(angle), std::cos(angle)) * shift;
        const QTransform xf = ocsTransform(common.extrusion) * ctx.xf;
        TextRun r = run(xf, base, angle, height, widthFactor, std::move(text));
        r.anchor = anchor;
        r.oblique = t.oblique;
        r.mirrorX = t.generation & 2;
        r.mirrorY = bool(t.generation & 4) != r.mirrorY;
        r.font = font;
        r.colour = style.colour;
        if (fitWidth > 0) {
            const QPointF a = xf.map(t.insert.xy()), b = xf.map(t.alignPoint.xy());
            r.fitWidth = length(b - a);
        }
        addRun(std::move(r), ctx);
    }

    void FrontEnd::drawMText(
        const Entity &e, const MText &t, const Context &ctx, const QString &layer)
    {
        const Style style = styleOf(e.common, ctx, layer);
        const auto styleIt = drawing.styles.constFind(t.style.toUpper());
        const TextStyle *ts = styleIt == drawing.styles.cend() ? nullptr : &*styleIt;
        const QString font = ts ? (ts->family.isEmpty() ? ts->font : ts->family) : QString();
        const double height = t.height > 0 ? t.height : 2.5;
        const double angle = t.hasDirection && (t.direction.x != 0 || t.direction.y != 0)
            ? std::atan2(t.direction.y, t.direction.x)
            : t.rotation * degrees;
        const double c = std::cos(angle), s = std::sin(angle);
        for (MTextPiece &piece : layoutMText(t, height, font)) {
            const QPointF local = piece.position;
            const QPointF base = t.insert.xy()
                + QPointF(local.x() * c - local.y() * s, local.x() * s + local.y() * c);
            TextRun r
                = run(ctx.xf, base, angle, piece.height, piece.widthFactor, std::move(piece.text));
            r.anchor = piece.anchor;
            r.oblique = piece.oblique;
            r.font = piece.font.isEmpty() ? font : piece.font;
            if (piece.trueColour >= 0) {
                r.colour = paperColour(QRgb(piece.trueColour));
            } else if (piece.colour >= 0) {
                EntityCommon common = e.common;
                common.colour = piece.colour;
                common.trueColour = -1;
                r.colour = styleOf(common, ctx, layer).colour;
            } else {
                r.colour = style.colour;
            }
            addRun(std::move(r), ctx);
        }
    }

    void FrontEnd::drawInsert(
        const Entity &e, const Insert &insert, const Context &ctx, const QString &layer)
    {
        if (!finite3(insert.insert) || !finite3(insert.scale) || !std::isfinite(insert.rotation)
            || !std::isfinite(insert.columnSpacing) || !std::isfinite(insert.rowSpacing))
            return void(bad = true);
        if (insert.scale.x == 0 || insert.scale.y == 0)
            return skip(e.type + QLatin1String(" (scale 0)"));
        const int columns = std::max(1, insert.columns), rows = std::max(1, insert.rows);
        if (qint64(columns) * rows > maxArrayCopies)
            return skip(e.type + QLatin1String(" (array too large)"));
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                QTransform local;
                local.translate(insert.insert.x, insert.insert.y);
                local.rotate(insert.rotation);
                local.translate(column * insert.columnSpacing, row * insert.rowSpacing);
                local.scale(insert.scale.x, insert.scale.y);
                if (!drawBlock(e, insert.block, local, ctx, layer))
                    return;
            }
        }
        // Attributes stand in the insert's own space (WCS of its level).
        for (size_t i = 0; i < insert.attributes.size(); ++i) {
            const Text &attribute = insert.attributes[i];
            if (attribute.attributeInvisible)
                continue;
            const EntityCommon common
                = i < insert.attributeCommons.size() ? insert.attributeCommons[i] : e.common;
            if (common.invisible)
                continue;
            // An attribute on layer 0 is on its insert's layer, as the insert's own entities
            // are: a block on a layer that is off shows none of them.
            const QString &attributeLayer
                = common.layer == QLatin1String("0") ? layer : common.layer;
            if (hidden(attributeLayer, ctx, false))
                continue;
            drawText(e, attribute, common, ctx, attributeLayer);
        }
    }

    // Draws a block with local (insert and rotation and scale) before the level's transform;
    // false when it cannot be drawn at all (counted).
    bool FrontEnd::drawBlock(const Entity &e, const QString &name, const QTransform &local,
        const Context &ctx, const QString &layer)
    {
        const Block *block = drawing.block(name);
        if (!block) {
            skip(e.type + QLatin1String(" (missing block)"));
            return false;
        }
        if (std::find(blockStack.begin(), blockStack.end(), block) != blockStack.end()) {
            skip(e.type + QLatin1String(" (recursive)"));
            return false;
        }
        if (ctx.depth >= maxInsertDepth) {
            skip(e.type + QLatin1String(" (nested too deep)"));
            return false;
        }
        Context inner = ctx;
        inner.xf = QTransform::fromTranslate(-block->basePoint.x, -block->basePoint.y) * local
            * ocsTransform(e.common.extrusion) * ctx.xf;
        inner.scale = transformScale(inner.xf);
        inner.linetypeUnit
            = ctx.scale > 0 ? ctx.linetypeUnit * inner.scale / ctx.scale : inner.scale;
        inner.insertLayer = &layer;
        const Style style = styleOf(e.common, ctx, layer);
        inner.byBlockColour = style.colour;
        inner.byBlockWeight = style.width;
        inner.byBlockLinetype = linetypeNameOf(e.common, ctx, layer);
        inner.depth = ctx.depth + 1;
        inner.topLevel = false;
        blockStack.push_back(block);
        const bool outerBad = bad;
        for (const Entity &child : block->entities)
            drawEntity(child, inner);
        bad = outerBad;
        blockStack.pop_back();
        return true;
    }

    // What a dimension without its block or a multileader is made of draws as a block's
    // entities would, by block from the entity and on its layer where they are on layer 0.
    void FrontEnd::drawMade(
        const Entity &e, const std::vector<Entity> &made, const Context &ctx, const QString &layer)
    {
        if (ctx.depth >= maxInsertDepth)
            return skip(e.type + QLatin1String(" (nested too deep)"));
        // Their points are in WCS, as the entity's own are.
        Context inner = ctx;
        inner.insertLayer = &layer;
        const Style style = styleOf(e.common, ctx, layer);
        inner.byBlockColour = style.colour;
        inner.byBlockWeight = style.width;
        inner.byBlockLinetype = linetypeNameOf(e.common, ctx, layer);
        inner.depth = ctx.depth + 1;
        inner.topLevel = false;
        const bool outerBad = bad;
        for (const Entity &child : made)
            drawEntity(child, inner);
        bad = outerBad;
    }

    std::vector<Points> FrontEnd::hatchRings(const Hatch &h, double paperScale) const
    {
        std::vector<Points> rings;
        for (const HatchPath &path : h.paths) {
            Points ring;
            if (path.isPolyline) {
                const auto &v = path.vertices;
                if (v.empty())
                    continue;
                ring.push_back(v[0].point.xy());
                for (size_t i = 0; i + 1 < v.size() + (path.closed ? 1 : 0); ++i)
                    appendBulge(ring, v[i].point.xy(), v[(i + 1) % v.size()].point.xy(), v[i].bulge,
                        paperScale);
            } else {
                for (const HatchEdge &edge : path.edges) {
                    switch (edge.kind) {
                    case HatchEdge::Kind::Line:
                        ring.push_back(edge.start);
                        ring.push_back(edge.end);
                        break;
                    case HatchEdge::Kind::Arc:
                    case HatchEdge::Kind::Ellipse: {
                        const bool isArc = edge.kind == HatchEdge::Kind::Arc;
                        const double rx = isArc ? edge.radius : length(edge.end);
                        const double ry = isArc ? rx : rx * edge.radius;
                        const double rotation = isArc ? 0 : std::atan2(edge.end.y(), edge.end.x());
                        double sweep = std::fmod(edge.endAngle - edge.startAngle, 360.0);
                        if (sweep <= 0)
                            sweep += 360;
                        // Clockwise edges are stored with their angles mirrored.
                        const double start
                            = (edge.counterClockwise ? 1 : -1) * edge.startAngle * degrees;
                        sweep *= degrees * (edge.counterClockwise ? 1 : -1);
                        const int n = arcSegments(sweep, rx * paperScale);
                        if (n > 0)
                            appendArc(ring, edge.centre, rx, ry, rotation, start, sweep, n);
                        break;
                    }
                    case HatchEdge::Kind::Spline: {
                        const Points points = splinePoints(edge.spline, paperScale);
                        ring.insert(ring.end(), points.begin(), points.end());
                        break;
                    }
                    }
                }
            }
            if (ring.size() >= 3)
                rings.push_back(std::move(ring));
        }
        return rings;
    }

    void FrontEnd::drawHatch(
        const Entity &e, const Hatch &h, const Context &ctx, const Style &style)
    {
        const QTransform xf = ocsTransform(e.common.extrusion, h.elevation) * ctx.xf;
        std::vector<Points> rings = hatchRings(h, ctx.scale);
        if (rings.empty())
            return;
        const auto toPaper = [&](std::vector<Points> local) {
            for (Points &ring : local) {
                for (QPointF &p : ring)
                    p = xf.map(p);
            }
            return local;
        };
        if (h.solid || h.patternLines.empty()) {
            fill(toPaper(std::move(rings)), style.colour, ctx);
            return;
        }
        double x0 = rings[0][0].x(), x1 = x0, y0 = rings[0][0].y(), y1 = y0;
        for (const Points &ring : rings) {
            for (QPointF p : ring) {
                x0 = std::min(x0, p.x()), x1 = std::max(x1, p.x());
                y0 = std::min(y0, p.y()), y1 = std::max(y1, p.y());
            }
        }
        const QPointF corners[4] = { { x0, y0 }, { x1, y0 }, { x1, y1 }, { x0, y1 } };
        // The lines inside add up to the area over their spacing, however long and thin the
        // boundary is; the rings' areas added are at least the hatched area.
        double area = 0;
        for (const Points &ring : rings) {
            double twice = 0;
            for (size_t i = 0; i < ring.size(); ++i) {
                const QPointF a = ring[i], b = ring[(i + 1) % ring.size()];
                twice += a.x() * b.y() - b.x() * a.y();
            }
            area += std::abs(twice) / 2;
        }
        // Count first: a pattern too fine for its area would draw forever.
        struct Family {
            QPointF d, n;
            double spacing, first, last, patternLength;
        };
        std::vector<Family> families;
        double estimate = 0;
        for (const HatchPatternLine &line : h.patternLines) {
            const QPointF d(std::cos(line.angle * degrees), std::sin(line.angle * degrees));
            const QPointF n(-d.y(), d.x());
            const double spacing = QPointF::dotProduct(line.offset, n);
            if (!std::isfinite(spacing) || std::abs(spacing) < 1e-12 || !finite(line.base)) {
                estimate = HUGE_VAL;
                break;
            }
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            for (QPointF c : corners) {
                const double proj = QPointF::dotProduct(c - line.base, n) / spacing;
                lo = std::min(lo, proj), hi = std::max(hi, proj);
            }
            double patternLength = 0;
            for (double dash : line.dashes)
                patternLength += std::abs(dash);
            const double lines = std::floor(hi) - std::ceil(lo) + 1;
            const double inside = area / std::abs(spacing);
            estimate += lines * (line.dashes.size() + 1)
                + (patternLength > 0 ? inside / patternLength * line.dashes.size() : 0);
            families.push_back({ d, n, spacing, std::ceil(lo), std::floor(hi), patternLength });
        }
        if (families.size() < h.patternLines.size()) {
            for (const Points &ring : toPaper(rings))
                stroke(ring, true, style, ctx);
            skip(QStringLiteral("HATCH (pattern unusable)"));
            return;
        }
        if (!(estimate <= maxHatchSegments)) {
            // Lines that many are a tone on paper: the share of it their ink covers.
            double blank = 1;
            const double pen = style.width > 0 ? style.width : defaultLineweight;
            for (size_t f = 0; f < families.size(); ++f) {
                const std::vector<double> &dashes = h.patternLines[f].dashes;
                const double patternLength = families[f].patternLength;
                double ink = patternLength > 0 ? 0 : 1;
                for (double dash : dashes)
                    ink += dash > 0 ? dash / patternLength
                        : dash == 0 ? pen / ctx.scale / patternLength
                                    : 0;
                const double across = pen / (std::abs(families[f].spacing) * ctx.scale);
                blank *= 1 - std::clamp(std::min(ink, 1.0) * across, 0.0, 1.0);
            }
            const auto tone
                = [blank](int c) { return int(std::lround(255 - (255 - c) * (1 - blank))); };
            fill(toPaper(std::move(rings)),
                qRgb(tone(qRed(style.colour)), tone(qGreen(style.colour)),
                    tone(qBlue(style.colour))),
                ctx);
            skip(QStringLiteral("HATCH (pattern too dense, drawn as its tone)"));
            return;
        }
        Style solid = style;
        solid.linetype = nullptr;
        std::vector<double> ts;
        for (size_t f = 0; f < families.size(); ++f) {
            const Family &family = families[f];
            const HatchPatternLine &line = h.patternLines[f];
            for (double k = family.first; k <= family.last; ++k) {
                const QPointF origin = line.base + line.offset * k;
                ts.clear();
                crossings(rings, origin, family.d, ts);
                std::sort(ts.begin(), ts.end());
                for (size_t i = 0; i + 1 < ts.size(); i += 2) {
                    const double a = ts[i], b = ts[i + 1];
                    if (family.patternLength <= 0) {
                        stroke({ xf.map(origin + family.d * a), xf.map(origin + family.d * b) },
                            false, solid, ctx);
                        continue;
                    }
                    // Dashes repeat from the line's origin.
                    double t = std::floor(a / family.patternLength) * family.patternLength;
                    for (size_t j = 0; t < b; j = (j + 1) % line.dashes.size()) {
                        const double dash = line.dashes[j];
                        const double end = t + std::abs(dash);
                        if (dash >= 0 && end >= a) {
                            const double s = std::max(t, a), e2 = std::min(end, b);
                            stroke(
                                { xf.map(origin + family.d * s), xf.map(origin + family.d * e2) },
                                false, solid, ctx);
                        }
                        t = end;
                    }
                }
            }
        }
    }

    void FrontEnd::drawImage(const Image &image, const Context &ctx, const Style &style)
    {
        const QPointF o = image.insert.xy(), u = image.u.xy(), v = image.v.xy();
        const double w = image.widthPixels, h = image.heightPixels;
        if (!finite(o) || !finite(u) || !finite(v) || !std::isfinite(w) || !std::isfinite(h))
            return void(bad = true);
        Points frame { o, o + u * w, o + u * w + v * h, o + v * h };
        Points clip;
        if (image.clipped && image.clipBoundary.size() >= 2) {
            // The boundary counts pixels from the top-left corner, pixel centres on whole numbers.
            Points b = image.clipBoundary;
            if (b.size() == 2)
                b = { b[0], QPointF(b[1].x(), b[0].y()), b[1], QPointF(b[0].x(), b[1].y()) };
            const QPointF corner = o + u * 0.5 - v * 0.5;
            for (QPointF p : b)
                clip.push_back(corner + u * p.x() + v * (h - p.y()));
            frame = clip;
        }
        for (QPointF &p : frame)
            p = ctx.xf.map(p);
        if (image.wipeout) {
            fill({ std::move(frame) }, 0xffffffff, ctx);
            return;
        }
        stroke(frame, true, style, ctx);
        const QString written = drawing.imageFiles.value(image.imageDef);
        if (written.isEmpty() || boundsOnly)
            return;
        QString file;
        QString native = written;
        native.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QFileInfo given(native);
        const QDir dir(folder);
        if (given.isAbsolute() && given.isFile())
            file = given.absoluteFilePath();
        else if (!given.isAbsolute() && QFileInfo(dir.filePath(native)).isFile())
            file = QFileInfo(dir.filePath(native)).absoluteFilePath();
        else if (QFileInfo(dir.filePath(given.fileName())).isFile())
            file = QFileInfo(dir.filePath(given.fileName())).absoluteFilePath();
        if (file.isEmpty() || w < 1 || h < 1 || w > 1e6 || h > 1e6)
            return;
        PictureImage picture;
        picture.file = QDir::toNativeSeparators(file);
        picture.origin = ctx.xf.map(o);
        picture.u = ctx.xf.map(o + u) - picture.origin;
        picture.v = ctx.xf.map(o + v) - picture.origin;
        picture.pixels = QSize(int(w), int(h));
        if (!clip.empty())
            picture.clip = frame;
        else if (ctx.clip)
            picture.clip = ctx.clip->outline();
        if (finite(picture.origin) && finite(picture.u) && finite(picture.v))
            this->picture.items.push_back(std::move(picture));
    }

    void FrontEnd::drawInfinite(const InfiniteLine &line, const Context &ctx, const Style &style)
    {
        if (boundsOnly)
            return;
        const QPointF p = ctx.xf.map(line.start.xy());
        const QPointF d = ctx.xf.map(line.start.xy() + line.direction.xy()) - p;
        const double l = length(d);
        if (!finite(p) || !std::isfinite(l))
            return void(bad = true);
        if (l == 0)
            return;
        // Far enough to cross the whole visible area from anywhere in it.
        const QRectF &area = ctx.visible;
        const double reach = length(area.center() - p) + area.width() + area.height() + 1;
        const QPointF far = d / l * reach;
        const ClipRegion visible(area);
        visible.clipLine({ line.ray ? p : p - far, p + far }, false,
            [&](Points &&piece) { stroke(piece, false, style, ctx); });
    }

    Points FrontEnd::outlineOf(const Entity &e, double paperScale) const
    {
        Points points;
        const QTransform ocs = ocsTransform(e.common.extrusion);
        if (const auto *p = std::get_if<Polyline>(&e.shape)) {
            if (p->vertices.empty())
                return points;
            points.push_back(p->vertices[0].point.xy());
            for (size_t i = 0; i < p->vertices.size(); ++i)
                appendBulge(points, p->vertices[i].point.xy(),
                    p->vertices[(i + 1) % p->vertices.size()].point.xy(), p->vertices[i].bulge,
                    paperScale);
            points.pop_back();
        } else if (const auto *c = std::get_if<Circle>(&e.shape)) {
            appendArc(points, c->centre.xy(), c->radius, c->radius, 0, 0, 2 * std::numbers::pi,
                std::max(8, arcSegments(2 * std::numbers::pi, c->radius * paperScale)));
            points.pop_back();
        } else if (const auto *el = std::get_if<Ellipse>(&e.shape)) {
            const double rx = length(el->majorAxis.xy());
            appendArc(points, el->centre.xy(), rx, rx * el->ratio,
                std::atan2(el->majorAxis.y, el->majorAxis.x), 0, 2 * std::numbers::pi,
                std::max(8, arcSegments(2 * std::numbers::pi, rx * paperScale)));
            points.pop_back();
            return points;
        } else if (const auto *s = std::get_if<Spline>(&e.shape)) {
            return splinePoints(*s, paperScale);
        }
        for (QPointF &p : points)
            p = ocs.map(p);
        return points;
    }

    void FrontEnd::drawViewports(const std::vector<Entity> &entities, const Context &ctx)
    {
        const Entity *own = layoutViewport(entities);
        for (const Entity &e : entities) {
            if (const auto *vp = std::get_if<Viewport>(&e.shape)) {
                if (&e == own)
                    continue;
                // A viewport's layer that is off or not plotted hides its frame, which is never
                // plotted here, not what it shows; a frozen one hides both.
                if (!e.common.invisible && !hidden(e.common.layer, ctx, true))
                    drawViewport(*vp, ctx);
                continue;
            }
            drawEntity(e, ctx);
        }
    }

    void FrontEnd::drawViewport(const Viewport &vp, const Context &ctx)
    {
        // Only R12 says "off" by the status alone: later files keep the viewports of layouts that
        // were not current with status 0 and mark those really off in their flags.
        const bool r12 = drawing.version.compare(QLatin1String("AC1009")) <= 0;
        if ((vp.flags & 0x20000) || (r12 && vp.status <= 0))
            return;
        if (!isPlanView(vp.viewDirection))
            return skip(QStringLiteral("VIEWPORT (3D view)"));
        const double s = vp.height / vp.viewHeight;
        if (!std::isfinite(s) || !(s > 0) || !finite3(vp.centre) || !finite(vp.viewCentre)
            || !std::isfinite(vp.width) || !std::isfinite(vp.twist))
            return skip(QStringLiteral("VIEWPORT"));
        Points outline;
        if (vp.clipBoundary) {
            if (const Entity *boundary = drawing.entityByHandle(vp.clipBoundary))
                outline = outlineOf(*boundary, ctx.scale);
        }
        if (outline.size() < 3) {
            const QPointF c = vp.centre.xy(), half(vp.width / 2, vp.height / 2);
            outline = { c - half, c + QPointF(half.x(), -half.y()), c + half,
                c + QPointF(-half.x(), half.y()) };
        }
        for (QPointF &p : outline)
            p = ctx.xf.map(p);
        if (!finite(outline))
            return skip(QStringLiteral("VIEWPORT"));
        ClipRegion clip(outline);
        const QRectF box = clip.bounds();
        // Rectangles (all of them unless a clip outline is given) clip the fast way.
        if (!vp.clipBoundary && ctx.xf.isRotating() == false)
            clip = ClipRegion(box);
        QSet<QString> frozen = ctx.frozen ? *ctx.frozen : QSet<QString>();
        for (quint64 handle : vp.frozenLayers) {
            const QString name = drawing.layerNamesByHandle.value(handle);
            if (!name.isEmpty())
                frozen.insert(name.toUpper());
        }
        Context inner = ctx;
        // The view centre is in the view's own coordinates: relative to the target, turned by
        // the twist.
        const QPointF target = finite3(vp.viewTarget) ? vp.viewTarget.xy() : QPointF();
        inner.xf = QTransform::fromTranslate(-target.x(), -target.y())
            * QTransform().rotate(vp.twist)
            * QTransform::fromTranslate(-vp.viewCentre.x(), -vp.viewCentre.y())
            * QTransform::fromScale(s, s) * QTransform::fromTranslate(vp.centre.x, vp.centre.y)
            * ctx.xf;
        inner.scale = transformScale(inner.xf);
        inner.linetypeUnit = drawing.paperLinetypeScaling ? ctx.linetypeUnit : inner.scale;
        inner.clip = &clip;
        inner.frozen = &frozen;
        inner.visible = box;
        drawEntities(drawing.modelSpace, inner);
    }

    void FrontEnd::finish()
    {
        for (auto it = skipped.cbegin(); it != skipped.cend(); ++it)
            picture.skipped.append({ it.key(), it.value() });
    }

} // namespace

Picture drawSheet(const Drawing &drawing, const SheetInfo &sheet, const QString &drawingFolder)
{
    Picture picture;
    picture.paper = sheet.paper;
    FrontEnd frontEnd(drawing, picture, drawingFolder);
    Context ctx;
    ctx.xf = sheet.toPaper;
    ctx.scale = transformScale(sheet.toPaper);
    ctx.linetypeUnit = ctx.scale;
    ctx.visible = QRectF(QPointF(0, 0), sheet.paper);
    if (sheet.layout) {
        // A viewport shows model space only, so no layout can show itself.
        frontEnd.drawViewports(drawing.entitiesOf(*sheet.layout), ctx);
    } else {
        frontEnd.drawEntities(drawing.modelSpace, ctx);
    }
    frontEnd.finish();
    return picture;
}

namespace {

    // The text's box, as far as it reaches from its anchor along its baseline. A stroke font's
    // box ends with its last glyph's ink, not with the room the glyph keeps after it, as the
    // CAD program bounds the text.
    template <typename Add> void addText(const TextRun &t, const Add &add)
    {
        const FontMetrics metrics = fontMetrics(t.font);
        const double w = t.fitWidth > 0 ? t.fitWidth
                                        : estimatedWidth(t.text, t.height, t.widthFactor, metrics);
        const double from = t.anchor == TextRun::Anchor::Left ? 0
            : t.anchor == TextRun::Anchor::Centre             ? -w / 2
                                                              : -w;
        double to = from + w;
        if (t.fitWidth <= 0 && !t.text.isEmpty() && isStrokeFont(t.font)) {
            const QChar last = t.text.back();
            const double cell
                = estimatedWidth(QStringView(&last, 1), t.height, t.widthFactor, metrics);
            to += strokeInk(last, metrics).second * t.height * t.widthFactor - cell;
        }
        const double a = t.rotation * degrees;
        const QPointF along(std::cos(a), std::sin(a)), up(-along.y(), along.x());
        for (const QPointF corner :
            { along * from, along * to, along * from + up * t.height, along * to + up * t.height })
            add(t.position + corner);
    }

    QRectF boundsOf(const Picture &picture)
    {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
        const auto add = [&](QPointF p) {
            x0 = std::min(x0, p.x()), y0 = std::min(y0, p.y());
            x1 = std::max(x1, p.x()), y1 = std::max(y1, p.y());
        };
        for (const PictureItem &item : picture.items) {
            if (const auto *s = std::get_if<Stroke>(&item))
                std::for_each(s->points.begin(), s->points.end(), add);
            else if (const auto *f = std::get_if<Fill>(&item))
                for (const Points &ring : f->rings)
                    std::for_each(ring.begin(), ring.end(), add);
            else if (const auto *t = std::get_if<TextRun>(&item))
                addText(*t, add);
        }
        if (x0 > x1)
            return {};
        return QRectF(QPointF(x0, y0), QPointF(x1, y1));
    }

} // namespace

const Entity *layoutViewport(const std::vector<Entity> &entities)
{
    const Entity *first = nullptr;
    for (const Entity &e : entities) {
        const auto *vp = std::get_if<Viewport>(&e.shape);
        if (!vp)
            continue;
        if (vp->id == 1)
            return &e;
        if (!first)
            first = &e;
    }
    // Layouts that were not current keep every viewport with id 0; the layout's own comes first.
    return first && std::get<Viewport>(first->shape).id == 0 ? first : nullptr;
}

QRectF modelSpaceBounds(const Drawing &drawing)
{
    Picture picture;
    FrontEnd frontEnd(drawing, picture, QString());
    frontEnd.boundsOnly = true;
    Context ctx;
    frontEnd.drawEntities(drawing.modelSpace, ctx);
    return boundsOf(picture);
}

QRectF paperSpaceBounds(const Drawing &drawing, const Layout &layout)
{
    Picture picture;
    FrontEnd frontEnd(drawing, picture, QString());
    frontEnd.boundsOnly = true;
    Context ctx;
    const std::vector<Entity> &entities = drawing.entitiesOf(layout);
    frontEnd.drawEntities(entities, ctx);
    // A viewport reaches as far as its frame, whatever it shows.
    const Entity *own = layoutViewport(entities);
    for (const Entity &e : entities) {
        const auto *vp = std::get_if<Viewport>(&e.shape);
        if (!vp || &e == own || !finite3(vp->centre) || !std::isfinite(vp->width)
            || !std::isfinite(vp->height))
            continue;
        const QPointF c = vp->centre.xy(), half(vp->width / 2, vp->height / 2);
        picture.items.push_back(Stroke { { c - half, c + half }, false, 0, 0 });
    }
    return boundsOf(picture);
}

} // namespace dxf
