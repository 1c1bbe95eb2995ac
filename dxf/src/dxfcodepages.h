#pragma once

namespace dxf {

// Bytes 128..255 of the single-byte Windows code page (874, 1250..1258) as UTF-16 units, 0xFFFD
// where the page has no character; nullptr for any other page.
const char16_t *singleByteCodePage(int page);

} // namespace dxf
