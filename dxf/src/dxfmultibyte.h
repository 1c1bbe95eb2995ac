#pragma once

#include <QByteArrayView>
#include <QString>

namespace dxf {

// The double-byte code pages (932, 936, 949, 950): Qt's codecs where Qt has them (with ICU),
// else the system's own tables (Windows), else none.
bool canDecodeMultiByte(int page);
// The bytes decoded in that code page; a sequence the page does not hold becomes a replacement
// character and sets *ok to false.
QString decodeMultiByte(int page, QByteArrayView bytes, bool *ok = nullptr);

} // namespace dxf
