#include "dxf/dxffrontend.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

// Layer 0 is white (black on paper) unless a test's tables say otherwise.
Picture drawn(const QByteArray &header, const QByteArray &entities, const QByteArray &objects = {})
{
    const QByteArray bytes = groups("0 SECTION\n2 HEADER\n") + groups(header.constData())
        + groups("0 ENDSEC\n0 SECTION\n2 ENTITIES\n") + groups(entities.constData())
        + groups("0 ENDSEC\n0 SECTION\n2 OBJECTS\n") + groups(objects.constData())
        + groups("0 ENDSEC\n0 EOF");
    const Drawing drawing = readDrawing(bytes, QStringLiteral("t.dxf"));
    const QList<SheetInfo> sheets = sheetsOf(drawing);
    SheetInfo sheet = sheets.front();
    // Drawing units as paper mm, so that points read as the file wrote them.
    sheet.toPaper = QTransform();
    return drawSheet(drawing, sheet, QString());
}

using Points = std::vector<QPointF>;

void expectPoints(const Points &actual, const Points &expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-9) << "point " << i;
        EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-9) << "point " << i;
    }
}

QRectF boundsOf(const Points &points)
{
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (QPointF p : points) {
        x0 = std::min(x0, p.x()), y0 = std::min(y0, p.y());
        x1 = std::max(x1, p.x()), y1 = std::max(y1, p.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

// The standard style's two elements, the upper one red, with the caps and fill of flags.
const char *twoLineStyle = R"(0 MLINESTYLE
5 22
100 AcDbMlineStyle
2 TWO
70 %1
3 two lines
62 3
51 90.0
52 90.0
71 2
49 0.5
62 1
6 BYLAYER
49 -0.5
62 256
6 BYLAYER
)";

QByteArray styleWith(int flags)
{
    return QString::fromLatin1(twoLineStyle).arg(flags).toLatin1();
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

// An MLINE of the style above.
QByteArray mline(double scale, int justification, int flags)
{
    return QStringLiteral("0 MLINE\n8 0\n100 AcDbMline\n2 TWO\n340 22\n40 %1\n70 %2\n71 %3\n73 2\n")
        .arg(number(scale))
        .arg(justification)
        .arg(flags)
        .toLatin1();
}

// A vertex with the direction of its segment and its miter, and the elements' parameters
// where the file gives them.
QByteArray vertex(QPointF at, QPointF direction, QPointF miter,
    const std::vector<std::vector<double>> &elements = {})
{
    QString groups = QStringLiteral("11 %1\n21 %2\n12 %3\n22 %4\n13 %5\n23 %6\n")
                         .arg(number(at.x()), number(at.y()), number(direction.x()),
                             number(direction.y()), number(miter.x()), number(miter.y()));
    for (const std::vector<double> &parameters : elements) {
        groups += QStringLiteral("74 %1\n").arg(parameters.size());
        for (double parameter : parameters)
            groups += QStringLiteral("41 %1\n").arg(number(parameter));
        groups += QStringLiteral("75 0\n");
    }
    return groups.toLatin1();
}

} // namespace

// Top justified at scale 2, the upper element runs through the vertices and the lower one
// 2 below, further along a slanted miter; where the file gives the elements' parameters they
// are the geometry whatever the scale says, a cut in them a gap.
TEST(DxfEntities, MLineElementsMeetAtTheMitersOfTheirStyle)
{
    const double slant = std::sqrt(0.5);
    const Picture picture = drawn({},
        mline(2, 0, 1) + vertex({ 0, 0 }, { 1, 0 }, { 0, 1 })
            + vertex({ 10, 0 }, { 0, 1 }, { -slant, slant })
            + vertex({ 10, 10 }, { 0, 1 }, { -1, 0 }) + mline(3, 1, 1)
            + vertex({ 0, 20 }, { 1, 0 }, { 0, 1 }, { { 0.5, 0 }, { -0.5, 0, 3, 5 } })
            + vertex({ 10, 20 }, { 1, 0 }, { 0, 1 }, { { 0.5, 0 }, { -0.5, 0 } }),
        styleWith(0));
    EXPECT_TRUE(picture.skipped.isEmpty());
    const std::vector<Stroke> s = itemsOf<Stroke>(picture);
    ASSERT_EQ(s.size(), 7u);
    expectPoints(s[0].points, { { 0, 0 }, { 10, 0 } });
    expectPoints(s[1].points, { { 10, 0 }, { 10, 10 } });
    expectPoints(s[2].points, { { 0, -2 }, { 12, -2 } });
    expectPoints(s[3].points, { { 12, -2 }, { 12, 10 } });
    EXPECT_EQ(s[0].colour, qRgb(255, 0, 0));
    EXPECT_EQ(s[2].colour, qRgb(0, 0, 0));
    expectPoints(s[4].points, { { 0, 20.5 }, { 10, 20.5 } });
    expectPoints(s[5].points, { { 0, 19.5 }, { 3, 19.5 } });
    expectPoints(s[6].points, { { 5, 19.5 }, { 10, 19.5 } });
}

// Filled in the style's fill colour out to its round end; a line across the start in two
// halves, each in its element's colour; a closed multiline has no caps and fills a band.
TEST(DxfEntities, MLineCapsAndFillAsTheStyleSays)
{
    const QByteArray style = styleWith(1 | 16 | 1024);
    const QByteArray straight
        = vertex({ 0, 0 }, { 1, 0 }, { 0, 1 }) + vertex({ 10, 0 }, { 1, 0 }, { 0, 1 });

    const Picture open = drawn({}, mline(1, 1, 1) + straight, style);
    const std::vector<Fill> fills = itemsOf<Fill>(open);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].colour, qRgb(0, 255, 0));
    ASSERT_EQ(fills[0].rings.size(), 1u);
    const QRectF band = boundsOf(fills[0].rings[0]);
    EXPECT_NEAR(band.left(), 0, 1e-9);
    EXPECT_NEAR(band.right(), 10.5, 1e-3);
    EXPECT_NEAR(band.top(), -0.5, 1e-9);
    EXPECT_NEAR(band.bottom(), 0.5, 1e-9);
    const std::vector<Stroke> s = itemsOf<Stroke>(open);
    ASSERT_EQ(s.size(), 6u);
    expectPoints(s[2].points, { { 0, 0.5 }, { 0, 0 } });
    EXPECT_EQ(s[2].colour, qRgb(255, 0, 0));
    expectPoints(s[3].points, { { 0, -0.5 }, { 0, 0 } });
    EXPECT_EQ(s[3].colour, qRgb(0, 0, 0));
    // The round end: two quarters from the upper element through (10.5, 0) to the lower.
    EXPECT_NEAR(s[4].points.front().y(), 0.5, 1e-9);
    EXPECT_NEAR(s[4].points.back().x(), 10.5, 1e-9);
    EXPECT_NEAR(s[5].points.back().y(), -0.5, 1e-9);
    for (const Stroke &quarter : { s[4], s[5] }) {
        for (QPointF p : quarter.points)
            EXPECT_NEAR(std::hypot(p.x() - 10, p.y()), 0.5, 1e-9);
    }

    // Start caps suppressed by the multiline itself: the line across the start goes.
    EXPECT_EQ(itemsOf<Stroke>(drawn({}, mline(1, 1, 1 | 4) + straight, style)).size(), 4u);

    const double slant = std::sqrt(0.5);
    const Picture closed = drawn({},
        mline(1, 1, 1 | 2) + straight + vertex({ 10, 10 }, { -slant, -slant }, { 1, 0 }), style);
    EXPECT_EQ(itemsOf<Stroke>(closed).size(), 6u);
    ASSERT_EQ(itemsOf<Fill>(closed).size(), 1u);
    EXPECT_EQ(itemsOf<Fill>(closed)[0].rings.size(), 2u);
}

// Rows stand below one another from the middle of the first row's left side; a box is the text
// height and twice the gap tall, square around a symbol, and each box holds its text centred.
TEST(DxfEntities, ToleranceFramesABoxPerFieldAndARowPerLine)
{
    const Picture picture = drawn(R"(9 $DIMTXT
40 2.5
9 $DIMGAP
40 0.5
9 $DIMCLRD
70 1
9 $DIMCLRT
70 3
)",
        R"(0 TOLERANCE
8 0
100 AcDbFcf
3 Standard
10 100
20 50
30 0
1 {\Fgdt;j}%%v0.125 M%%v%%vA%%v%%v^J{\Fgdt;r}
11 1
21 0
31 0
0 TOLERANCE
8 0
100 AcDbFcf
10 0
20 0
30 0
1 B
11 0
21 1
31 0
)");
    EXPECT_TRUE(picture.skipped.isEmpty());
    const std::vector<Stroke> boxes = itemsOf<Stroke>(picture);
    ASSERT_EQ(boxes.size(), 5u);
    for (const Stroke &box : boxes) {
        EXPECT_TRUE(box.closed);
        EXPECT_EQ(box.colour, qRgb(255, 0, 0));
    }
    expectPoints(
        boxes[0].points, { { 100, 48.25 }, { 103.5, 48.25 }, { 103.5, 51.75 }, { 100, 51.75 } });
    const QRectF value = boundsOf(boxes[1].points);
    EXPECT_DOUBLE_EQ(value.left(), 103.5);
    EXPECT_GT(value.width(), 3.5);
    EXPECT_DOUBLE_EQ(value.top(), 48.25);
    EXPECT_DOUBLE_EQ(value.bottom(), 51.75);
    const QRectF datum = boundsOf(boxes[2].points);
    EXPECT_DOUBLE_EQ(datum.left(), value.right());
    EXPECT_DOUBLE_EQ(datum.width(), 3.5);
    expectPoints(
        boxes[3].points, { { 100, 44.75 }, { 103.5, 44.75 }, { 103.5, 48.25 }, { 100, 48.25 } });
    // Turned a quarter: its box runs up from the insertion point.
    expectPoints(boxes[4].points, { { 1.75, 0 }, { 1.75, 3.5 }, { -1.75, 3.5 }, { -1.75, 0 } });

    const std::vector<TextRun> runs = itemsOf<TextRun>(picture);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, QStringLiteral("j"));
    EXPECT_EQ(runs[0].font, QStringLiteral("gdt"));
    EXPECT_EQ(runs[0].anchor, TextRun::Anchor::Centre);
    EXPECT_DOUBLE_EQ(runs[0].position.x(), 101.75);
    EXPECT_DOUBLE_EQ(runs[0].position.y(), 50 - 1.25);
    EXPECT_DOUBLE_EQ(runs[0].height, 2.5);
    EXPECT_EQ(runs[0].colour, qRgb(0, 255, 0));
    EXPECT_EQ(runs[1].text, QStringLiteral("0.125 M"));
    EXPECT_DOUBLE_EQ(runs[1].position.x(), value.center().x());
    EXPECT_EQ(runs[2].text, QStringLiteral("A"));
    EXPECT_EQ(runs[3].text, QStringLiteral("r"));
    EXPECT_DOUBLE_EQ(runs[4].rotation, 90);
}

// Two quads sharing an edge have seven edges; an index past the vertices draws nothing, and the
// edge list after the faces is not taken for more faces.
TEST(DxfEntities, MeshDrawsEachEdgeOfItsFacesOnce)
{
    const Picture picture = drawn("", R"(0 MESH
8 0
62 5
100 AcDbSubDMesh
71 2
72 0
91 0
92 6
10 0
20 0
30 0
10 1
20 0
30 0
10 2
20 0
30 0
10 0
20 1
30 0
10 1
20 1
30 0
10 2
20 1
30 0
93 14
90 4
90 0
90 1
90 4
90 3
90 4
90 1
90 2
90 5
90 4
90 3
90 4
90 5
90 9
94 1
90 2
90 3
95 0
)");
    EXPECT_TRUE(picture.skipped.isEmpty());
    const std::vector<Stroke> s = itemsOf<Stroke>(picture);
    ASSERT_EQ(s.size(), 7u);
    QSet<QString> edges;
    for (const Stroke &stroke : s) {
        EXPECT_EQ(stroke.colour, qRgb(0, 0, 255));
        edges.insert(QStringLiteral("%1,%2-%3,%4")
                         .arg(stroke.points[0].x())
                         .arg(stroke.points[0].y())
                         .arg(stroke.points[1].x())
                         .arg(stroke.points[1].y()));
    }
    EXPECT_EQ(edges,
        (QSet<QString> {
            "0,0-1,0", "0,0-0,1", "1,0-2,0", "1,0-1,1", "2,0-2,1", "0,1-1,1", "1,1-2,1" }));
}

// A shape needs its shape file, solids and regions their ACIS data: counted, each by its reason.
TEST(DxfEntities, ShapesAndSolidsAreCountedNotDrawn)
{
    const Picture picture = drawn("", R"(0 SHAPE
8 0
100 AcDbShape
10 1
20 1
30 0
40 2.5
2 BOX
0 3DSOLID
8 0
100 AcDbModelerGeometry
70 1
)");
    EXPECT_TRUE(picture.items.empty());
    EXPECT_EQ(picture.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("3DSOLID"), 1 },
            { QStringLiteral("SHAPE (shape file not available)"), 1 } }));
}

// The corpus drawings that hold them draw every multiline, frame and mesh.
TEST(DxfEntities, CorpusMultilinesFramesAndMeshesAreDrawn)
{
    const QString folder = QStringLiteral(QUILLET_SOURCE_DIR "/../shared/dxf-corpus/");
    if (!QFileInfo::exists(folder))
        GTEST_SKIP() << "the corpus is not at " << folder.toStdString();
    for (const char *name : { "acadsharp_sample_AC1027_binary.dxf", "dxfjson_tc2_titleblock.dxf",
             "libredwg_example_2000.dxf" }) {
        const Drawing drawing = readDrawingFile(folder + QLatin1String(name));
        int drawable = 0;
        for (const Entity &e : drawing.modelSpace)
            drawable += e.type == u"MLINE" || e.type == u"TOLERANCE" || e.type == u"MESH";
        EXPECT_GT(drawable, 0) << name;
        for (const SheetInfo &sheet : sheetsOf(drawing)) {
            for (const auto &[what, count] : drawSheet(drawing, sheet, QString()).skipped)
                EXPECT_TRUE(what == u"3DSOLID" || what == u"REGION" || what.startsWith(u"SHAPE"))
                    << name << ": " << what.toStdString();
        }
    }
}
