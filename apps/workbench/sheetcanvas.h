#pragma once

#include "workbench/sheetscene.h"
#include "workbench/sheetzoom.h"

#include <QList>
#include <QPoint>
#include <QWidget>
#include <memory>

class SheetPainter;

// Shows a scene with the painter the exports use: fitted to the widget until the user zooms with
// the wheel or drags the paper along. A click that does not drag asks for the item under the
// pointer to become the selection (nothing on empty paper); selected items are outlined.
class SheetCanvas : public QWidget {
    Q_OBJECT
public:
    explicit SheetCanvas(QWidget *parent = nullptr);
    ~SheetCanvas() override;

    // fit: show the whole paper again, as for a sheet the user has not looked at yet.
    void setScene(SheetScene scene, bool fit);
    void clearScene();
    const SheetScene &scene() const { return shown; }
    void setSelection(const QList<SelectionEntry> &entries);

    const SheetZoom &zoom() const { return view; }
    void zoomToFit();
    // Around the middle of the widget.
    void zoomBy(double factor);

signals:
    void selectionRequested(const QList<SelectionEntry> &entries);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool isSelected(const SelectionEntry &entry) const;
    void paintFrames(QPainter &painter) const;

    SheetScene shown;
    std::unique_ptr<SheetPainter> painter;
    QList<SelectionEntry> selection;
    SheetZoom view;
    bool fitting = true;
    // A press that has not yet moved far enough to drag the paper.
    bool pressed = false;
    bool dragging = false;
    QPoint pressPosition;
    QPointF pressOrigin;
};
