#include "dxf/dxffrontend.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

// A drawing of header variables, DIMSTYLE entries and model-space entities, drawn on a sheet
// whose paper mm are its drawing units.
Picture drawn(
    const QByteArray &header, const QByteArray &dimensionStyles, const QByteArray &entities)
{
    const QByteArray file = groups("0 SECTION\n2 HEADER\n" + header + "0 ENDSEC\n"
        + "0 SECTION\n2 TABLES\n0 TABLE\n2 DIMSTYLE\n" + dimensionStyles + "0 ENDTAB\n0 ENDSEC\n"
        + "0 SECTION\n2 ENTITIES\n" + entities + "0 ENDSEC\n0 EOF\n");
    const Drawing drawing = readDrawing(file, QStringLiteral("t.dxf"));
    return drawSheet(drawing, plainSheet(), QString());
}

std::vector<std::vector<QPointF>> strokePoints(const Picture &picture)
{
    std::vector<std::vector<QPointF>> result;
    for (const Stroke &s : itemsOf<Stroke>(picture))
        result.push_back(s.points);
    return result;
}

QStringList textsOf(const Picture &picture)
{
    QStringList texts;
    for (const TextRun &run : itemsOf<TextRun>(picture))
        texts.append(run.text);
    return texts;
}

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-6 && std::abs(a.y() - b.y()) < 1e-6;
}

// The arrowheads' triangles: tip first, then the two corners of the base.
std::vector<std::vector<QPointF>> arrowsOf(const Picture &picture)
{
    std::vector<std::vector<QPointF>> result;
    for (const Fill &f : itemsOf<Fill>(picture)) {
        std::vector<QPointF> ring = f.rings.at(0);
        ring.erase(std::unique(ring.begin(), ring.end(), near), ring.end());
        result.push_back(ring);
    }
    return result;
}

// Millimetre styles as QCAD and metric CAD programs write them.
const QByteArray metricStyle = R"(
    0 DIMSTYLE
    2 METRIC
    41 2.5
    42 0.625
    44 1.25
    140 2.5
    147 0.625
    271 2
)";

} // namespace

TEST(DxfDimensions, LinearWithoutBlockDrawsExtensionLinesDimensionLineArrowsAndMeasurement)
{
    const Picture picture = drawn("", metricStyle, R"(
        0 DIMENSION
        3 METRIC
        70 32
        10 25
        20 10
        11 12.5
        21 10
        13 0
        23 0
        14 25
        24 0
        50 0
    )");
    EXPECT_TRUE(picture.skipped.isEmpty());
    // Extension lines from DIMEXO above their origins to DIMEXE past the dimension line; the
    // dimension line broken around its centred text (DIMTAD 0).
    const std::vector<std::vector<QPointF>> strokes = strokePoints(picture);
    ASSERT_EQ(strokes.size(), 4u);
    EXPECT_TRUE(near(strokes[0][0], { 0, 0.625 }) && near(strokes[0][1], { 0, 11.25 }));
    EXPECT_TRUE(near(strokes[1][0], { 25, 0.625 }) && near(strokes[1][1], { 25, 11.25 }));
    EXPECT_TRUE(near(strokes[2][0], { 0, 10 }));
    EXPECT_LT(strokes[2][1].x(), 12.5 - 0.625);
    EXPECT_GT(strokes[3][0].x(), 12.5 + 0.625);
    EXPECT_TRUE(near(strokes[3][1], { 25, 10 }));
    const auto arrows = arrowsOf(picture);
    ASSERT_EQ(arrows.size(), 2u);
    const double half = 2.5 / 6;
    EXPECT_EQ(
        arrows[0], (std::vector<QPointF> { { 0, 10 }, { 2.5, 10 - half }, { 2.5, 10 + half } }));
    EXPECT_EQ(
        arrows[1], (std::vector<QPointF> { { 25, 10 }, { 22.5, 10 + half }, { 22.5, 10 - half } }));
    const std::vector<TextRun> runs = itemsOf<TextRun>(picture);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, u"25.00");
    EXPECT_EQ(runs[0].anchor, TextRun::Anchor::Centre);
    EXPECT_DOUBLE_EQ(runs[0].height, 2.5);
    EXPECT_DOUBLE_EQ(runs[0].rotation, 0);
    EXPECT_NEAR(runs[0].position.x(), 12.5, 1e-9);
    EXPECT_NEAR(runs[0].position.y(), 10 - 1.25, 1e-9);
}

TEST(DxfDimensions, ShortLinearPutsArrowsOutsideAndVerticalTextAlongItsLine)
{
    // 2 units between the extension lines hold no two arrows of 2.5; DIMTIH 0 turns the text.
    const Picture picture = drawn("", metricStyle + "73 0\n77 1\n", R"(
        0 DIMENSION
        3 METRIC
        70 0
        10 10
        20 2
        11 11.25
        21 1
        13 0
        23 0
        14 0
        24 2
        50 90
    )");
    const auto arrows = arrowsOf(picture);
    ASSERT_EQ(arrows.size(), 2u);
    EXPECT_TRUE(near(arrows[0][0], { 10, 0 }));
    EXPECT_NEAR(arrows[0][1].y(), -2.5, 1e-9);
    EXPECT_TRUE(near(arrows[1][0], { 10, 2 }));
    EXPECT_NEAR(arrows[1][1].y(), 4.5, 1e-9);
    const std::vector<TextRun> runs = itemsOf<TextRun>(picture);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, u"2.00");
    EXPECT_DOUBLE_EQ(runs[0].rotation, 90);
}

TEST(DxfDimensions, RadiusOutsideItsArcPointsItsArrowInward)
{
    const Picture picture = drawn("", metricStyle, R"(
        0 DIMENSION
        3 METRIC
        70 4
        10 0
        20 0
        11 12
        21 16
        15 3
        25 4
    )");
    EXPECT_EQ(textsOf(picture), QStringList { QStringLiteral("R5.00") });
    const auto arrows = arrowsOf(picture);
    ASSERT_EQ(arrows.size(), 1u);
    EXPECT_TRUE(near(arrows[0][0], { 3, 4 }));
    // Its base stands outside the arc, 2.5 further along the radius.
    EXPECT_NEAR(std::hypot(arrows[0][1].x(), arrows[0][1].y()), std::hypot(7.5, 2.5 / 6), 1e-9);
    const auto strokes = strokePoints(picture);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_TRUE(near(strokes[0].front(), { 3, 4 }));
}

TEST(DxfDimensions, AngularThreePointSpansTheAngleThatHoldsItsArcPoint)
{
    const Picture picture = drawn("", metricStyle, R"(
        0 DIMENSION
        3 METRIC
        70 5
        10 -5
        20 -5
        11 -6
        21 -6
        13 10
        23 0
        14 0
        24 10
        15 0
        25 0
    )");
    // The arc through (-5, -5) runs the long way round: 270 degrees.
    EXPECT_EQ(textsOf(picture), QStringList { QStringLiteral("270°") });
    const auto strokes = strokePoints(picture);
    ASSERT_EQ(strokes.size(), 3u);
    const double r = std::hypot(5, 5);
    // The sides end at 10, beyond the arc: extension lines from DIMEXO short of them to DIMEXE
    // inside the arc.
    EXPECT_TRUE(near(strokes[0][0], { 0, 10 - 0.625 }) && near(strokes[0][1], { 0, r - 1.25 }));
    EXPECT_TRUE(near(strokes[1][0], { 10 - 0.625, 0 }) && near(strokes[1][1], { r - 1.25, 0 }));
    EXPECT_TRUE(near(strokes[2].front(), { 0, r }));
    EXPECT_TRUE(near(strokes[2].back(), { r, 0 }));
    EXPECT_EQ(arrowsOf(picture).size(), 2u);
}

// The dimension text as DIMDEC, DIMZIN, DIMDSEP, DIMLFAC and DIMPOST write the measurement
// (25 units), and as the dimension's own text frames or replaces it.
struct TextCase {
    const char *name;
    QByteArray style;
    QByteArray text;
    QString expected;
};

class DxfDimensionText : public ::testing::TestWithParam<TextCase> { };

TEST_P(DxfDimensionText, IsWrittenAsTheStyleSays)
{
    const TextCase &c = GetParam();
    const Picture picture = drawn("", "0 DIMSTYLE\n2 S\n" + c.style, R"(
        0 DIMENSION
        3 S
        70 1
        10 25
        20 10
        11 12.5
        21 12
        13 0
        23 0
        14 25.004
        24 0
    )" + (c.text.isNull() ? QByteArray() : "1 " + c.text + "\n"));
    EXPECT_EQ(textsOf(picture), QStringList { c.expected });
}

INSTANTIATE_TEST_SUITE_P(All, DxfDimensionText,
    ::testing::Values(TextCase { "DefaultDecimals", "", {}, QStringLiteral("25.0040") },
        TextCase { "TwoDecimals", "271 2\n", {}, QStringLiteral("25.00") },
        TextCase { "TrailingZerosDropped", "271 2\n78 8\n", {}, QStringLiteral("25") },
        TextCase { "CommaSeparator", "271 3\n278 44\n", {}, QStringLiteral("25,004") },
        TextCase { "LengthFactor", "271 1\n144 0.5\n", {}, QStringLiteral("12.5") },
        TextCase { "Suffix", "271 0\n3 mm\n", {}, QStringLiteral("25mm") },
        TextCase { "PrefixAndSuffix", "271 0\n3 ~<> mm\n", {}, QStringLiteral("~25 mm") },
        TextCase { "OwnTextFramesIt", "271 0\n", "<> typ.", QStringLiteral("25 typ.") },
        TextCase { "OwnTextReplacesIt", "271 0\n", "%%c8", QStringLiteral("\u23008") }),
    [](const auto &info) { return std::string(info.param.name); });

// A leader's arrowhead: its style's DIMASZ times DIMSCALE, its own DSTYLE overrides first, the
// header's values only where its style leaves them unset and the header does not just repeat
// the current style.
struct LeaderCase {
    const char *name;
    QByteArray leader;
    double arrowLength;
};

class DxfLeaderArrow : public ::testing::TestWithParam<LeaderCase> { };

TEST_P(DxfLeaderArrow, TakesItsSizeFromItsOwnStyle)
{
    const Picture picture = drawn(R"(
        9 $DIMSTYLE
        2 BIG
        9 $DIMSCALE
        40 96
        9 $DIMASZ
        40 0.18
        9 $DIMTXT
        40 0.2
    )",
        R"(
        0 DIMSTYLE
        2 BIG
        40 96
        41 0.18
        0 DIMSTYLE
        2 ONE
        40 1
        41 0.25
        0 DIMSTYLE
        2 UNSCALED
        41 0.1
        0 DIMSTYLE
        2 FIT
        40 0
        41 0.3
    )",
        "0 LEADER\n100 AcDbLeader\n71 1\n10 0\n20 0\n10 100\n20 0\n" + GetParam().leader);
    const auto arrows = arrowsOf(picture);
    ASSERT_EQ(arrows.size(), 1u);
    EXPECT_TRUE(near(arrows[0][0], { 0, 0 }));
    EXPECT_NEAR(arrows[0][1].x(), GetParam().arrowLength, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(All, DxfLeaderArrow,
    ::testing::Values(LeaderCase { "StyleScaleOne", "3 ONE\n", 0.25 },
        LeaderCase { "CurrentStyle", "3 BIG\n", 0.18 * 96 },
        // The header's 96 is BIG's own scale, not the drawing's default.
        LeaderCase { "StyleWithoutScale", "3 UNSCALED\n", 0.1 },
        LeaderCase { "ScaleZeroIsOne", "3 FIT\n", 0.3 },
        LeaderCase { "UnknownStyleTakesTheHeader", "3 GONE\n", 0.18 * 96 },
        LeaderCase { "Overrides",
            "3 ONE\n1001 ACAD\n1000 DSTYLE\n1002 {\n1070 41\n1040 0.5\n1070 40\n1040 2\n1002 }\n",
            1.0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DxfDimensions, MultiLeaderDrawsItsLinesArrowsDoglegAndText)
{
    const Picture picture = drawn("", "", R"(
        0 MULTILEADER
        100 AcDbEntity
        8 0
        100 AcDbMLeader
        300 CONTEXT_DATA{
        40 1.0
        10 12.5
        20 5
        30 0
        41 2.0
        140 1.0
        145 0.5
        290 1
        304 NOTE
        12 12.5
        22 5
        32 0
        13 1
        23 0
        33 0
        43 0
        171 4
        296 0
        302 LEADER{
        290 1
        291 1
        10 10
        20 5
        30 0
        11 1
        21 0
        31 0
        40 2
        304 LEADER_LINE{
        10 0
        20 0
        30 0
        91 0
        305 }
        304 LEADER_LINE{
        10 0
        20 10
        30 0
        10 5
        20 10
        30 0
        91 1
        305 }
        303 }
        301 }
        170 1
        91 -1056964608
        290 1
        291 1
        42 4
        172 2
    )");
    EXPECT_TRUE(picture.skipped.isEmpty());
    const auto strokes = strokePoints(picture);
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_EQ(strokes[0], (std::vector<QPointF> { { 0, 0 }, { 10, 5 } }));
    EXPECT_EQ(strokes[1], (std::vector<QPointF> { { 0, 10 }, { 5, 10 }, { 10, 5 } }));
    EXPECT_EQ(strokes[2], (std::vector<QPointF> { { 10, 5 }, { 12, 5 } }));
    // The context's arrow size (1), not the entity's (4).
    const auto arrows = arrowsOf(picture);
    ASSERT_EQ(arrows.size(), 2u);
    EXPECT_TRUE(near(arrows[0][0], { 0, 0 }));
    EXPECT_NEAR(std::hypot(arrows[0][1].x(), arrows[0][1].y()), std::hypot(1, 1.0 / 6), 1e-9);
    EXPECT_TRUE(near(arrows[1][0], { 0, 10 }));
    EXPECT_TRUE(near(arrows[1][1], { 1, 10 - 1.0 / 6 }));
    const std::vector<TextRun> runs = itemsOf<TextRun>(picture);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, u"NOTE");
    EXPECT_DOUBLE_EQ(runs[0].height, 2);
    EXPECT_NEAR(runs[0].position.x(), 12.5, 1e-9);
    EXPECT_NEAR(runs[0].position.y(), 5 - 1, 1e-9);
}

// QCAD writes its dimensions without blocks; its own plot of this drawing shows them all.
TEST(DxfDimensions, QcadDrawingDrawsEveryDimension)
{
    const QString file
        = QStringLiteral(QUILLET_SOURCE_DIR "/../shared/dxf-plotted/qcad_flange_2layouts.dxf");
    if (!QFileInfo::exists(file))
        GTEST_SKIP() << "no plotted drawings at " << qPrintable(file);
    const Drawing drawing = readDrawingFile(file);
    const QList<SheetInfo> sheets = sheetsOf(drawing);
    ASSERT_EQ(sheets.size(), 2);
    const Picture picture = drawSheet(drawing, sheets[0], QString());
    EXPECT_TRUE(picture.skipped.isEmpty());
    const QStringList texts = textsOf(picture);
    for (const char *label : { "42", "60", "R5", "\u230028" })
        EXPECT_TRUE(texts.contains(QString::fromUtf8(label))) << label;
    EXPECT_TRUE(drawSheet(drawing, sheets[1], QString()).skipped.isEmpty());
}
