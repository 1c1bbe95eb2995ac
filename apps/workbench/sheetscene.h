#pragma once

#include "documentdata.h"
#include "dxf/dxfpicture.h"
#include "sheetlayout.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <memory>
#include <optional>

class StandInDocument;

// What the workbench shows of a document, in sheet millimetres with the y axis up: the active
// sheet of a drawing as the exports draw it, or a part or assembly on paper of its own; and the
// places on it that a click selects.
struct SheetScene {
    struct Item {
        SelectionEntry entry;
        // y up: top() is the lower edge.
        QRectF box;
    };

    SheetLayout layout;
    // A frame around each view's geometry and name; a view without geometry keeps a frame
    // around its name. In the order of the sheet's views; views with neither have none.
    QList<Item> views;
    // Around all lines of a note, in the order of the sheet's notes.
    QList<Item> notes;
    // The models the layout draws, kept as long as the scene.
    QList<std::shared_ptr<const DocumentData>> models;
    // A sheet of a DXF drawing, drawn by the DXF front end; the layout then holds its paper only.
    std::shared_ptr<const dxf::Picture> dxfPicture;

    // Nothing to show without a document; a drawing without sheets shows nothing either.
    static SheetScene of(StandInDocument &document);
    // What a click at point selects: a note before a view, the smallest view of several; none
    // on empty paper. tolerance widens every box on each side.
    std::optional<SelectionEntry> itemAt(const QPointF &point, double tolerance) const;
};
