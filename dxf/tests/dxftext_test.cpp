#include "dxf/dxffonts.h"
#include "dxf/dxffrontend.h"
#include "dxf/dxfpainter.h"
#include "dxf/dxfreader.h"
#include "dxftestgroups.h"

#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

QByteArray withCodePage(const char *version, const char *page, const QByteArray &entities)
{
    return groups("0 SECTION\n2 HEADER\n9 $ACADVER") + groups(QByteArray("1 ") + version)
        + groups("9 $DWGCODEPAGE") + groups(QByteArray("3 ") + page)
        + groups("0 ENDSEC\n0 SECTION\n2 ENTITIES") + entities + groups("0 ENDSEC\n0 EOF");
}

std::vector<TextRun> runsOf(const Drawing &drawing)
{
    std::vector<TextRun> runs;
    for (const PictureItem &item : drawSheet(drawing, plainSheet(), {}).items) {
        if (const auto *run = std::get_if<TextRun>(&item))
            runs.push_back(*run);
    }
    return runs;
}

// The run painted alone at 10 px per mm: the columns that have ink, first to last.
std::pair<int, int> inkColumns(const TextRun &run, int *inkPixels = nullptr)
{
    Picture picture;
    picture.paper = QSizeF(200, 40);
    picture.items.push_back(run);
    QImage image(2000, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        paintPicture(picture, painter, 10);
    }
    int first = image.width(), last = -1, count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(line[x]) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
                ++count;
            }
        }
    }
    if (inkPixels)
        *inkPixels = count;
    return { first, last };
}

TextRun runAt(const QString &text, const QString &font)
{
    TextRun run;
    run.text = text;
    run.position = QPointF(10, 20);
    run.height = 10;
    run.font = font;
    return run;
}

bool installed(const char *family)
{
    return QFontDatabase::families().contains(QLatin1String(family));
}

} // namespace

TEST(DxfText, TextsAttributesAndMTextKeepTheirOwnHeightUnderAFixedHeightStyle)
{
    const Drawing drawing = readDrawing(groups(R"(
        0 SECTION
        2 TABLES
        0 TABLE
        2 STYLE
        0 STYLE
        2 Fixed
        40 1.0
        3 romans.shx
        0 ENDTAB
        0 ENDSEC
        0 SECTION
        2 BLOCKS
        0 BLOCK
        2 B
        0 ENDBLK
        0 ENDSEC
        0 SECTION
        2 ENTITIES
        0 TEXT
        10 10
        20 10
        40 5
        1 TEXT
        7 Fixed
        0 INSERT
        2 B
        66 1
        10 0
        20 0
        0 ATTRIB
        10 10
        20 30
        40 3
        1 ATTRIB
        2 TAG
        7 FIXED
        0 SEQEND
        0 MTEXT
        10 10
        20 60
        40 4
        1 MTEXT
        7 Fixed
        0 ENDSEC
        0 EOF
    )"),
        "t.dxf");
    const std::vector<TextRun> runs = runsOf(drawing);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].text, u"TEXT");
    EXPECT_DOUBLE_EQ(runs[0].height, 5);
    EXPECT_EQ(runs[0].font, u"romans.shx");
    EXPECT_EQ(runs[1].text, u"ATTRIB");
    EXPECT_DOUBLE_EQ(runs[1].height, 3);
    EXPECT_EQ(runs[2].text, u"MTEXT");
    EXPECT_DOUBLE_EQ(runs[2].height, 4);
}

// Which installed faces draw a style's font, for a system that has these.
struct FontCase {
    const char *name;
    const char *styleFont;
    QStringList families;
    bool strokeStandIn;
};

class DxfTextFont : public ::testing::TestWithParam<FontCase> { };

TEST_P(DxfTextFont, IsDrawnWithTheClosestInstalledFaces)
{
    const QStringList installed = { "DejaVu Sans", "Liberation Sans", "Liberation Serif",
        "Liberation Mono", "osifont", "Noto Sans", "WenQuanYi Micro Hei" };
    const FontChoice choice = chooseFont(QString::fromUtf8(GetParam().styleFont), installed);
    EXPECT_EQ(choice.families, GetParam().families);
    EXPECT_EQ(choice.strokeStandIn, GetParam().strokeStandIn);
}

INSTANTIATE_TEST_SUITE_P(All, DxfTextFont,
    ::testing::Values(
        FontCase { "DefaultFont", "", { "osifont", "DejaVu Sans", "WenQuanYi Micro Hei" }, true },
        FontCase { "ShxInAFolder", "d:\\programme\\intellicad 98\\fonts\\futura.shx",
            { "osifont", "DejaVu Sans", "WenQuanYi Micro Hei" }, true },
        FontCase { "ArialFile", "arial.ttf",
            { "Liberation Sans", "DejaVu Sans", "WenQuanYi Micro Hei" }, false },
        FontCase { "CourierFamily", "Courier New",
            { "Liberation Mono", "DejaVu Sans", "WenQuanYi Micro Hei" }, false },
        FontCase { "InstalledFile", "NotoSans-Regular.ttf",
            { "Noto Sans", "DejaVu Sans", "WenQuanYi Micro Hei" }, false },
        FontCase {
            "UnknownTrueType", "swisseb.ttf", { "DejaVu Sans", "WenQuanYi Micro Hei" }, false },
        FontCase { "NarrowWithoutItsTwin", "arialn.ttf", { "DejaVu Sans", "WenQuanYi Micro Hei" },
            false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DxfText, CjkTextsTakeTheCjkFaceFirstAndALastResortIsAlwaysThere)
{
    // osifont holds a few CJK glyphs of its own, smaller than the CJK face's.
    EXPECT_EQ(
        chooseFont(QStringLiteral("txt"), { "osifont", "DejaVu Sans", "WenQuanYi Micro Hei" }, true)
            .families,
        QStringList({ "WenQuanYi Micro Hei", "osifont", "DejaVu Sans" }));
    EXPECT_EQ(chooseFont(QStringLiteral("txt"), {}, true).families, QStringList("DejaVu Sans"));
}

TEST(DxfText, StrokeFontsKeepTheirCadWidth)
{
    if (!installed("osifont"))
        GTEST_SKIP() << "osifont (Debian's fonts-osifont) is not installed";
    // txt gives a character one capital height, the glyph in its first two thirds: ten
    // capitals 10 mm high are 100 mm long, the last third without ink. An "I" takes two thirds
    // of that (the CAD program's plot of "MINI-ANT-TYPED" in txt shows both).
    const auto [h0, h1] = inkColumns(runAt(QStringLiteral("HHHHHHHHHH"), QStringLiteral("txt")));
    EXPECT_NEAR((h1 - h0) / 10.0, 100 - 10.0 / 3, 1.5);
    EXPECT_NEAR(h0, 100, 10);
    // Narrow glyphs keep their width in their cells: the strokes of "IIII" stand 6.7 mm apart,
    // each in the middle of its glyph's share of the cell.
    const auto [i0, i1] = inkColumns(runAt(QStringLiteral("IIII"), QStringLiteral("txt")));
    EXPECT_NEAR((i1 - i0) / 10.0, 20, 1.5);
    EXPECT_NEAR(i0, 100 + 10 * 2 / 9.0 * 10, 10);
    // Lower case too: an "l" takes half a cell, an "i" and a full stop a third (the CAD
    // program's plot of "Confidential and Proprietary" and "Thu." in txt), so the last "H" of
    // "HiHlH.H" starts 41.7 mm on, not 60.
    const auto [n0, n1] = inkColumns(runAt(QStringLiteral("HiHlH.H"), QStringLiteral("txt")));
    EXPECT_NEAR((n1 - n0) / 10.0, 125.0 / 3 + 20.0 / 3, 1.5);
    // Simplex spacing: "HI" advances 22 + 8 units where a capital is 21 high, and the outer
    // side bearings (4 units each) have no ink.
    const auto [s0, s1] = inkColumns(runAt(QStringLiteral("HIHI"), QStringLiteral("romans.shx")));
    EXPECT_NEAR((s1 - s0) / 10.0, (2 * 30 - 8) / 2.1, 1.5);
}

TEST(DxfText, CjkTextsAreDrawnWithTheirGlyphs)
{
    if (!installed("WenQuanYi Micro Hei"))
        GTEST_SKIP() << "WenQuanYi Micro Hei (Debian's fonts-wqy-microhei) is not installed";
    for (const char *font : { "arial.ttf", "gbcbig.shx" }) {
        int hangul = 0, han = 0, missing = 0;
        inkColumns(runAt(QStringLiteral("배치"), QLatin1String(font)), &hangul);
        inkColumns(runAt(QStringLiteral("布局"), QLatin1String(font)), &han);
        // A code point no face has: what a missing glyph paints.
        inkColumns(runAt(QStringLiteral("\U0010FFFD\U0010FFFD"), QLatin1String(font)), &missing);
        EXPECT_GT(hangul, 1000) << font;
        EXPECT_GT(han, 1000) << font;
        EXPECT_NE(hangul, missing) << font;
        EXPECT_NE(han, missing) << font;
    }
}

TEST(DxfText, DoubleByteCodePagesAndTheirEscapesDecode)
{
    // Before R2007 texts are in the drawing's code page, Windows' own: "布局1€" in 936, whose euro
    // sign GB2312 lacks, "배치1 똠" in 949, whose last syllable EUC-KR lacks.
    const Drawing chinese = readDrawing(
        withCodePage("AC1015", "ANSI_936", groups("0 TEXT\n1 \xb2\xbc\xbe\xd6\x31\x80")), "t.dxf");
    EXPECT_EQ(std::get<Text>(chinese.modelSpace.at(0).shape).text, u"布局1€");
    EXPECT_TRUE(chinese.warnings.isEmpty());
    const Drawing korean = readDrawing(
        withCodePage("AC1015", "ANSI_949", groups("0 TEXT\n1 \xb9\xe8\xc4\xa1\x31 \x8c\x63")),
        "t.dxf");
    EXPECT_EQ(std::get<Text>(korean.modelSpace.at(0).shape).text, u"배치1 똠");
    const Drawing japanese = readDrawing(
        withCodePage("AC1012", "dos932", groups("0 TEXT\n1 \x93\xfa\x96\x7b \x87\x40")), "t.dxf");
    EXPECT_EQ(std::get<Text>(japanese.modelSpace.at(0).shape).text, u"日本 ①");
    EXPECT_TRUE(japanese.warnings.isEmpty()) << japanese.warnings.join(u'\n').toStdString();
    // \M+n: 1 Japanese, 2 Traditional Chinese, 3 Korean, 5 Simplified Chinese; any page.
    const Drawing escapes = readDrawing(withCodePage("AC1032", "ANSI_1252",
                                            groups("0 TEXT\n1 \\M+193FA\\M+2A4D1\\M+2A3E1\\M+38C63"
                                                   "\\M+5B2BC\\U+D55C\\M+9FFFF")),
        "t.dxf");
    EXPECT_EQ(std::get<Text>(escapes.modelSpace.at(0).shape).text, u"日天€똠布한\\M+9FFFF");
}

TEST(DxfText, MTextFontSwitchesNameTheFontBeforeItsBigFont)
{
    Drawing drawing;
    MText mtext;
    mtext.insert = { 10, 50, 0 };
    mtext.text = QStringLiteral("\\Fsimplex.shx,gbcbig.shx;房间{\\fArial|b0|i0;A}");
    Entity entity;
    entity.type = QStringLiteral("MTEXT");
    entity.common.layer = QStringLiteral("0");
    entity.shape = mtext;
    drawing.modelSpace.push_back(entity);
    const std::vector<TextRun> runs = runsOf(drawing);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, u"房间");
    EXPECT_EQ(runs[0].font, u"simplex.shx");
    EXPECT_EQ(runs[1].font, u"Arial");
    // The big font's glyphs are square: two of them are two text heights wide.
    EXPECT_DOUBLE_EQ(runs[1].position.x(), 10 + 2 * 2.5);
}
