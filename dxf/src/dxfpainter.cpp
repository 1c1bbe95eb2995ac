#include "dxf/dxfpainter.h"

#include "dxf/dxffonts.h"
#include "dxftextlayout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <optional>

namespace dxf {

namespace {

    // Texts are laid out at this pixel size and scaled, so they have the same proportions at every
    // resolution.
    constexpr int referencePixelSize = 100;
    // Larger pictures would take gigabytes to decode; a sheet is not worth that.
    constexpr qint64 maxPicturePixels = 100'000'000;
    // A batch of strokes is drawn before it grows past this, so its path stays small.
    constexpr qsizetype maxBatch = 4096;
    // Device pixels.
    constexpr double maxSquareCapWidth = 3;
    // How much wider a stand-in's glyph may be drawn to fill its stroke-font cell.
    constexpr double maxWidening = 1.25;
    // The stand-in's strokes are about this wide, in capital heights.
    constexpr double penShare = 0.1;

    // Where a character of a stroke font's run goes in its cell, at the reference size.
    struct GlyphCell {
        double advance = 0;
        bool ink = false;
        // The glyph's origin from the cell's left, and its scales.
        double offset = 0;
        double widthScale = 1;
        double heightScale = 1;
        // The stand-in's own glyph, drawn without shaping; empty where another face has it.
        QGlyphRun glyph;
    };

    struct TextFont {
        QFont font;
        double capHeight = 0;
        // Set for a face standing in for a stroke font, whose widths runs keep.
        std::optional<FontMetrics> strokeMetrics;
        QRawFont raw;
        // By character: a sheet's texts repeat few of them many times.
        QHash<char32_t, GlyphCell> cells;
    };

    class PictureCanvas {
    public:
        PictureCanvas(QPainter &painter, double dotsPerMm, double paperHeight)
            : painter(painter)
            , dotsPerMm(dotsPerMm)
            , paperHeight(paperHeight)
            , raster(painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster)
            , deviceScale(std::sqrt(std::abs(painter.deviceTransform().determinant())))
        {
        }

        QPointF map(const QPointF &p) const
        {
            return QPointF(p.x() * dotsPerMm, (paperHeight - p.y()) * dotsPerMm);
        }

        void draw(const PictureItem &item)
        {
            if (const auto *stroke = std::get_if<Stroke>(&item)) {
                addStroke(*stroke);
                return;
            }
            flushStrokes();
            if (const auto *fill = std::get_if<Fill>(&item))
                drawFill(*fill);
            else if (const auto *text = std::get_if<TextRun>(&item))
                drawText(*text);
            else
                drawImage(std::get<PictureImage>(item));
        }

        // Consecutive strokes of one pen are drawn in one call: pen changes and per-call overhead
        // dominate a sheet of many short lines.
        void flushStrokes()
        {
            if (lines.isEmpty() && paths.isEmpty())
                return;
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            if (!lines.isEmpty())
                painter.drawLines(lines);
            if (!paths.isEmpty())
                painter.drawPath(paths);
            lines.clear();
            paths.clear();
            batched = 0;
        }

    private:
        void addStroke(const Stroke &stroke)
        {
            if (stroke.points.size() < 2)
                return;
            // Thinner than a device pixel would vanish from images; zero is the device's hairline.
            const double width = stroke.width > 0 ? std::max(stroke.width * dotsPerMm, 1.0) : 0.0;
            if (batched > 0 && (pen.color().rgba() != stroke.colour || pen.widthF() != width))
                flushStrokes();
            // On images, a line a few pixels wide looks the same with square caps, which the
            // raster engine draws many times faster; overlapping segment ends only show through
            // translucent ink.
            const bool segments = raster && width * deviceScale <= maxSquareCapWidth
                && qAlpha(stroke.colour) == 255;
            if (batched == 0) {
                pen = QPen(QColor::fromRgba(stroke.colour), width, Qt::SolidLine,
                    segments ? Qt::SquareCap : Qt::RoundCap, Qt::RoundJoin);
                pen.setCosmetic(width == 0);
            }
            const std::vector<QPointF> &points = stroke.points;
            if (segments || (points.size() == 2 && !stroke.closed)) {
                for (std::size_t i = 1; i < points.size(); ++i)
                    lines.append(QLineF(map(points[i - 1]), map(points[i])));
                if (stroke.closed && points.size() > 2)
                    lines.append(QLineF(map(points.back()), map(points.front())));
            } else {
                paths.moveTo(map(points[0]));
                for (std::size_t i = 1; i < points.size(); ++i)
                    paths.lineTo(map(points[i]));
                if (stroke.closed)
                    paths.closeSubpath();
            }
            if (++batched >= maxBatch)
                flushStrokes();
        }

        void drawFill(const Fill &fill)
        {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const std::vector<QPointF> &ring : fill.rings) {
                QPolygonF polygon;
                polygon.reserve(qsizetype(ring.size()));
                for (const QPointF &p : ring)
                    polygon.append(map(p));
                path.addPolygon(polygon);
                path.closeSubpath();
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgba(fill.colour));
            painter.drawPath(path);
        }

        TextFont &textFont(const QString &name, bool cjk)
        {
            const QString key = cjk ? name + QLatin1String("\ncjk") : name;
            auto found = fonts.find(key);
            if (found != fonts.end())
                return *found;
            const FontChoice choice = chooseFont(name, QFontDatabase::families(), cjk);
            TextFont text;
            text.font.setFamilies(choice.families);
            if (choice.strokeStandIn)
                text.strokeMetrics = fontMetrics(name);
            text.font.setPixelSize(referencePixelSize);
            // Unhinted outlines keep text widths proportional between an image and a PDF.
            text.font.setHintingPreference(QFont::PreferNoHinting);
            if (text.strokeMetrics)
                text.raw = QRawFont::fromFont(text.font);
            text.capHeight = QFontMetricsF(text.font).capHeight();
            if (text.capHeight <= 0)
                text.capHeight = referencePixelSize * 0.7;
            return *fonts.insert(key, text);
        }

        void drawText(const TextRun &text)
        {
            if (text.text.isEmpty() || !(text.height > 0))
                return;
            const bool cjk = std::any_of(text.text.cbegin(), text.text.cend(),
                [](QChar c) { return c.unicode() >= 0x2e80 && !c.isSurrogate(); });
            TextFont &font = textFont(text.font, cjk);
            const QFontMetricsF metrics(font.font);
            // A stroke font's run is as long as the stroke font makes it, whatever the stand-in's
            // own advances, so that texts fill the boxes their drawing made for them and no more.
            const double advance = font.strokeMetrics
                ? estimatedWidth(text.text, font.capHeight, 1, *font.strokeMetrics)
                : metrics.horizontalAdvance(text.text);
            const double scale = text.height * dotsPerMm / font.capHeight;
            double xScale = scale * text.widthFactor;
            if (text.fitWidth > 0 && advance > 0)
                xScale = text.fitWidth * dotsPerMm / advance;
            double x = 0;
            if (text.anchor == TextRun::Anchor::Centre)
                x = -advance / 2;
            else if (text.anchor == TextRun::Anchor::Right)
                x = -advance;

            painter.save();
            painter.translate(map(text.position));
            // Counter-clockwise on paper is clockwise on the device, whose y points down.
            painter.rotate(-text.rotation);
            painter.scale(text.mirrorX ? -1 : 1, text.mirrorY ? -1 : 1);
            // Leaning right means moving right as the glyph goes up, which is -y on the device.
            painter.shear(-std::tan(qDegreesToRadians(text.oblique)), 0);
            painter.scale(xScale, scale);
            painter.setFont(font.font);
            painter.setPen(QColor::fromRgba(text.colour));
            if (font.strokeMetrics)
                drawInCells(text.text, x, font, metrics);
            else
                painter.drawText(QPointF(x, 0), text.text);
            painter.restore();
        }

        // Each character's ink where the stroke font has it in the character's cell, narrowed
        // where the stand-in's glyph is wider and a little widened where it is narrower:
        // stretching the whole run instead would widen narrow glyphs ("1", "I") to their cells.
        // Big-font (CJK) glyphs keep their proportions.
        static GlyphCell glyphCell(
            const QString &character, const TextFont &font, const QFontMetricsF &metrics)
        {
            GlyphCell cell;
            cell.advance = estimatedWidth(character, font.capHeight, 1, *font.strokeMetrics);
            const bool wide = character.at(0).unicode() >= 0x2e80;
            const auto [first, last] = strokeInk(character.at(0), *font.strokeMetrics);
            // The stroke font's ink runs from its first stroke's middle to its last's; the
            // stand-in's from edge to edge.
            const double start = (first - (wide ? 0 : penShare / 2)) * font.capHeight;
            const double room = (last - first + (wide ? 0 : penShare)) * font.capHeight;
            const QRectF ink = metrics.tightBoundingRect(character);
            if (!(ink.width() > 0))
                return cell;
            // A big-font glyph stands as high as the text; others take up to a quarter more
            // width where the stroke font's glyph is wider, so that words do not fall apart
            // into letters.
            const double fit
                = wide && ink.height() > 0 ? font.capHeight / ink.height() : maxWidening;
            cell.ink = true;
            cell.widthScale = std::min(fit, room / ink.width());
            cell.heightScale = wide ? cell.widthScale : 1;
            cell.offset
                = start + (room - ink.width() * cell.widthScale) / 2 - ink.left() * cell.widthScale;
            const char32_t code = character.toUcs4().value(0);
            if (font.raw.isValid() && font.raw.supportsCharacter(code)) {
                const QList<quint32> indexes = font.raw.glyphIndexesForString(character);
                if (indexes.size() == 1) {
                    cell.glyph.setRawFont(font.raw);
                    cell.glyph.setGlyphIndexes(indexes);
                    cell.glyph.setPositions({ QPointF() });
                }
            }
            return cell;
        }

        void drawInCells(
            const QString &text, double x, TextFont &font, const QFontMetricsF &metrics)
        {
            const QTransform run = painter.transform();
            for (qsizetype i = 0; i < text.size();) {
                const qsizetype length
                    = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
                const char32_t code = length == 2
                    ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                    : char32_t(text.at(i).unicode());
                auto found = font.cells.constFind(code);
                if (found == font.cells.constEnd())
                    found = font.cells.insert(code, glyphCell(text.mid(i, length), font, metrics));
                const GlyphCell &cell = *found;
                if (cell.ink) {
                    painter.setTransform(QTransform::fromTranslate(x + cell.offset, 0)
                                             .scale(cell.widthScale, cell.heightScale)
                        * run);
                    if (!cell.glyph.glyphIndexes().isEmpty())
                        painter.drawGlyphRun(QPointF(), cell.glyph);
                    else
                        painter.drawText(QPointF(), text.mid(i, length));
                }
                x += cell.advance;
                i += length;
            }
            painter.setTransform(run);
        }

        void drawImage(const PictureImage &picture)
        {
            QImageReader reader(picture.file);
            const QSize size = reader.size();
            if (!size.isValid() || qint64(size.width()) * size.height() > maxPicturePixels)
                return;
            const QImage image = reader.read();
            // The front end has drawn the frame; a picture that cannot be read leaves only that.
            if (image.isNull())
                return;
            const QSize pixels = picture.pixels.isEmpty() ? image.size() : picture.pixels;
            // Paper mm per pixel of the file, which may differ from the size the drawing records.
            const QPointF u = picture.u * (double(pixels.width()) / image.width());
            const QPointF v = picture.v * (double(pixels.height()) / image.height());
            const double d = dotsPerMm;
            const double h = image.height();
            // The file's rows run down from the top; the drawing counts them up from the bottom.
            const QTransform toDevice(d * u.x(), -d * u.y(), -d * v.x(), d * v.y(),
                d * (picture.origin.x() + h * v.x()),
                d * (paperHeight - picture.origin.y() - h * v.y()));

            painter.save();
            if (!picture.clip.empty()) {
                QPolygonF clip;
                for (const QPointF &p : picture.clip)
                    clip.append(map(p));
                QPainterPath path;
                path.addPolygon(clip);
                painter.setClipPath(path, Qt::IntersectClip);
            }
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setTransform(toDevice, true);
            painter.drawImage(QPointF(0, 0), image);
            painter.restore();
        }

        QPainter &painter;
        double dotsPerMm;
        double paperHeight;
        bool raster;
        double deviceScale;
        QHash<QString, TextFont> fonts;
        QPen pen;
        QList<QLineF> lines;
        QPainterPath paths;
        qsizetype batched = 0;
    };

} // namespace

void paintPicture(const Picture &picture, QPainter &painter, double dotsPerMm)
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    PictureCanvas canvas(painter, dotsPerMm, picture.paper.height());
    for (const PictureItem &item : picture.items)
        canvas.draw(item);
    canvas.flushStrokes();
    painter.restore();
}

} // namespace dxf
