#pragma once

namespace dxf {

// Bytes 128..255 of the single-byte Windows code page (874, 1250..1258) as UTF-16 units, 0xFFFD
// where the page has no character; nullptr for any other page.
const char16_t *singleByteCodePage(int page);
// The codec of a double-byte code page (932, 936, 949, 950: by the digit of a \M+n escape and by
// $DWGCODEPAGE) for QStringDecoder; nullptr for any other page.
const char *multiByteCodec(int page);

} // namespace dxf
