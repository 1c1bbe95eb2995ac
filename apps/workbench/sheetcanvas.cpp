#include "sheetcanvas.h"

#include "dxf/dxfpainter.h"
#include "sheetpainter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace {

// Window pixels of free room around a fitted sheet.
constexpr double fitMargin = 12;
// One step of the wheel.
constexpr double wheelFactor = 1.25;
// A click this close to an item, in window pixels, still reaches it.
constexpr double clickTolerance = 3;

} // namespace

SheetCanvas::SheetCanvas(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sheetCanvas"));
    setMinimumSize(160, 120);
    setAutoFillBackground(false);
}

SheetCanvas::~SheetCanvas() = default;

void SheetCanvas::setScene(SheetScene scene, bool fit)
{
    shown = std::move(scene);
    painter = std::make_unique<SheetPainter>(shown.layout);
    if (fit || fitting)
        zoomToFit();
    update();
}

void SheetCanvas::clearScene()
{
    shown = SheetScene();
    painter.reset();
    selection.clear();
    update();
}

void SheetCanvas::setSelection(const QList<SelectionEntry> &entries)
{
    selection = entries;
    update();
}

void SheetCanvas::zoomToFit()
{
    fitting = true;
    view = SheetZoom::fit(shown.layout.paper, size(), fitMargin);
    update();
}

void SheetCanvas::zoomBy(double factor)
{
    fitting = false;
    view = view.zoomedAt(factor, QRectF(rect()).center());
    update();
}

bool SheetCanvas::isSelected(const SelectionEntry &entry) const
{
    return std::any_of(selection.cbegin(), selection.cend(), [&](const SelectionEntry &s) {
        return s.kind == entry.kind && s.name == entry.name && s.noteIndex == entry.noteIndex;
    });
}

void SheetCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (!painter)
        return;
    p.save();
    p.translate(view.origin);
    if (shown.dxfPicture) {
        p.fillRect(QRectF(QPointF(0, 0), shown.layout.paper * view.dotsPerMm), Qt::white);
        dxf::paintPicture(*shown.dxfPicture, p, view.dotsPerMm);
    } else {
        painter->paint(p, view.dotsPerMm);
    }
    p.restore();
    paintFrames(p);
}

// View frames in light dashes, as on the screen of a CAD program; selected views and notes in
// the highlight colour.
void SheetCanvas::paintFrames(QPainter &p) const
{
    const double paperHeight = shown.layout.paper.height();
    const auto windowRect = [&](const QRectF &box) {
        return QRectF(view.toWindow(box.topLeft(), paperHeight),
            view.toWindow(box.bottomRight(), paperHeight))
            .normalized();
    };
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    const QPen framePen(QColor(160, 160, 160), 1, Qt::DashLine);
    const QPen selectedPen(palette().color(QPalette::Highlight), 2);
    for (const SheetScene::Item &item : shown.views) {
        p.setPen(isSelected(item.entry) ? selectedPen : framePen);
        p.drawRect(windowRect(item.box));
    }
    p.setPen(selectedPen);
    for (const SheetScene::Item &item : shown.notes) {
        if (isSelected(item.entry))
            p.drawRect(windowRect(item.box).adjusted(-2, -2, 2, 2));
    }
}

void SheetCanvas::resizeEvent(QResizeEvent *)
{
    if (fitting)
        zoomToFit();
}

void SheetCanvas::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || !painter)
        return;
    fitting = false;
    view = view.zoomedAt(std::pow(wheelFactor, steps), event->position());
    update();
}

void SheetCanvas::mousePressEvent(QMouseEvent *event)
{
    // The right button asks for the drawing's menu; it neither drags nor selects.
    if (event->button() == Qt::RightButton)
        return;
    pressed = true;
    dragging = false;
    pressPosition = event->position().toPoint();
    pressOrigin = view.origin;
}

void SheetCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!pressed || !painter)
        return;
    const QPoint moved = event->position().toPoint() - pressPosition;
    if (!dragging && moved.manhattanLength() < QApplication::startDragDistance())
        return;
    dragging = true;
    fitting = false;
    view.origin = pressOrigin + moved;
    update();
}

void SheetCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed && !dragging && event->button() == Qt::LeftButton;
    pressed = false;
    dragging = false;
    if (!click || !painter)
        return;
    const QPointF point = view.toSheet(event->position(), shown.layout.paper.height());
    const auto item = shown.itemAt(point, clickTolerance / view.dotsPerMm);
    emit selectionRequested(item ? QList<SelectionEntry> { *item } : QList<SelectionEntry>());
}
