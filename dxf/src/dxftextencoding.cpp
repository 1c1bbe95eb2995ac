#include "dxf/dxftextencoding.h"

namespace dxf {

namespace {

    bool startsCode(const QString &text, qsizetype backslash)
    {
        if (backslash + 2 >= text.size() || text.at(backslash + 2) != QLatin1Char('+'))
            return false;
        const QChar letter = text.at(backslash + 1).toUpper();
        return letter == QLatin1Char('U') || letter == QLatin1Char('M');
    }

    void appendUnicode(QByteArray &out, char16_t code)
    {
        static const char hex[] = "0123456789ABCDEF";
        out.append("\\U+");
        for (int shift = 12; shift >= 0; shift -= 4)
            out.append(hex[(code >> shift) & 0xF]);
    }

} // namespace

QByteArray encodeR12Text(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 16);
    const auto isPercent = [&text](qsizetype i) {
        return i >= 0 && i < text.size() && text.at(i) == QLatin1Char('%');
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // \U+ reaches only the first 65536 code points: the replacement character marks
            // what R12 cannot hold.
            appendUnicode(out, 0xFFFD);
            ++i;
        } else if (c < 0x20 || QChar::isSurrogate(c)) {
            continue;
        } else if (c == '^') {
            // A caret escapes a control character; "^ " is the caret itself.
            out.append("^ ");
        } else if (c == '\\' && startsCode(text, i)) {
            appendUnicode(out, c);
        } else if (c == '%' && (isPercent(i - 1) || isPercent(i + 1))) {
            // "%%" starts a special character or an underline; "%%%" is a percent sign.
            out.append("%%%");
        } else if (c < 0x7F) {
            out.append(char(c));
        } else {
            appendUnicode(out, c);
        }
    }
    return out;
}

} // namespace dxf
