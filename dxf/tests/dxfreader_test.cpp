#include "dxf/dxfdrawing.h"
#include "dxf/dxfreader.h"
#include "dxftestgroups.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

QByteArray entitiesOnly(const char *entities)
{
    return groups("0 SECTION\n2 ENTITIES\n") + groups(entities) + groups("0 ENDSEC\n0 EOF");
}

QString seed(const char *name)
{
    return QStringLiteral(QUILLET_SOURCE_DIR "/fuzz/seeds/dxf/") + QString::fromLatin1(name);
}

QString errorOf(const QByteArray &bytes)
{
    try {
        readDrawing(bytes, QStringLiteral("t.dxf"));
    } catch (const ReadError &error) {
        return error.message();
    }
    return QStringLiteral("no error");
}

template <typename T> const T &shapeOf(const Entity &entity)
{
    const T *shape = std::get_if<T>(&entity.shape);
    if (!shape)
        throw std::runtime_error("the entity has another shape: " + entity.type.toStdString());
    return *shape;
}

QStringList layoutNames(const Drawing &drawing)
{
    QStringList names;
    for (const Layout &layout : drawing.layouts)
        names.append(layout.name);
    return names;
}

} // namespace

// Files written by ezdxf, as ASCII and as binary DXF: the same drawing either way.
class DxfReaderEzdxfFile : public ::testing::TestWithParam<const char *> { };

TEST_P(DxfReaderEzdxfFile, ReadsLayoutsAttributesHatchesAndCustomProperties)
{
    const Drawing drawing = readDrawingFile(seed(GetParam()));
    EXPECT_EQ(drawing.binary, QByteArray(GetParam()).contains("binary"));
    EXPECT_EQ(drawing.version, u"AC1018");
    EXPECT_EQ(drawing.codePage, u"ANSI_1252");
    EXPECT_EQ(drawing.insertionUnits, 4);
    ASSERT_EQ(drawing.customProperties.size(), 1);
    EXPECT_EQ(drawing.customProperties[0].first, u"Drawn by");
    EXPECT_EQ(drawing.customProperties[0].second, u"Änne");

    EXPECT_EQ(layoutNames(drawing), QStringList({ "Model", "Sheet A", "Sheet B" }));
    EXPECT_EQ(drawing.layouts[0].block, QString());
    const Layout &sheetA = drawing.layouts[1];
    EXPECT_EQ(sheetA.block, u"*Paper_Space");
    EXPECT_EQ(sheetA.paperWidth, 420);
    EXPECT_EQ(sheetA.paperHeight, 297);
    EXPECT_EQ(sheetA.marginLeft, 10);
    EXPECT_EQ(sheetA.paperUnits, 1);
    EXPECT_EQ(drawing.layouts[2].block, u"*Paper_Space0");
    EXPECT_EQ(drawing.activeLayout, QString());

    const Layer *walls = drawing.layer(QStringLiteral("walls"));
    ASSERT_TRUE(walls);
    EXPECT_TRUE(walls->off);
    EXPECT_EQ(walls->colour, 3);
    EXPECT_EQ(drawing.layerNamesByHandle.value(walls->handle), u"WALLS");

    ASSERT_EQ(drawing.modelSpace.size(), 5u);
    const Entity &line = drawing.modelSpace[0];
    EXPECT_EQ(line.type, u"LINE");
    EXPECT_EQ(line.common.layer, u"WALLS");
    EXPECT_EQ(line.common.colour, 1);
    EXPECT_NE(line.common.owner, 0u);
    EXPECT_EQ(shapeOf<Line>(line).end, (Vec3 { 10, 5, 0 }));
    const auto &polyline = shapeOf<Polyline>(drawing.modelSpace[1]);
    EXPECT_TRUE(polyline.closed);
    ASSERT_EQ(polyline.vertices.size(), 3u);
    EXPECT_EQ(polyline.vertices[0].bulge, 0.5);
    const auto &insert = shapeOf<Insert>(drawing.modelSpace[2]);
    EXPECT_EQ(insert.block, u"TB");
    EXPECT_EQ(insert.scale, (Vec3 { 2, 1, 1 }));
    EXPECT_EQ(insert.rotation, 90);
    ASSERT_EQ(insert.attributes.size(), 1u);
    EXPECT_EQ(insert.attributes[0].tag, u"REV");
    EXPECT_EQ(insert.attributes[0].text, u"B");
    EXPECT_EQ(insert.attributeCommons.size(), 1u);
    const auto &hatch = shapeOf<Hatch>(drawing.modelSpace[3]);
    ASSERT_EQ(hatch.paths.size(), 2u);
    EXPECT_TRUE(hatch.paths[0].isPolyline);
    EXPECT_EQ(hatch.paths[0].vertices.size(), 3u);
    ASSERT_EQ(hatch.paths[1].edges.size(), 3u);
    const HatchEdge &arc = hatch.paths[1].edges[1];
    EXPECT_EQ(arc.kind, HatchEdge::Kind::Arc);
    EXPECT_EQ(arc.centre, QPointF(5, 5));
    EXPECT_EQ(arc.radius, 5);
    EXPECT_EQ(hatch.paths[1].edges[2].end, QPointF(0, 0));
    EXPECT_EQ(shapeOf<MText>(drawing.modelSpace[4]).text, u"Über\\Pline");

    const auto &paper = drawing.entitiesOf(sheetA);
    ASSERT_EQ(paper.size(), 3u);
    EXPECT_EQ(shapeOf<Viewport>(paper[0]).id, 1);
    const auto &viewport = shapeOf<Viewport>(paper[1]);
    EXPECT_EQ(viewport.centre, (Vec3 { 200, 150, 0 }));
    EXPECT_EQ(viewport.viewCentre, QPointF(5, 5));
    EXPECT_EQ(viewport.viewHeight, 20);
    EXPECT_EQ(shapeOf<Text>(paper[2]).text, u"Paper");
    ASSERT_EQ(drawing.entitiesOf(drawing.layouts[2]).size(), 1u);
    EXPECT_EQ(shapeOf<Circle>(drawing.entitiesOf(drawing.layouts[2])[0]).radius, 3);
    EXPECT_EQ(drawing.entityByHandle(line.common.handle), &line);
    EXPECT_EQ(drawing.block(QStringLiteral("tb"))->entities.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    AsciiAndBinary, DxfReaderEzdxfFile, ::testing::Values("r2004.dxf", "r2004-binary.dxf"));

// R12 has no layout objects: its paper space becomes one layout from the paper limits.
class DxfReaderR12File : public ::testing::TestWithParam<const char *> { };

TEST_P(DxfReaderR12File, MakesOneLayoutFromThePaperLimits)
{
    const Drawing drawing = readDrawingFile(seed(GetParam()));
    EXPECT_EQ(drawing.version, u"AC1009");
    ASSERT_EQ(drawing.layouts.size(), 1);
    const Layout &layout = drawing.layouts[0];
    EXPECT_EQ(layout.name, u"Layout1");
    EXPECT_EQ(layout.block, u"*Paper_Space");
    EXPECT_EQ(layout.paperWidth, 420);
    EXPECT_EQ(layout.paperHeight, 297);
    EXPECT_EQ(layout.paperUnits, 1);
    EXPECT_EQ(layout.plotType, 5);
    ASSERT_EQ(drawing.modelSpace.size(), 3u);
    const auto &polyline = shapeOf<Polyline>(drawing.modelSpace[1]);
    EXPECT_TRUE(polyline.closed);
    EXPECT_EQ(polyline.vertices.size(), 3u);
    EXPECT_EQ(shapeOf<Text>(drawing.modelSpace[2]).text, u"ÄÖ");
    EXPECT_EQ(drawing.modelSpace[2].common.layer, u"TXT");
    ASSERT_EQ(drawing.activePaperSpace.size(), 1u);
    EXPECT_EQ(shapeOf<Circle>(drawing.activePaperSpace[0]).centre, (Vec3 { 2, 3, 0 }));
}

INSTANTIATE_TEST_SUITE_P(
    AsciiAndBinary, DxfReaderR12File, ::testing::Values("r12.dxf", "r12-binary.dxf"));

TEST(DxfReader, ReadsEntityGrammarsAndCommonCodes)
{
    const Drawing drawing = readDrawing(groups(R"(
        0 SECTION
        2 HEADER
        9 $DIMASZ
        40 0.18
        9 $DIMSCALE
        40 10
        9 $TILEMODE
        70 0
        9 $MEASUREMENT
        70 0
        9 $PLIMMAX
        10 17
        20 11
        0 ENDSEC
        0 SECTION
        2 ENTITIES
        0 LINE
        5 1A
        102 {ACAD_REACTORS
        330 99
        102 }
        330 1F
        100 AcDbEntity
        8 Walls
        62 3
        420 16711680
        370 35
        999 a comment
        210 0
        220 0
        230 -1
        1234 an unknown group
        10 1
        20 2
        11 3
        21 4
        1001 APP
        1000 ignored
        0 POLYLINE
        66 1
        70 64
        71 3
        72 1
        0 VERTEX
        10 0
        70 192
        0 VERTEX
        10 1
        70 192
        0 VERTEX
        70 128
        71 1
        72 -2
        73 3
        0 SEQEND
        0 MTEXT
        3 first
        3 second
        1 last
        101 Embedded Object
        1 not text
        0 SOLID
        10 0
        11 1
        12 0
        22 1
        0 INSERT
        2 grid
        70 3
        71 2
        44 5
        45 6
        41 0
        42 -1
        0 LEADER
        10 0
        10 5
        20 5
        0 SPLINE
        70 5
        71 2
        40 0
        40 1
        10 1
        20 2
        41 0.5
        0 ATTDEF
        2 TAG
        70 1
        73 12
        74 3
        1 default
        0 XLINE
        11 nan
        21 inf
        0 VIEWPORT
        67 1
        69 2
        331 2B
        331 2C
        340 3D
        0 HELIX
        0 ENDSEC
        0 EOF
    )"),
        QStringLiteral("t.dxf"));
    EXPECT_FALSE(drawing.modelSpaceActive);
    ASSERT_EQ(drawing.modelSpace.size(), 10u);
    const EntityCommon &common = drawing.modelSpace[0].common;
    EXPECT_EQ(common.handle, 0x1Au);
    EXPECT_EQ(common.owner, 0x1Fu);
    EXPECT_EQ(common.layer, u"Walls");
    EXPECT_EQ(common.colour, 3);
    EXPECT_EQ(common.trueColour, 0xff0000);
    EXPECT_EQ(common.lineweight, 35);
    EXPECT_EQ(common.extrusion, (Vec3 { 0, 0, -1 }));
    EXPECT_EQ(common.line, 33);
    EXPECT_EQ(shapeOf<Line>(drawing.modelSpace[0]).end, (Vec3 { 3, 4, 0 }));

    const auto &polyface = shapeOf<Polyline>(drawing.modelSpace[1]);
    EXPECT_EQ(polyface.kind, Polyline::Kind::PolyfaceMesh);
    EXPECT_EQ(polyface.vertices.size(), 2u);
    ASSERT_EQ(polyface.faces.size(), 1u);
    EXPECT_EQ(polyface.faces[0], (std::array<int, 4> { 1, -2, 3, 0 }));
    EXPECT_EQ(shapeOf<MText>(drawing.modelSpace[2]).text, u"firstsecondlast");
    EXPECT_EQ(shapeOf<Face>(drawing.modelSpace[3]).corners[3], (Vec3 { 0, 1, 0 }));
    const auto &minsert = shapeOf<Insert>(drawing.modelSpace[4]);
    EXPECT_EQ(minsert.columns, 3);
    EXPECT_EQ(minsert.rows, 2);
    EXPECT_EQ(minsert.columnSpacing, 5);
    EXPECT_EQ(minsert.scale, (Vec3 { 0, -1, 1 }));
    const auto &leader = shapeOf<Leader>(drawing.modelSpace[5]);
    EXPECT_EQ(leader.vertices.size(), 2u);
    EXPECT_DOUBLE_EQ(leader.arrowSize, 1.8);
    const auto &spline = shapeOf<Spline>(drawing.modelSpace[6]);
    EXPECT_TRUE(spline.closed);
    EXPECT_TRUE(spline.rational);
    EXPECT_EQ(spline.degree, 2);
    EXPECT_EQ(spline.knots, (std::vector<double> { 0, 1 }));
    EXPECT_EQ(spline.weights, (std::vector<double> { 0.5 }));
    const auto &attdef = shapeOf<Text>(drawing.modelSpace[7]);
    EXPECT_EQ(attdef.tag, u"TAG");
    EXPECT_TRUE(attdef.attributeInvisible);
    EXPECT_EQ(attdef.vertical, 3);
    const auto &xline = shapeOf<InfiniteLine>(drawing.modelSpace[8]);
    EXPECT_TRUE(std::isnan(xline.direction.x));
    EXPECT_TRUE(std::isinf(xline.direction.y));
    EXPECT_EQ(shapeOf<Unsupported>(drawing.modelSpace[9]).type, u"HELIX");

    ASSERT_EQ(drawing.activePaperSpace.size(), 1u);
    const auto &viewport = shapeOf<Viewport>(drawing.activePaperSpace[0]);
    EXPECT_EQ(viewport.frozenLayers, (std::vector<quint64> { 0x2B, 0x2C }));
    EXPECT_EQ(viewport.clipBoundary, 0x3Du);
    // No layout objects: one layout from the paper limits, in inches by $MEASUREMENT.
    EXPECT_EQ(drawing.activeLayout, u"Layout1");
    ASSERT_EQ(drawing.layouts.size(), 1);
    EXPECT_DOUBLE_EQ(drawing.layouts[0].paperWidth, 17 * 25.4);
    EXPECT_DOUBLE_EQ(drawing.layouts[0].paperHeight, 11 * 25.4);
    EXPECT_EQ(drawing.layouts[0].paperUnits, 0);
}

TEST(DxfReader, ReadsHatchBoundariesAndPatternsInGrammarOrder)
{
    const Drawing drawing = readDrawing(entitiesOnly(R"(
        0 HATCH
        10 0
        20 0
        30 2.5
        2 ANSI31
        70 0
        91 2
        92 7
        72 1
        73 1
        93 2
        10 0
        20 0
        42 1
        10 4
        20 0
        42 0
        97 1
        330 AB
        92 1
        93 2
        72 3
        10 1
        20 2
        11 3
        21 0
        40 0.5
        50 0
        51 180
        73 0
        72 4
        94 3
        73 0
        74 0
        95 2
        96 2
        40 0
        40 1
        10 0
        20 0
        10 9
        20 9
        97 0
        75 0
        76 1
        52 45
        41 2
        77 0
        78 1
        53 45
        43 0
        44 0
        45 -2.2
        46 2.2
        79 2
        49 3
        49 -1
        98 1
        10 7
        20 7
    )"),
        QStringLiteral("t.dxf"));
    const auto &hatch = shapeOf<Hatch>(drawing.modelSpace.at(0));
    EXPECT_EQ(hatch.pattern, u"ANSI31");
    EXPECT_FALSE(hatch.solid);
    EXPECT_EQ(hatch.elevation, 2.5);
    ASSERT_EQ(hatch.paths.size(), 2u);
    const HatchPath &polyline = hatch.paths[0];
    ASSERT_EQ(polyline.vertices.size(), 2u);
    EXPECT_EQ(polyline.vertices[0].bulge, 1);
    EXPECT_EQ(polyline.vertices[1].point, (Vec3 { 4, 0, 2.5 }));
    const HatchPath &edges = hatch.paths[1];
    ASSERT_EQ(edges.edges.size(), 2u);
    EXPECT_EQ(edges.edges[0].kind, HatchEdge::Kind::Ellipse);
    EXPECT_EQ(edges.edges[0].end, QPointF(3, 0));
    EXPECT_FALSE(edges.edges[0].counterClockwise);
    EXPECT_EQ(edges.edges[1].spline.controlPoints.size(), 2u);
    EXPECT_EQ(edges.edges[1].end, QPointF(9, 9));
    EXPECT_EQ(hatch.patternAngle, 45);
    EXPECT_EQ(hatch.patternScale, 2);
    ASSERT_EQ(hatch.patternLines.size(), 1u);
    EXPECT_EQ(hatch.patternLines[0].offset, QPointF(-2.2, 2.2));
    EXPECT_EQ(hatch.patternLines[0].dashes, (std::vector<double> { 3, -1 }));
}

TEST(DxfReader, DecodesCodePagesEscapesAndUtf8)
{
    QByteArray cyrillic = groups("0 SECTION\n2 HEADER\n9 $ACADVER\n1 AC1015\n9 $DWGCODEPAGE\n"
                                 "3 ansi_1251\n0 ENDSEC\n")
        + entitiesOnly("0 TEXT\n1 \xcf\xf0\xe8 \\U+00B1\\U+2205 \\P%%d");
    EXPECT_EQ(
        shapeOf<Text>(readDrawing(cyrillic, "t.dxf").modelSpace.at(0)).text, u"При ±∅ \\P%%d");
    const QByteArray utf8 = groups("0 SECTION\n2 HEADER\n9 $ACADVER\n1 AC1021\n9 $DWGCODEPAGE\n"
                                   "3 ANSI_1251\n0 ENDSEC\n")
        + entitiesOnly("0 TEXT\n8 Ebene-\xc3\x84\n1 \xe2\x82\xac");
    const Drawing drawing = readDrawing(utf8, "t.dxf");
    EXPECT_EQ(shapeOf<Text>(drawing.modelSpace.at(0)).text, u"€");
    EXPECT_EQ(drawing.modelSpace.at(0).common.layer, u"Ebene-Ä");
    const QByteArray unknown = groups("0 SECTION\n2 HEADER\n9 $DWGCODEPAGE\n3 ANSI_9999\n"
                                      "0 ENDSEC\n0 EOF");
    EXPECT_EQ(readDrawing(unknown, "t.dxf").warnings,
        QStringList("The code page ANSI_9999 is not known; texts are read as ANSI_1252"));
}

TEST(DxfReader, ReadsBinaryGroupsByTheirCodesType)
{
    QByteArray bytes("AutoCAD Binary DXF\r\n\x1a\0", 22);
    auto code = [&](quint16 value) { bytes.append(reinterpret_cast<const char *>(&value), 2); };
    auto string = [&](quint16 c, const char *value) {
        code(c);
        bytes.append(value, qsizetype(std::strlen(value)) + 1);
    };
    auto real = [&](quint16 c, double value) {
        code(c);
        bytes.append(reinterpret_cast<const char *>(&value), 8);
    };
    string(0, "SECTION");
    string(2, "ENTITIES");
    string(0, "CIRCLE");
    string(8, "L");
    code(62);
    bytes.append("\xfb\xff", 2);
    code(290);
    bytes.append('\1');
    code(310);
    bytes.append("\x03\x01\x02\x03", 4);
    real(10, 1.5);
    real(40, -2);
    string(0, "ENDSEC");
    string(0, "EOF");
    const Drawing drawing = readDrawing(bytes, "b.dxf");
    EXPECT_TRUE(drawing.binary);
    const Entity &circle = drawing.modelSpace.at(0);
    EXPECT_EQ(circle.common.colour, -5);
    EXPECT_EQ(circle.common.line, 43);
    EXPECT_EQ(shapeOf<Circle>(circle).centre.x, 1.5);
    EXPECT_EQ(shapeOf<Circle>(circle).radius, -2);
    EXPECT_EQ(
        errorOf(bytes.left(bytes.size() - 12)), u"t.dxf: byte 89: the file ends inside a group");
}

TEST(DxfReader, KeepsHugeCountsToTheGroupsThatFollow)
{
    const Drawing drawing = readDrawing(entitiesOnly(R"(
        0 LWPOLYLINE
        90 2000000000
        10 1
        20 2
        0 HATCH
        91 2147483647
        92 2
        93 2147483647
        10 1
        20 1
        92 0
        93 2147483647
        72 1
    )"),
        "t.dxf");
    EXPECT_EQ(shapeOf<Polyline>(drawing.modelSpace.at(0)).vertices.size(), 1u);
    const auto &hatch = shapeOf<Hatch>(drawing.modelSpace.at(1));
    ASSERT_EQ(hatch.paths.size(), 2u);
    EXPECT_EQ(hatch.paths[0].vertices.size(), 1u);
    EXPECT_EQ(hatch.paths[1].edges.size(), 1u);
}

TEST(DxfReader, ReadsManyEntitiesEachForItself)
{
    QByteArray text = groups("0 SECTION\n2 ENTITIES");
    for (int i = 0; i < 200000; ++i)
        text += "0\nPOINT\n";
    text += groups("0 ENDSEC\n0 EOF");
    const Drawing drawing = readDrawing(text, "t.dxf");
    ASSERT_EQ(drawing.modelSpace.size(), 200000u);
    EXPECT_EQ(drawing.modelSpace.back().common.line, 400003);
}

// Each fault names the file and the line of the group where the reader found it.
struct BadInput {
    const char *name;
    QByteArray bytes;
    const char *message;
};

class DxfReaderBadInput : public ::testing::TestWithParam<BadInput> { };

TEST_P(DxfReaderBadInput, IsRefusedWithItsLine)
{
    EXPECT_EQ(errorOf(GetParam().bytes), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(All, DxfReaderBadInput,
    ::testing::Values(BadInput { "Empty", "", "t.dxf: the file is empty" },
        BadInput { "Truncated", groups("0 SECTION\n2 ENTITIES\n0 LINE\n10 1"),
            "t.dxf: line 9: the file ends without EOF" },
        BadInput { "NoEndsec", groups("0 SECTION\n2 ENTITIES\n0 LINE\n0 SECTION\n0 EOF"),
            "t.dxf: line 7: ENDSEC expected, found \"SECTION\"" },
        BadInput { "NoEof", groups("0 SECTION\n2 ENTITIES\n0 ENDSEC"),
            "t.dxf: line 7: the file ends without EOF" },
        BadInput { "OddLines", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n",
            "t.dxf: line 7: group code 10 has no value" },
        BadInput { "NotANumber", entitiesOnly("0 LINE\n10 1,5"),
            "t.dxf: line 8: \"1,5\" is not a number (group code 10)" },
        BadInput { "NotAnInteger", entitiesOnly("0 LINE\n62 red"),
            "t.dxf: line 8: \"red\" is not a number (group code 62)" },
        BadInput { "NotAGroupCode", "LINE\n0\n", "t.dxf: line 1: \"LINE\" is not a group code" },
        BadInput { "NoSection", groups("0 LINE\n0 EOF"),
            "t.dxf: line 1: SECTION expected, found group code 0 \"LINE\"" },
        BadInput { "NoEndtab",
            groups("0 SECTION\n2 TABLES\n0 TABLE\n2 LAYER\n0 LAYER\n2 A\n0 ENDSEC\n0 EOF"),
            "t.dxf: line 13: the table LAYER ends without ENDTAB" },
        BadInput { "NoEndblk", groups("0 SECTION\n2 BLOCKS\n0 BLOCK\n2 B\n0 ENDSEC\n0 EOF"),
            "t.dxf: line 9: ENDBLK expected, found \"ENDSEC\"" }),
    [](const auto &info) { return std::string(info.param.name); });

// What other writers are known to write, taken as CAD programs take it.
TEST(DxfReader, TakesEmptyAndBadHandlesEscapedNamesAndPrivateTables)
{
    const Drawing drawing = readDrawing(groups(R"(
        0 SECTION
        2 HEADER
        9 $ACADVER
        1 AC1021
        0 ENDSEC
        0 SECTION
        2 TABLES
        0 TABLE
        2 ACME_PRIVATE
        5 <empty>
        0 ACME_RECORD
        2 anything
        330 not a handle
        0 ENDTAB
        0 TABLE
        2 LAYER
        0 LAYER
        5 <empty>
        2 Ebene-\U+00C4
        62 3
        0 LAYER
        5 G1
        2 Other
        0 ENDTAB
        0 ENDSEC
        0 SECTION
        2 ENTITIES
        0 LINE
        5 <empty>
        330 ?
        8 EBENE-<A umlaut>
        0 LINE
        5 2A
        0 ENDSEC
        0 EOF
    )")
                                            .replace("<empty>", "")
                                            .replace("<A umlaut>", "\xc3\x84"),
        "t.dxf");
    ASSERT_EQ(drawing.modelSpace.size(), 2u);
    // An empty or bad handle is no handle.
    EXPECT_EQ(drawing.modelSpace[0].common.handle, 0u);
    EXPECT_EQ(drawing.modelSpace[0].common.owner, 0u);
    EXPECT_EQ(drawing.modelSpace[1].common.handle, 0x2Au);
    EXPECT_TRUE(drawing.layerNamesByHandle.isEmpty());
    // The escaped name and the plain one are one layer.
    EXPECT_EQ(drawing.modelSpace[0].common.layer, u"EBENE-Ä");
    ASSERT_TRUE(drawing.layers.contains(QStringLiteral("EBENE-Ä")));
    EXPECT_EQ(drawing.layers.value(QStringLiteral("EBENE-Ä")).colour, 3);
    EXPECT_EQ(drawing.layers.size(), 2);
}

TEST(DxfReader, OpensTheRealDrawingsOtherWritersMade)
{
    const QDir corpus(QStringLiteral(QUILLET_SOURCE_DIR "/../shared/dxf-corpus"));
    if (!corpus.exists(QStringLiteral("cadman_empty_handles.dxf")))
        GTEST_SKIP() << "no drawings in " << corpus.path().toStdString();
    // A sheet-metal CAM export whose lines all have an empty handle.
    const Drawing cadman
        = readDrawingFile(corpus.filePath(QStringLiteral("cadman_empty_handles.dxf")));
    EXPECT_EQ(cadman.modelSpace.size(), 8u);
    EXPECT_EQ(cadman.modelSpace.at(0).common.layer, u"GEOMETRY-CUTTING");
}

TEST(DxfReader, RefusesAMissingFileByItsPath)
{
    const QString path = QDir::temp().filePath(QStringLiteral("quillet-no-such.dxf"));
    try {
        readDrawingFile(path);
        FAIL() << "no error";
    } catch (const ReadError &error) {
        EXPECT_TRUE(error.message().startsWith(path + QStringLiteral(": cannot be opened: ")));
    }
}

namespace {

QString testDrawing(const char *name)
{
    return QStringLiteral(QUILLET_TEST_DATA "/dxf/") + QString::fromLatin1(name);
}

// The first attribute with that tag among the inserts of these entities.
QString attribute(const std::vector<Entity> &entities, const QString &tag)
{
    for (const Entity &entity : entities) {
        if (const auto *insert = std::get_if<Insert>(&entity.shape)) {
            for (const Text &text : insert->attributes) {
                if (text.tag == tag)
                    return text.text;
            }
        }
    }
    return QString();
}

} // namespace

TEST(DxfReader, ReadsTheTestDrawings)
{
    const Drawing layouts = readDrawingFile(testDrawing("LAYOUTS.dxf"));
    EXPECT_EQ(layoutNames(layouts), QStringList({ "Model", "Sheet A", "Sheet B", "Spare" }));
    // The layout the file was saved on holds its entities in the ENTITIES section.
    EXPECT_EQ(layouts.layouts[2].block, u"*Paper_Space");
    EXPECT_EQ(layouts.activeLayout, u"Sheet B");
    EXPECT_EQ(layouts.customProperties,
        (QList<std::pair<QString, QString>> {
            { "PROJECT", "Quillet demo" }, { "DWG_NO", "HEADER-NO" } }));
    EXPECT_EQ(attribute(layouts.entitiesOf(layouts.layouts[1]), "DWG_NO"), u"QA-1001");
    EXPECT_EQ(attribute(layouts.entitiesOf(layouts.layouts[2]), "DWG_NO"), u"QA-1002");
    EXPECT_TRUE(layouts.entitiesOf(layouts.layouts[3]).empty());

    const Drawing r12 = readDrawingFile(testDrawing("R12.dxf"));
    ASSERT_EQ(layoutNames(r12), QStringList("Layout1"));
    EXPECT_EQ(r12.layouts[0].paperWidth, 420);
    const auto paperViewport = std::find_if(r12.activePaperSpace.begin(),
        r12.activePaperSpace.end(), [](const Entity &e) { return e.type == u"VIEWPORT"; });
    ASSERT_NE(paperViewport, r12.activePaperSpace.end());
    EXPECT_EQ(shapeOf<Viewport>(*paperViewport).viewCentre, QPointF(100, 50));
    EXPECT_EQ(shapeOf<Viewport>(*paperViewport).viewHeight, 150);

    const Drawing binary = readDrawingFile(testDrawing("BINARY.dxf"));
    EXPECT_TRUE(binary.binary);
    EXPECT_EQ(layoutNames(binary), QStringList({ "Model", "Binary" }));
    EXPECT_EQ(attribute(binary.entitiesOf(binary.layouts[1]), "DWG_NO"), u"BIN-1");

    const Drawing cyrillic = readDrawingFile(testDrawing("CP1251.dxf"));
    EXPECT_EQ(layoutNames(cyrillic), QStringList({ "Model", "Лист 1" }));
    EXPECT_EQ(attribute(cyrillic.entitiesOf(cyrillic.layouts[1]), "REV"), u"А");
    QStringList texts;
    for (const Entity &entity : cyrillic.modelSpace) {
        if (const auto *text = std::get_if<Text>(&entity.shape))
            texts.append(text->text);
    }
    EXPECT_TRUE(texts.contains(u"Диаметр ⌀ 12")) << texts.join(u'|').toStdString();

    const Drawing entities = readDrawingFile(testDrawing("ENTITIES.dxf"));
    QStringList unsupported;
    for (const Entity &entity : entities.modelSpace) {
        if (std::holds_alternative<Unsupported>(entity.shape))
            unsupported.append(entity.type);
    }
    EXPECT_EQ(unsupported, QStringList());
    EXPECT_EQ(entities.imageFiles.values(), QStringList("logo.png"));
    EXPECT_TRUE(entities.warnings.isEmpty()) << entities.warnings.join(u'\n').toStdString();
}

// QCAD keeps the page it plots a space by in the space's block record; the plot settings it also
// writes are defaults. Settings of other applications are not pages; a layout's page without
// paper is kept (its paper is the layout's media), model space's is not.
TEST(DxfReader, ReadsTheWritersOwnPageOfALayoutAndOfModelSpace)
{
    const Drawing drawing = readDrawing(groups(R"(
        0 SECTION
        2 TABLES
        0 TABLE
        2 BLOCK_RECORD
        0 BLOCK_RECORD
        5 1F
        2 *Paper_Space
        1001 QCAD
        1000 PageSettings/OffsetX:-3.95
        1000 PageSettings/OffsetY:-2.5
        1000 PageSettings/PageOrientation:Landscape
        1000 PageSettings/PaperHeight:420
        1000 PageSettings/PaperWidth:297
        1000 PageSettings/Scale:1:2
        1001 OTHER
        1000 PageSettings/Scale:5
        0 BLOCK_RECORD
        5 2A
        2 *Model_Space
        1001 QCAD
        1000 PageSettings/PaperWidth:210
        1000 PageSettings/PaperHeight:297
        1000 PageSettings/Scale:1.37
        0 BLOCK_RECORD
        5 2B
        2 *Paper_Space0
        1001 QCAD
        1000 PageSettings/Scale:1:1
        0 ENDTAB
        0 ENDSEC
        0 SECTION
        2 OBJECTS
        0 LAYOUT
        5 30
        100 AcDbPlotSettings
        44 210
        45 297
        100 AcDbLayout
        1 Sheet
        71 1
        330 1F
        0 LAYOUT
        5 31
        100 AcDbLayout
        1 Other
        71 2
        330 2B
        0 ENDSEC
        0 EOF
    )"),
        QStringLiteral("t.dxf"));
    ASSERT_EQ(layoutNames(drawing), (QStringList { "Sheet", "Other" }));
    ASSERT_TRUE(drawing.layouts[0].ownPage);
    const OwnPage &page = *drawing.layouts[0].ownPage;
    EXPECT_EQ(page.paperWidth, 297);
    EXPECT_EQ(page.paperHeight, 420);
    EXPECT_TRUE(page.landscape);
    EXPECT_EQ(page.scale, 0.5);
    EXPECT_EQ(page.offset, QPointF(-3.95, -2.5));
    ASSERT_TRUE(drawing.layouts[1].ownPage);
    EXPECT_EQ(drawing.layouts[1].ownPage->paperWidth, 0);
    ASSERT_TRUE(drawing.modelPage);
    EXPECT_EQ(drawing.modelPage->scale, 1.37);
    EXPECT_FALSE(drawing.modelPage->landscape);
}

// LibreCAD prints model space by its own setup: the header's paper limits are the paper and the
// drawing's origin lands at the paper insertion base, at the print scale. Other writers' headers
// mean other things by these, and a base at the origin is a print never set up.
TEST(DxfReader, ReadsLibreCadsPrintSetupAsModelSpacesPage)
{
    const auto drawing = [](const char *application, const char *base) {
        return readDrawing(groups(QStringLiteral(R"(
            0 SECTION
            2 HEADER
            9 $PLIMMIN
            10 0
            20 0
            9 $PLIMMAX
            10 297
            20 210
            9 $PINSBASE
            10 %2
            20 %2
            30 0
            9 $PSVPSCALE
            40 0.5
            0 ENDSEC
            0 SECTION
            2 TABLES
            0 TABLE
            2 APPID
            0 APPID
            2 ACAD
            0 APPID
            2 %1
            0 ENDTAB
            0 ENDSEC
            0 EOF
        )")
                                      .arg(QLatin1String(application), QLatin1String(base))
                                      .toUtf8()),
            QStringLiteral("t.dxf"));
    };
    const Drawing libreCad = drawing("LibreCad", "67");
    ASSERT_TRUE(libreCad.modelPage);
    EXPECT_EQ(libreCad.modelPage->paperWidth, 297);
    EXPECT_EQ(libreCad.modelPage->paperHeight, 210);
    EXPECT_TRUE(libreCad.modelPage->landscape);
    EXPECT_EQ(libreCad.modelPage->scale, 0.5);
    EXPECT_EQ(libreCad.modelPage->offset, QPointF(-134, -134));
    EXPECT_FALSE(drawing("OTHER", "67").modelPage);
    EXPECT_FALSE(drawing("LibreCad", "0").modelPage);
}
