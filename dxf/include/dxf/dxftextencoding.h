#pragma once

#include <QByteArray>
#include <QString>

namespace dxf {

// A line of text as DXF R12 readers take it: ASCII only, anything else as \U+XXXX, and the
// characters readers would take for codes (^, %%, \U+) written so they read back as themselves.
QByteArray encodeR12Text(const QString &text);

} // namespace dxf
