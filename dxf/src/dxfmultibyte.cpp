#include "dxfmultibyte.h"

#include "dxfcodepages.h"

#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace dxf {

bool canDecodeMultiByte(int page)
{
    const char *codec = multiByteCodec(page);
    if (!codec)
        return false;
    if (QStringDecoder(codec).isValid())
        return true;
#ifdef Q_OS_WIN
    return IsValidCodePage(UINT(page));
#else
    return false;
#endif
}

QString decodeMultiByte(int page, QByteArrayView bytes, bool *ok)
{
    if (ok)
        *ok = true;
    const char *codec = multiByteCodec(page);
    QStringDecoder decoder(codec ? codec : "");
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (ok && decoder.hasError())
            *ok = false;
        return text;
    }
#ifdef Q_OS_WIN
    // Qt without ICU has no double-byte codecs; Windows' own tables are the same pages.
    if (codec && !bytes.isEmpty() && bytes.size() < INT_MAX) {
        const auto convert = [&](DWORD flags, wchar_t *out, int size) {
            return MultiByteToWideChar(
                UINT(page), flags, bytes.data(), int(bytes.size()), out, size);
        };
        DWORD flags = MB_ERR_INVALID_CHARS;
        int size = convert(flags, nullptr, 0);
        if (size <= 0) {
            flags = 0;
            size = convert(flags, nullptr, 0);
            if (ok)
                *ok = false;
        }
        if (size > 0) {
            QString text(size, Qt::Uninitialized);
            convert(flags, reinterpret_cast<wchar_t *>(text.data()), size);
            return text;
        }
    }
#endif
    if (ok)
        *ok = false;
    return QString::fromLatin1(bytes);
}

} // namespace dxf
