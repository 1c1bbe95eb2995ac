#pragma once

#include "documentdata.h"
#include "sheetexport.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

// Everything a sheet shows, in sheet millimetres with the y axis up from the paper's bottom-left
// corner. The painter and the DXF writer both draw from it, so every output format shows the
// same border, title block, views and texts.

// One line of text: no control characters, no line breaks.
struct SheetText {
    enum class Align { Left, Centre };
    QString text;
    // The left end (Left) or the middle (Centre) of the baseline.
    QPointF position;
    // Height of the capital letters.
    double height = 3.5;
    Align align = Align::Left;
    // When the text would run wider, it is squeezed to this width; 0 for no limit.
    double maxWidth = 0;
    // The view whose name this is, or the note this line belongs to, by its index on the sheet;
    // -1 for neither. A click on the text finds its view or note through them.
    int view = -1;
    int note = -1;
};

struct PlacedView {
    QString name;
    // Null when the view shows its name only (unreadable model, no drawable geometry, no
    // usable scale).
    const DocumentData *model = nullptr;
    // The middle of the model's geometry lands on the view's centre.
    QPointF modelCentre;
    QPointF centre;
    double scale = 1;
    // Where the geometry lies on the sheet (y up: top() is the lower edge); empty without a
    // model.
    QRectF bounds;

    QPointF toSheet(const QPointF &modelPoint) const
    {
        return centre + (modelPoint - modelCentre) * scale;
    }
};

struct SheetLayout {
    QSizeF paper;
    // x(), y() are the lower-left corner.
    QRectF border;
    QList<QLineF> titleLines;
    QList<SheetText> titleTexts;
    // One for each view of the sheet, in the same order.
    QList<PlacedView> views;
    // View names, then the notes' lines.
    QList<SheetText> texts;

    // The sheet at sheetIndex of request.drawing, which must exist.
    static SheetLayout of(const ExportRequest &request, int sheetIndex);

    // Shapes with non-finite numbers, fewer than two points or no positive radius draw nothing.
    static bool isDrawable(const Shape &shape);
    // Bounds of the drawable shapes in model millimetres (y up: top() is the lower edge), none
    // when nothing is drawable.
    static std::optional<QRectF> boundsOf(const QList<Shape> &geometry);

    // A text with control characters removed (tab as a space), split at its line breaks.
    static QStringList cleanLines(const QString &text);
    // The same text as one line: line breaks become spaces.
    static QString cleanLine(const QString &text);
    // Breaks a line at spaces into lines of at most maxChars characters; a longer word is cut.
    static QStringList wrap(const QString &line, int maxChars);
    // "1:2", "1:1", "5:1"; empty for a scale that is not a positive number.
    static QString scaleText(double scale);

    // A conservative width of a line of text: readers draw it in fonts of their own.
    static double estimatedWidth(const QString &text, double height);
    // The room a text takes at its estimated width, from a little below its baseline to the top
    // of its capitals (y up: top() is the lower edge).
    static QRectF textBox(const SheetText &text);
};
