#include "dxftextlayout.h"

#include <algorithm>
#include <cmath>

namespace dxf {

namespace {

    // Advances of DejaVu Sans for ' ' to '~', in font units; its capitals are 1493 units high.
    constexpr short advances[95] = { 651, 821, 942, 1716, 1303, 1946, 1597, 563, 799, 799, 1024,
        1716, 651, 739, 651, 690, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,
        690, 1716, 1716, 1716, 1087, 2048, 1401, 1405, 1430, 1577, 1294, 1178, 1589, 1540, 604, 604,
        1343, 1141, 1767, 1532, 1612, 1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251,
        1403, 799, 690, 799, 1716, 1024, 1024, 1255, 1300, 1126, 1300, 1260, 721, 1300, 1298, 569,
        569, 1186, 569, 1995, 1298, 1253, 1300, 1300, 842, 1067, 803, 1298, 1212, 1675, 1212, 1212,
        1075, 1303, 690, 1303, 1716 };
    constexpr double capUnits = 1493;
    // Advances of Liberation Sans, which has Arial's, for ' ' to '~'; capitals 1409 units high.
    constexpr short arialAdvances[95] = { 569, 569, 727, 1139, 1139, 1821, 1366, 391, 682, 682, 797,
        1196, 569, 682, 569, 569, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 569,
        569, 1196, 1196, 1196, 1139, 2079, 1366, 1366, 1479, 1479, 1366, 1251, 1593, 1479, 569,
        1024, 1366, 1139, 1706, 1479, 1593, 1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366,
        1366, 1251, 569, 569, 569, 961, 1139, 682, 1139, 1139, 1024, 1139, 1139, 569, 1139, 1139,
        455, 455, 1024, 455, 1706, 1139, 1139, 1139, 1139, 682, 1024, 569, 1139, 1024, 1479, 1024,
        1024, 1024, 684, 532, 684, 1196 };
    constexpr double arialCapUnits = 1409;
    // Advances of the Hershey simplex Roman (Debian's hershey-fonts-data, rowmans) for ' ' to '~';
    // capitals 21 units high.
    constexpr unsigned char simplexAdvances[95] = { 16, 10, 16, 21, 20, 24, 26, 10, 14, 14, 16, 26,
        10, 26, 10, 22, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 10, 10, 24, 26, 24, 18, 27, 18, 21,
        21, 21, 19, 18, 21, 22, 8, 16, 21, 17, 24, 22, 22, 21, 22, 21, 20, 16, 22, 18, 24, 20, 18,
        20, 14, 14, 14, 16, 16, 10, 19, 19, 18, 19, 18, 12, 19, 19, 8, 10, 17, 8, 30, 19, 19, 19,
        19, 13, 17, 12, 19, 16, 22, 17, 16, 17, 14, 8, 14, 24 };
    constexpr double simplexCapUnits = 21;
    // Where the ink of those glyphs lies in their advance: first and last stroke.
    constexpr unsigned char simplexInk[95][2] = { { 0, 0 }, { 4, 6 }, { 4, 12 }, { 3, 18 },
        { 3, 17 }, { 3, 21 }, { 3, 23 }, { 4, 6 }, { 4, 11 }, { 3, 10 }, { 3, 13 }, { 4, 22 },
        { 4, 6 }, { 4, 22 }, { 4, 6 }, { 2, 20 }, { 3, 17 }, { 6, 11 }, { 3, 17 }, { 3, 17 },
        { 3, 18 }, { 3, 17 }, { 4, 17 }, { 3, 17 }, { 3, 17 }, { 3, 16 }, { 4, 6 }, { 4, 6 },
        { 4, 20 }, { 4, 22 }, { 4, 20 }, { 3, 15 }, { 3, 24 }, { 1, 17 }, { 4, 18 }, { 3, 18 },
        { 4, 18 }, { 4, 17 }, { 4, 17 }, { 3, 18 }, { 4, 18 }, { 4, 4 }, { 2, 12 }, { 4, 18 },
        { 4, 16 }, { 4, 20 }, { 4, 18 }, { 3, 19 }, { 4, 18 }, { 3, 19 }, { 4, 18 }, { 3, 17 },
        { 1, 15 }, { 4, 18 }, { 1, 17 }, { 2, 22 }, { 3, 17 }, { 1, 17 }, { 3, 17 }, { 4, 11 },
        { 0, 14 }, { 3, 10 }, { 3, 13 }, { 0, 16 }, { 4, 6 }, { 3, 15 }, { 4, 16 }, { 3, 15 },
        { 3, 15 }, { 3, 15 }, { 2, 10 }, { 3, 15 }, { 4, 15 }, { 3, 5 }, { 1, 7 }, { 4, 15 },
        { 4, 4 }, { 4, 26 }, { 4, 15 }, { 3, 16 }, { 4, 16 }, { 3, 15 }, { 4, 12 }, { 3, 14 },
        { 2, 10 }, { 4, 15 }, { 2, 14 }, { 3, 19 }, { 3, 14 }, { 1, 14 }, { 3, 14 }, { 4, 9 },
        { 4, 4 }, { 5, 10 }, { 3, 21 } };

    // Stroke fonts a style may name without their .shx.
    const QStringList strokeFonts
        = { QStringLiteral("txt"), QStringLiteral("monotxt"), QStringLiteral("simplex"),
              QStringLiteral("complex"), QStringLiteral("italic"), QStringLiteral("romans"),
              QStringLiteral("romand"), QStringLiteral("romanc"), QStringLiteral("romant"),
              QStringLiteral("italicc"), QStringLiteral("italict"), QStringLiteral("scripts"),
              QStringLiteral("scriptc"), QStringLiteral("greeks"), QStringLiteral("greekc"),
              QStringLiteral("gothice"), QStringLiteral("gothicg"), QStringLiteral("gothici"),
              QStringLiteral("isocp"), QStringLiteral("isoct"), QStringLiteral("isocp2"),
              QStringLiteral("isoct2"), QStringLiteral("isocp3"), QStringLiteral("isoct3") };

    // The file name without folders and suffix, in lower case.
    QString baseName(const QString &font)
    {
        QString name = font.trimmed().toLower();
        name = name.mid(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
        const qsizetype dot = name.lastIndexOf(u'.');
        return dot > 0 ? name.left(dot) : name;
    }

    // MTEXT's line pitch for a spacing factor of 1, in text heights.
    constexpr double linePitch = 5.0 / 3.0;

    struct Format {
        double height = 0;
        double widthFactor = 1;
        double oblique = 0;
        QString font;
        int colour = -1;
        std::int32_t trueColour = -1;
    };

    struct Word {
        QString text;
        int format = 0;
        bool space = false;
        bool lineBreak = false;
        double width = 0;
    };

    // The value of a code up to its ';' (or the end).
    QString codeValue(const QString &s, int &i)
    {
        const int end = s.indexOf(QLatin1Char(';'), i);
        const int stop = end < 0 ? int(s.size()) : end;
        QString value = s.mid(i, stop - i);
        i = end < 0 ? int(s.size()) : end + 1;
        return value;
    }

    double relativeValue(QString value, double current)
    {
        const bool relative = value.endsWith(QLatin1Char('x'), Qt::CaseInsensitive);
        if (relative)
            value.chop(1);
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0)
            return current;
        return relative ? current * v : v;
    }

} // namespace

bool isStrokeFont(const QString &font)
{
    const QString name = font.trimmed().toLower();
    return name.isEmpty() || name.endsWith(QLatin1String(".shx"))
        || (strokeFonts.contains(baseName(name)) && !name.contains(u'.'));
}

FontMetrics fontMetrics(const QString &font)
{
    const QString base = baseName(font);
    if (isStrokeFont(font))
        return base.isEmpty() || base == u"txt" || base == u"monotxt" ? FontMetrics::Txt
                                                                      : FontMetrics::Simplex;
    if (base == u"arial" || base == u"liberation sans" || base == u"liberationsans-regular"
        || base == u"helvetica")
        return FontMetrics::Arial;
    return FontMetrics::Sans;
}

std::pair<double, double> strokeInk(QChar c, FontMetrics metrics)
{
    const char16_t u = c.unicode();
    const double cell = estimatedWidth(QStringView(&c, 1), 1, 1, metrics);
    if (u >= 0x2e80)
        return { 0, cell };
    // txt draws its glyphs in the first two thirds of the cell.
    if (metrics != FontMetrics::Simplex)
        return { 0, cell * 2 / 3 };
    if (u >= 32 && u < 127)
        return { simplexInk[u - 32][0] / simplexCapUnits, simplexInk[u - 32][1] / simplexCapUnits };
    return { 3 / simplexCapUnits, cell - 3 / simplexCapUnits };
}

double estimatedWidth(QStringView text, double capHeight, double widthFactor, FontMetrics metrics)
{
    double heights = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool ascii = u >= 32 && u < 127;
        // CJK and other full-width glyphs are square in the stroke fonts' big fonts and an em
        // wide in TrueType faces.
        const bool wide = u >= 0x2e80;
        switch (metrics) {
        case FontMetrics::Txt:
            // An "I" is narrower, and an "i", an "l" and a full stop narrower still, as the CAD
            // program's own plots of txt texts show.
            heights += u == 'I' ? 2.0 / 3 : u == 'l' ? 0.5 : u == 'i' || u == '.' ? 1.0 / 3 : 1;
            break;
        case FontMetrics::Simplex:
            heights += wide ? 1 : (ascii ? simplexAdvances[u - 32] : 20) / simplexCapUnits;
            break;
        case FontMetrics::Arial:
            heights += (ascii ? arialAdvances[u - 32] : wide ? 2048 : 1200) / arialCapUnits;
            break;
        case FontMetrics::Sans:
            heights += (ascii ? advances[u - 32] : wide ? 2048 : 1300) / capUnits;
            break;
        }
    }
    return heights * capHeight * widthFactor;
}

QString resolveSpecialCodes(const QString &text)
{
    if (!text.contains(QLatin1String("%%")))
        return text;
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 2 < text.size() && text[i + 1] == QLatin1Char('%')) {
            const QChar code = text[i + 2].toLower();
            const char16_t replacement = code == QLatin1Char('c') ? u'\u2300'
                : code == QLatin1Char('d')                        ? u'\u00b0'
                : code == QLatin1Char('p')                        ? u'\u00b1'
                : code == QLatin1Char('%')                        ? u'%'
                                                                  : 0;
            if (replacement) {
                out += QChar(replacement);
                i += 2;
                continue;
            }
            if (code == QLatin1Char('u') || code == QLatin1Char('o') || code == QLatin1Char('k')) {
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<MTextPiece> layoutMText(const MText &mtext, double height, const QString &font)
{
    std::vector<Format> formats(1);
    formats[0].height = height;
    std::vector<int> stack;
    int current = 0;
    std::vector<Word> words;
    const auto addText = [&](QChar c) {
        const bool space = c == QLatin1Char(' ');
        if (words.empty() || words.back().lineBreak || words.back().format != current
            || words.back().space != space)
            words.push_back({ {}, current, space, false, 0 });
        words.back().text += c;
    };
    const auto change = [&](auto apply) {
        Format f = formats[current];
        apply(f);
        formats.push_back(f);
        current = int(formats.size()) - 1;
    };
    const QString s = resolveSpecialCodes(mtext.text);
    for (int i = 0; i < s.size();) {
        const QChar c = s[i++];
        if (c == QLatin1Char('{')) {
            stack.push_back(current);
            continue;
        }
        if (c == QLatin1Char('}')) {
            if (!stack.empty()) {
                current = stack.back();
                stack.pop_back();
            }
            continue;
        }
        if (c == QLatin1Char('\n')) {
            words.push_back({ {}, current, false, true, 0 });
            continue;
        }
        if (c != QLatin1Char('\\') || i >= s.size()) {
            addText(c);
            continue;
        }
        const QChar code = s[i++];
        switch (code.unicode()) {
        case 'P':
        case 'X':
        case 'N':
            words.push_back({ {}, current, false, true, 0 });
            break;
        case '~':
            addText(QChar(0xa0));
            break;
        case '\\':
        case '{':
        case '}':
            addText(code);
            break;
        case 'H':
            change([v = codeValue(s, i)](Format &f) { f.height = relativeValue(v, f.height); });
            break;
        case 'W':
            change([v = codeValue(s, i)](
                       Format &f) { f.widthFactor = relativeValue(v, f.widthFactor); });
            break;
        case 'Q':
            change([v = codeValue(s, i)](Format &f) {
                const double a = v.toDouble();
                f.oblique = std::isfinite(a) ? a : 0;
            });
            break;
        case 'C':
            change([v = codeValue(s, i)](Format &f) {
                f.colour = std::clamp(v.toInt(), 0, 256);
                f.trueColour = -1;
            });
            break;
        case 'c':
            change([v = codeValue(s, i)](Format &f) {
                // Written as BGR.
                const std::uint32_t bgr = v.toUInt() & 0xffffff;
                f.trueColour
                    = std::int32_t(((bgr & 0xff) << 16) | (bgr & 0xff00) | ((bgr >> 16) & 0xff));
            });
            break;
        case 'f':
        case 'F':
            change(
                // "Arial|b0|i0|..." for a TrueType face; "simplex.shx,gbcbig.shx" for a stroke
                // font and its big font, whose glyphs the CJK fonts stand in for.
                [v = codeValue(s, i)](Format &f) {
                    f.font = v.section(QLatin1Char('|'), 0, 0).section(QLatin1Char(','), 0, 0);
                });
            break;
        case 'S': {
            const QString value = codeValue(s, i);
            QString stacked = value;
            for (QChar &ch : stacked) {
                if (ch == QLatin1Char('^') || ch == QLatin1Char('#'))
                    ch = QLatin1Char('/');
            }
            for (QChar ch : stacked)
                addText(ch);
            break;
        }
        case 'T':
        case 'A':
        case 'p':
            codeValue(s, i);
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k':
            break;
        default:
            addText(code);
        }
    }

    // Lines: paragraphs, wrapped at the reference width between words.
    std::vector<std::vector<Word>> lines(1);
    double lineWidth = 0;
    for (Word &w : words) {
        if (w.lineBreak) {
            lines.emplace_back();
            lineWidth = 0;
            continue;
        }
        const Format &f = formats[w.format];
        w.width = estimatedWidth(
            w.text, f.height, f.widthFactor, fontMetrics(f.font.isEmpty() ? font : f.font));
        if (mtext.referenceWidth > 0 && !w.space && !lines.back().empty()
            && lineWidth + w.width > mtext.referenceWidth) {
            while (!lines.back().empty() && lines.back().back().space)
                lines.back().pop_back();
            lines.emplace_back();
            lineWidth = 0;
        }
        if (w.space && lines.back().empty() && mtext.referenceWidth > 0 && lineWidth == 0
            && lines.size() > 1)
            continue;
        lines.back().push_back(w);
        lineWidth += w.width;
    }

    const double factor = std::isfinite(mtext.lineSpacingFactor) && mtext.lineSpacingFactor > 0
        ? std::clamp(mtext.lineSpacingFactor, 0.25, 4.0)
        : 1.0;
    std::vector<double> capHeights;
    for (const auto &line : lines) {
        double h = 0;
        for (const Word &w : line)
            h = std::max(h, formats[w.format].height);
        capHeights.push_back(h > 0 ? h : height);
    }
    double blockHeight = capHeights.front();
    for (size_t i = 1; i < lines.size(); ++i)
        blockHeight += capHeights[i] * linePitch * factor;
    const int attachment = std::clamp(mtext.attachment, 1, 9);
    const int row = (attachment - 1) / 3, column = (attachment - 1) % 3;
    double baseline = -capHeights.front();
    if (row == 1)
        baseline += blockHeight / 2;
    else if (row == 2)
        baseline += blockHeight;

    std::vector<MTextPiece> pieces;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            baseline -= capHeights[i] * linePitch * factor;
        auto &line = lines[i];
        while (!line.empty() && line.back().space)
            line.pop_back();
        // Words of one format in a row make one run.
        std::vector<Word> runs;
        for (const Word &w : line) {
            if (!runs.empty() && runs.back().format == w.format) {
                runs.back().text += w.text;
                runs.back().width += w.width;
            } else {
                runs.push_back(w);
            }
        }
        double width = 0;
        for (const Word &w : runs)
            width += w.width;
        double x = column == 0 ? 0 : column == 1 ? -width / 2 : -width;
        for (const Word &w : runs) {
            const Format &f = formats[w.format];
            MTextPiece piece;
            piece.text = w.text;
            piece.position = QPointF(x, baseline);
            if (runs.size() == 1 && column) {
                piece.anchor = column == 1 ? TextRun::Anchor::Centre : TextRun::Anchor::Right;
                piece.position.setX(0);
            }
            piece.height = f.height;
            piece.widthFactor = f.widthFactor;
            piece.oblique = f.oblique;
            piece.font = f.font;
            piece.colour = f.colour;
            piece.trueColour = f.trueColour;
            pieces.push_back(std::move(piece));
            x += w.width;
        }
    }
    return pieces;
}

} // namespace dxf
