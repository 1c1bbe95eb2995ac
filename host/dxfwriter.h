#pragma once

#include "sheetlayout.h"

#include <QByteArray>
#include <QIODevice>

// A sheet as a DXF R12 ASCII drawing in sheet millimetres: the border on layer BORDER, the title
// block on TITLE, the views' model geometry on GEOMETRY, view names and notes on TEXT.
class DxfWriter {
public:
    // False when the device took less than all of it.
    static bool write(const SheetLayout &layout, QIODevice &device);

    // A line of text as DXF R12 readers take it: ASCII only, anything else as \U+XXXX, and the
    // characters readers would take for codes (^, %%, \U+) written so they read back as
    // themselves.
    static QByteArray encodeText(const QString &text);
};
