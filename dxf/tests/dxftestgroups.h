#pragma once

#include <QByteArray>

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

} // namespace dxf
