#pragma once

#include "dxf/dxfpicture.h"
#include "dxf/dxfsheets.h"

#include <QByteArray>
#include <vector>

namespace dxf {

// Inline drawings for the tests are written one group a line, "code value"; the file has them on
// two lines, so the group on line n of the literal starts on line 2n - 1 of the file.
inline QByteArray groups(const QByteArray &compact)
{
    QByteArray out;
    for (const QByteArray &line : compact.split('\n')) {
        const QByteArray trimmedLine = line.trimmed();
        if (trimmedLine.isEmpty())
            continue;
        const qsizetype space = trimmedLine.indexOf(' ');
        // A code alone is a group whose value is empty.
        out += (space < 0 ? trimmedLine : trimmedLine.left(space)) + "\r\n"
            + (space < 0 ? "" : trimmedLine.mid(space + 1)) + "\r\n";
    }
    return out;
}

// A sheet that draws drawing units as paper mm.
inline SheetInfo plainSheet()
{
    SheetInfo sheet;
    sheet.name = QStringLiteral("Model");
    sheet.paper = QSizeF(200, 100);
    return sheet;
}

// The picture's items of one kind, in drawing order.
template <typename T> std::vector<T> itemsOf(const Picture &picture)
{
    std::vector<T> result;
    for (const PictureItem &item : picture.items) {
        if (const auto *t = std::get_if<T>(&item))
            result.push_back(*t);
    }
    return result;
}

} // namespace dxf
