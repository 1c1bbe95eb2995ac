#include "sheetlayout.h"

#include <QHash>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double borderInset = 10;
constexpr double titleBlockWidth = 180;
constexpr double rowHeight = 10;
constexpr double descriptionRowHeight = 14;
constexpr double labelHeight = 2;
constexpr double valueHeight = 3.5;
constexpr double descriptionHeight = 5;
constexpr double cellPadding = 1.5;
constexpr double viewNameHeight = 3.5;
constexpr double viewNameGap = 4;
constexpr double noteHeight = 3.5;
constexpr double linePitch = 1.6;
// Readers of exported drawings limit a text entity to a few hundred characters; longer lines are
// wrapped (notes) or cut with an ellipsis (single-line fields).
constexpr int maxLineLength = 250;
constexpr int minWrapLength = 20;
// Average advance of a character per unit of capital height, a little wide for the usual fonts.
constexpr double charWidthFactor = 0.85;

QString capped(const QString &line)
{
    if (line.size() <= maxLineLength)
        return line;
    qsizetype cut = maxLineLength - 3;
    if (line.at(cut - 1).isHighSurrogate())
        --cut;
    return line.left(cut) + QStringLiteral("...");
}

bool isLineBreak(char32_t c)
{
    return c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x85 || c == 0x2028
        || c == 0x2029;
}

bool isFinitePoint(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The points that bound an arc: its ends and the axis crossings it sweeps over.
QList<QPointF> arcExtremes(const ArcShape &arc)
{
    double start = std::fmod(arc.startAngle, 360.0);
    if (start < 0)
        start += 360;
    double sweep = std::fmod(arc.endAngle - arc.startAngle, 360.0);
    if (sweep <= 0)
        sweep += 360;
    const auto pointAt = [&arc](double degrees) {
        const double radians = qDegreesToRadians(degrees);
        return arc.centre + QPointF(std::cos(radians), std::sin(radians)) * arc.radius;
    };
    QList<QPointF> points { pointAt(start), pointAt(start + sweep) };
    for (double axis = std::ceil(start / 90) * 90; axis < start + sweep; axis += 90)
        points.append(pointAt(axis));
    return points;
}

QString cleanValue(const QString &text)
{
    return capped(SheetLayout::cleanLine(text));
}

struct TitleCell {
    QString label;
    QString value;
    double width;
};

class TitleBlockBuilder {
public:
    TitleBlockBuilder(SheetLayout &layout, double width)
        : layout(layout)
        , left(layout.border.right() - width)
        , right(layout.border.right())
        , top(layout.border.y())
    {
    }

    // Rows are added from the bottom up.
    void addRow(const QList<TitleCell> &cells, double height, double textHeight)
    {
        const double bottom = top;
        top += height;
        if (bottom > layout.border.y())
            layout.titleLines.append(QLineF(left, bottom, right, bottom));
        double x = left;
        for (const TitleCell &cell : cells) {
            if (x > left)
                layout.titleLines.append(QLineF(x, bottom, x, top));
            const double textWidth = cell.width - 2 * cellPadding;
            layout.titleTexts.append(
                { cell.label, QPointF(x + cellPadding, top - cellPadding - labelHeight),
                    labelHeight, SheetText::Align::Left, textWidth });
            if (!cell.value.isEmpty()) {
                layout.titleTexts.append({ cell.value,
                    QPointF(x + cellPadding,
                        bottom + (height - cellPadding - labelHeight - textHeight) / 2),
                    textHeight, SheetText::Align::Left, textWidth });
            }
            x += cell.width;
        }
    }

    void close()
    {
        layout.titleLines.append(QLineF(left, top, right, top));
        layout.titleLines.append(QLineF(left, layout.border.y(), left, top));
    }

private:
    SheetLayout &layout;
    double left;
    double right;
    double top;
};

void addTitleBlock(SheetLayout &layout, const ExportRequest &request, const SheetData &sheet)
{
    // A property that is missing or holds nothing printable is left out.
    const PropertySet *general = request.drawing->propertySet(QString());
    const auto property = [general](const char *name) {
        const QString value
            = general ? cleanValue(general->value(QString::fromLatin1(name))) : QString();
        return value.trimmed().isEmpty() ? QString() : value;
    };
    const double width = std::min(titleBlockWidth, layout.border.width());
    TitleBlockBuilder block(layout, width);

    const QString revision = property("Revision");
    const QString scale
        = sheet.views.isEmpty() ? QString() : SheetLayout::scaleText(sheet.views.first().scale);
    QList<TitleCell> bottomRow;
    if (revision.isEmpty()) {
        bottomRow = { { QStringLiteral("SHEET"), cleanValue(sheet.name), width * 0.6 },
            { QStringLiteral("SCALE"), scale, width * 0.4 } };
    } else {
        bottomRow = { { QStringLiteral("SHEET"), cleanValue(sheet.name), width * 0.5 },
            { QStringLiteral("SCALE"), scale, width * 0.28 },
            { QStringLiteral("REV"), revision, width * 0.22 } };
    }
    block.addRow(bottomRow, rowHeight, valueHeight);

    const QString partNo = property("PartNo");
    if (!partNo.isEmpty())
        block.addRow({ { QStringLiteral("PART NO"), partNo, width } }, rowHeight, valueHeight);
    block.addRow({ { QStringLiteral("DRAWING"), cleanValue(request.title), width } }, rowHeight,
        valueHeight);

    // A drawing describes itself by its Description, or by its Title when it has none.
    const QString description = property("Description");
    const QString title = property("Title");
    if (!description.isEmpty()) {
        block.addRow({ { QStringLiteral("DESCRIPTION"), description, width } },
            descriptionRowHeight, descriptionHeight);
    } else if (!title.isEmpty()) {
        block.addRow(
            { { QStringLiteral("TITLE"), title, width } }, descriptionRowHeight, descriptionHeight);
    }
    block.close();
}

void addViews(SheetLayout &layout, const ExportRequest &request, const SheetData &sheet)
{
    // Several views usually show the same model: its bounds are worked out once per sheet.
    QHash<const DocumentData *, std::optional<QRectF>> modelBounds;
    for (const ViewData &view : sheet.views) {
        PlacedView placed;
        placed.name = cleanValue(view.name);
        placed.centre = QPointF(view.x, view.y);
        placed.scale = view.scale;
        if (!isFinitePoint(placed.centre)) {
            // Nowhere to draw it, but the views keep the order of the sheet's views.
            layout.views.append(placed);
            continue;
        }

        const DocumentData *model = request.modelOf ? request.modelOf(view) : nullptr;
        if (model && std::isfinite(view.scale) && view.scale > 0) {
            auto known = modelBounds.constFind(model);
            if (known == modelBounds.cend())
                known = modelBounds.insert(model, SheetLayout::boundsOf(model->geometry));
            if (known->has_value()) {
                const QRectF &bounds = known->value();
                placed.modelCentre = bounds.center();
                const QRectF sheetBounds(
                    placed.toSheet(bounds.topLeft()), placed.toSheet(bounds.bottomRight()));
                if (isFinitePoint(sheetBounds.topLeft())
                    && isFinitePoint(sheetBounds.bottomRight())) {
                    placed.model = model;
                    placed.bounds = sheetBounds;
                }
            }
        }
        layout.views.append(placed);
        if (placed.name.isEmpty())
            continue;

        SheetText name { placed.name, {}, viewNameHeight, SheetText::Align::Centre,
            layout.border.width(), int(layout.views.size()) - 1 };
        if (placed.model) {
            name.position
                = QPointF(placed.centre.x(), placed.bounds.top() - viewNameGap - viewNameHeight);
        } else {
            name.position = QPointF(placed.centre.x(), placed.centre.y() - viewNameHeight / 2);
        }
        layout.texts.append(name);
    }
}

void addNotes(SheetLayout &layout, const SheetData &sheet)
{
    for (int index = 0; index < sheet.notes.size(); ++index) {
        const NoteData &note = sheet.notes.at(index);
        if (!std::isfinite(note.x) || !std::isfinite(note.y))
            continue;
        // Long lines wrap before the border, so a note stays on the paper across.
        const double room = layout.border.right() - note.x - cellPadding;
        const int maxChars = int(std::clamp(
            room / (charWidthFactor * noteHeight), double(minWrapLength), double(maxLineLength)));
        double y = note.y;
        for (const QString &line : SheetLayout::cleanLines(note.text)) {
            for (const QString &part : SheetLayout::wrap(line, maxChars)) {
                if (!part.isEmpty()) {
                    layout.texts.append({ part, QPointF(note.x, y), noteHeight,
                        SheetText::Align::Left, 0, -1, index });
                }
                y -= noteHeight * linePitch;
            }
        }
    }
}

} // namespace

SheetLayout SheetLayout::of(const ExportRequest &request, int sheetIndex)
{
    const SheetData &sheet = request.drawing->sheets.at(sheetIndex);
    SheetLayout layout;
    layout.paper = sheet.paper;
    // Small paper keeps at least half of each side inside the border.
    const double inset
        = std::min(borderInset, std::min(sheet.paper.width(), sheet.paper.height()) / 4);
    layout.border = QRectF(QPointF(inset, inset), sheet.paper - QSizeF(2 * inset, 2 * inset));
    addTitleBlock(layout, request, sheet);
    addViews(layout, request, sheet);
    addNotes(layout, sheet);
    return layout;
}

bool SheetLayout::isDrawable(const Shape &shape)
{
    if (const auto *polyline = std::get_if<PolylineShape>(&shape)) {
        return polyline->points.size() >= 2
            && std::all_of(polyline->points.cbegin(), polyline->points.cend(), isFinitePoint);
    }
    if (const auto *circle = std::get_if<CircleShape>(&shape))
        return isFinitePoint(circle->centre) && std::isfinite(circle->radius) && circle->radius > 0;
    if (const auto *line = std::get_if<LineShape>(&shape))
        return isFinitePoint(line->from) && isFinitePoint(line->to);
    const auto &arc = std::get<ArcShape>(shape);
    return isFinitePoint(arc.centre) && std::isfinite(arc.radius) && arc.radius > 0
        && std::isfinite(arc.startAngle) && std::isfinite(arc.endAngle);
}

std::optional<QRectF> SheetLayout::boundsOf(const QList<Shape> &geometry)
{
    bool any = false;
    double left = 0, right = 0, bottom = 0, top = 0;
    const auto add = [&](const QPointF &p) {
        if (!any) {
            left = right = p.x();
            bottom = top = p.y();
            any = true;
            return;
        }
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        bottom = std::min(bottom, p.y());
        top = std::max(top, p.y());
    };
    for (const Shape &shape : geometry) {
        if (!isDrawable(shape))
            continue;
        if (const auto *polyline = std::get_if<PolylineShape>(&shape)) {
            for (const QPointF &p : polyline->points)
                add(p);
        } else if (const auto *circle = std::get_if<CircleShape>(&shape)) {
            add(circle->centre - QPointF(circle->radius, circle->radius));
            add(circle->centre + QPointF(circle->radius, circle->radius));
        } else if (const auto *line = std::get_if<LineShape>(&shape)) {
            add(line->from);
            add(line->to);
        } else {
            for (const QPointF &p : arcExtremes(std::get<ArcShape>(shape)))
                add(p);
        }
    }
    if (!any)
        return std::nullopt;
    return QRectF(QPointF(left, bottom), QPointF(right, top));
}

QStringList SheetLayout::cleanLines(const QString &text)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            line.append(c);
            line.append(text.at(++i));
            continue;
        }
        const char32_t code = c.unicode();
        if (isLineBreak(code)) {
            if (code == '\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            lines.append(line);
            line.clear();
        } else if (code == '\t') {
            line.append(QLatin1Char(' '));
        } else if (c.isSurrogate() || c.category() == QChar::Other_Control
            || QChar::isNonCharacter(code)) {
            continue;
        } else {
            line.append(c);
        }
    }
    lines.append(line);
    return lines;
}

QString SheetLayout::cleanLine(const QString &text)
{
    return cleanLines(text).join(QLatin1Char(' '));
}

QStringList SheetLayout::wrap(const QString &line, int maxChars)
{
    maxChars = std::max(maxChars, 2);
    QStringList parts;
    QString rest = line;
    while (rest.size() > maxChars) {
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), maxChars);
        qsizetype next = cut + 1;
        if (cut <= 0) {
            cut = maxChars;
            if (rest.at(cut - 1).isHighSurrogate())
                --cut;
            next = cut;
        }
        parts.append(rest.left(cut));
        rest = rest.mid(next);
    }
    parts.append(rest);
    return parts;
}

QString SheetLayout::scaleText(double scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        return {};
    const auto number = [](double value) {
        if (value >= 1e6)
            return QString::number(value, 'g', 6);
        QString text = QString::number(value, 'f', 3);
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        return text;
    };
    if (scale >= 1)
        return number(scale) + QStringLiteral(":1");
    return QStringLiteral("1:") + number(1 / scale);
}

double SheetLayout::estimatedWidth(const QString &text, double height)
{
    return text.size() * charWidthFactor * height;
}

QRectF SheetLayout::textBox(const SheetText &text)
{
    double width = estimatedWidth(text.text, text.height);
    if (text.maxWidth > 0 && width > text.maxWidth)
        width = text.maxWidth;
    const double left = text.align == SheetText::Align::Centre ? text.position.x() - width / 2
                                                               : text.position.x();
    const QPointF start(left, text.position.y());
    return QRectF(start - QPointF(0, text.height * 0.3), start + QPointF(width, text.height));
}
