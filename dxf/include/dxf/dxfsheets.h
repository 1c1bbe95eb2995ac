#pragma once

#include "dxf/dxfdrawing.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QTransform>

namespace dxf {

// A sheet of a DXF drawing: a paper-space layout that holds anything, or model space when no
// layout does.
struct SheetInfo {
    QString name;
    // nullptr for the "Model" sheet.
    const Layout *layout = nullptr;
    // Width and height in mm as the sheet is seen (the layout's rotation applied).
    QSizeF paper;
    // Drawing units of the sheet's own space (paper space, or model space for "Model") to paper
    // mm, with y up from the paper's lower-left corner.
    QTransform toPaper;
};

// In tab order; never empty: "Model" alone when no layout holds anything.
QList<SheetInfo> sheetsOf(const Drawing &drawing);
// The index of the layout the file was saved on, else 0.
int currentSheetIndex(const Drawing &drawing, const QList<SheetInfo> &sheets);

} // namespace dxf
