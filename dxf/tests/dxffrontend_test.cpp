#include "dxf/dxffrontend.h"
#include "dxf/dxfsheets.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

Entity entity(Shape shape, const QString &type, const QString &layer = QStringLiteral("0"))
{
    Entity e;
    e.shape = std::move(shape);
    e.type = type;
    e.common.layer = layer;
    return e;
}

Entity line(double x0, double y0, double x1, double y1, const QString &layer = QStringLiteral("0"))
{
    return entity(Line { { x0, y0, 0 }, { x1, y1, 0 } }, QStringLiteral("LINE"), layer);
}

Layer layer(const QString &name, int colour)
{
    Layer l;
    l.name = name;
    l.colour = colour;
    return l;
}

// A sheet that draws drawing units as paper mm.
SheetInfo plainSheet()
{
    SheetInfo sheet;
    sheet.name = QStringLiteral("Model");
    sheet.paper = QSizeF(200, 100);
    return sheet;
}

std::vector<Stroke> strokes(const Picture &picture)
{
    std::vector<Stroke> result;
    for (const PictureItem &item : picture.items) {
        if (const auto *s = std::get_if<Stroke>(&item))
            result.push_back(*s);
    }
    return result;
}

template <typename T> std::vector<T> itemsOf(const Picture &picture)
{
    std::vector<T> result;
    for (const PictureItem &item : picture.items) {
        if (const auto *t = std::get_if<T>(&item))
            result.push_back(*t);
    }
    return result;
}

Layout layout(const QString &name, int tabOrder, const QString &block)
{
    Layout l;
    l.name = name;
    l.tabOrder = tabOrder;
    l.block = block;
    l.paperWidth = 297;
    l.paperHeight = 210;
    return l;
}

Entity viewport(int id)
{
    Viewport vp;
    vp.id = id;
    vp.centre = { 50, 50, 0 };
    vp.width = 40;
    vp.height = 20;
    vp.viewHeight = 10;
    return entity(vp, QStringLiteral("VIEWPORT"));
}

} // namespace

TEST(DxfSheets, LayoutsHoldingMoreThanTheirOwnViewportInTabOrder)
{
    Drawing drawing;
    drawing.layouts = { layout(QStringLiteral("Empty"), 1, QStringLiteral("*Paper_Space")),
        layout(QStringLiteral("Second"), 3, QStringLiteral("*Paper_Space1")),
        layout(QStringLiteral("First"), 2, QStringLiteral("*Paper_Space2")) };
    drawing.activePaperSpace = { viewport(1) };
    drawing.blocks[QStringLiteral("*PAPER_SPACE1")].entities = { line(0, 0, 1, 1) };
    drawing.blocks[QStringLiteral("*PAPER_SPACE2")].entities = { viewport(1), viewport(2) };
    drawing.activeLayout = QStringLiteral("second");

    const QList<SheetInfo> sheets = sheetsOf(drawing);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].name, QStringLiteral("First"));
    EXPECT_EQ(sheets[1].name, QStringLiteral("Second"));
    EXPECT_EQ(currentSheetIndex(drawing, sheets), 1);
    drawing.activeLayout.clear();
    EXPECT_EQ(currentSheetIndex(drawing, sheets), 0);

    drawing.blocks.clear();
    const QList<SheetInfo> model = sheetsOf(drawing);
    ASSERT_EQ(model.size(), 1);
    EXPECT_EQ(model[0].name, QStringLiteral("Model"));
    EXPECT_EQ(model[0].layout, nullptr);
}

TEST(DxfSheets, PaperAndPlacementOfALayout)
{
    Drawing drawing;
    Layout l = layout(QStringLiteral("A4"), 1, QStringLiteral("*Paper_Space"));
    l.marginLeft = 5;
    l.marginBottom = 7;
    l.plotOrigin = QPointF(1, 2);
    drawing.layouts = { l };
    drawing.activePaperSpace = { line(0, 0, 10, 0) };
    SheetInfo sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(297, 210));
    EXPECT_EQ(sheet.toPaper.map(QPointF(10, 20)), QPointF(16, 29));

    // Inches, half scale, turned a quarter counter-clockwise: the paper stands upright.
    drawing.layouts[0].paperUnits = 0;
    drawing.layouts[0].printScaleDenominator = 2;
    drawing.layouts[0].rotation = 1;
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(210, 297));
    EXPECT_EQ(sheet.toPaper.map(QPointF(0, 0)), QPointF(210 - 9, 6));
    EXPECT_EQ(sheet.toPaper.map(QPointF(1, 0)), QPointF(210 - 9, 6 + 12.7));

    // Without a paper size the limits tell it; a zero scale counts as 1:1.
    drawing.layouts[0] = layout(QStringLiteral("A4"), 1, QStringLiteral("*Paper_Space"));
    drawing.layouts[0].paperWidth = std::nan("");
    drawing.layouts[0].limitsMin = QPointF(-10, -10);
    drawing.layouts[0].limitsMax = QPointF(90, 40);
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(100, 50));
    EXPECT_EQ(sheet.toPaper.map(QPointF(-10, -10)), QPointF(0, 0));
}

TEST(DxfSheets, ModelSheetIsTheExtentsWithAMarginWithinA0)
{
    Drawing drawing;
    drawing.insertionUnits = 5; // cm
    drawing.extentsMin = { 0, 0, 0 };
    drawing.extentsMax = { 10, 5, 0 };
    SheetInfo sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(110, 55));
    EXPECT_EQ(sheet.toPaper.map(QPointF(0, 0)), QPointF(5, 2.5));

    // Unset extents: the entities' bounds; too large: shrunk into A0 upright.
    drawing.insertionUnits = 0;
    drawing.extentsMin = { 1e20, 1e20, 1e20 };
    drawing.extentsMax = { -1e20, -1e20, -1e20 };
    drawing.modelSpace = { line(0, 0, 500, 2000) };
    sheet = sheetsOf(drawing).front();
    EXPECT_DOUBLE_EQ(sheet.paper.height(), 1189);
    EXPECT_DOUBLE_EQ(sheet.paper.width(), 1189.0 / 4);

    drawing.modelSpace = { line(3, 3, 3, 3) };
    EXPECT_EQ(sheetsOf(drawing).front().paper, QSizeF(10, 10));
}

TEST(DxfFrontEnd, ColoursThroughByLayerByBlockAndLayerZero)
{
    Drawing drawing;
    drawing.layers[QStringLiteral("0")] = layer(QStringLiteral("0"), 5);
    drawing.layers[QStringLiteral("RED")] = layer(QStringLiteral("RED"), 1);
    Block &block = drawing.blocks[QStringLiteral("B")];
    block.entities = { line(0, 0, 1, 0), line(0, 1, 1, 1), line(0, 2, 1, 2) };
    block.entities[1].common.colour = Aci::ByBlock;
    block.entities[2].common.colour = 7;
    Insert insert;
    insert.block = QStringLiteral("b");
    Entity e = entity(insert, QStringLiteral("INSERT"), QStringLiteral("red"));
    e.common.colour = 3;
    Entity byBlockAtTop = line(0, 5, 1, 5);
    byBlockAtTop.common.colour = Aci::ByBlock;
    Entity white = line(0, 6, 1, 6);
    white.common.colour = 1;
    white.common.trueColour = 0xffffff;
    drawing.modelSpace = { e, byBlockAtTop, white, line(0, 7, 1, 7) };

    const std::vector<Stroke> s = strokes(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].colour, qRgb(255, 0, 0));
    EXPECT_EQ(s[1].colour, qRgb(0, 255, 0));
    EXPECT_EQ(s[2].colour, qRgb(0, 0, 0));
    EXPECT_EQ(s[3].colour, qRgb(0, 0, 0));
    EXPECT_EQ(s[4].colour, qRgb(0, 0, 0));
    EXPECT_EQ(s[5].colour, qRgb(0, 0, 255));
    EXPECT_EQ(s[0].width, 0.25);

    // A frozen layer hides the whole insert, even its layer-0 entities.
    drawing.layers[QStringLiteral("RED")].frozen = true;
    EXPECT_EQ(strokes(drawSheet(drawing, plainSheet(), {})).size(), 3u);
}

TEST(DxfFrontEnd, ViewportScalesClipsAndLeavesOutItsFrozenLayers)
{
    Drawing drawing;
    Layer hidden = layer(QStringLiteral("HIDDEN"), 7);
    hidden.handle = 0x42;
    drawing.layers[QStringLiteral("HIDDEN")] = hidden;
    drawing.layerNamesByHandle[0x42] = QStringLiteral("Hidden");
    drawing.layouts = { layout(QStringLiteral("Sheet"), 1, QStringLiteral("*Paper_Space")) };
    Entity vp = viewport(2);
    std::get<Viewport>(vp.shape).frozenLayers = { 0x42 };
    drawing.activePaperSpace = { viewport(1), vp };
    drawing.modelSpace = { line(-100, 1, 100, 1), line(-1, -1, 1, -1, QStringLiteral("Hidden")),
        line(20, 20, 30, 30) };

    const SheetInfo sheet = sheetsOf(drawing).front();
    const Picture picture = drawSheet(drawing, sheet, {});
    const std::vector<Stroke> s = strokes(picture);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].points.size(), 2u);
    EXPECT_EQ(s[0].points[0], QPointF(30, 52));
    EXPECT_EQ(s[0].points[1], QPointF(70, 52));
    EXPECT_EQ(picture.paper, QSizeF(297, 210));

    // A viewport looking along another axis is not drawn, and said so.
    std::get<Viewport>(drawing.activePaperSpace[1].shape).viewDirection = { 1, 0, 0 };
    const Picture side = drawSheet(drawing, sheet, {});
    EXPECT_TRUE(side.items.empty());
    EXPECT_EQ(side.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("VIEWPORT (3D view)"), 1 } }));
}

TEST(DxfFrontEnd, BlocksThatCannotBeDrawnAreCounted)
{
    Drawing drawing;
    Insert self;
    self.block = QStringLiteral("LOOP");
    drawing.blocks[QStringLiteral("LOOP")].entities
        = { line(0, 0, 1, 1), entity(self, QStringLiteral("INSERT")) };
    Insert missing;
    missing.block = QStringLiteral("NOWHERE");
    Insert flat = self;
    flat.scale = { 1, 0, 1 };
    drawing.modelSpace
        = { entity(self, QStringLiteral("INSERT")), entity(missing, QStringLiteral("INSERT")),
              entity(flat, QStringLiteral("INSERT")), line(0, 0, std::nan(""), 1),
              entity(Unsupported { QStringLiteral("MESH") }, QStringLiteral("MESH")) };

    const Picture picture = drawSheet(drawing, plainSheet(), {});
    EXPECT_EQ(strokes(picture).size(), 1u);
    EXPECT_EQ(picture.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("INSERT (missing block)"), 1 },
            { QStringLiteral("INSERT (recursive)"), 1 }, { QStringLiteral("INSERT (scale 0)"), 1 },
            { QStringLiteral("LINE"), 1 }, { QStringLiteral("MESH"), 1 } }));
}

TEST(DxfFrontEnd, DashesFollowTheLinetypeAndItsScales)
{
    Drawing drawing;
    drawing.linetypeScale = 2;
    Linetype dashed;
    dashed.name = QStringLiteral("DASHED");
    dashed.pattern = { 5, -2.5 };
    drawing.linetypes[QStringLiteral("DASHED")] = dashed;
    Entity e = line(0, 0, 100, 0);
    e.common.linetype = QStringLiteral("Dashed");
    drawing.modelSpace = { e };

    const std::vector<Stroke> s = strokes(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(s.size(), 7u);
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(s[i].points.size(), 2u);
        EXPECT_DOUBLE_EQ(s[i].points[0].x(), 15.0 * i);
        EXPECT_DOUBLE_EQ(s[i].points[1].x(), 15.0 * i + 10);
    }
}

TEST(DxfFrontEnd, PolylineBulgesAreArcsEndingAtTheNextVertex)
{
    Drawing drawing;
    Polyline p;
    p.vertices = { { { 0, 0, 0 }, 0, 0, 1 }, { { 10, 0, 0 }, 0, 0, 0 }, { { 10, 10, 0 } } };
    drawing.modelSpace = { entity(p, QStringLiteral("LWPOLYLINE")) };
    const std::vector<Stroke> s = strokes(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(s.size(), 1u);
    const std::vector<QPointF> &points = s[0].points;
    EXPECT_EQ(points.front(), QPointF(0, 0));
    EXPECT_EQ(points.back(), QPointF(10, 10));
    EXPECT_EQ(points[points.size() - 2], QPointF(10, 0));
    double lowest = 0;
    for (QPointF q : points)
        lowest = std::min(lowest, q.y());
    EXPECT_NEAR(lowest, -5, 0.05);
}

TEST(DxfFrontEnd, TextAlignmentsAndMTextLines)
{
    Drawing drawing;
    TextStyle standard;
    standard.name = QStringLiteral("Standard");
    standard.font = QStringLiteral("arial.ttf");
    drawing.styles.insert(QStringLiteral("STANDARD"), standard);
    Text centred;
    centred.text = QStringLiteral("%%c10");
    centred.horizontal = 1;
    centred.alignPoint = { 10, 10, 0 };
    centred.hasAlignPoint = true;
    Text topRight = centred;
    topRight.text = QStringLiteral("R");
    topRight.horizontal = 2;
    topRight.vertical = 3;
    Text fit = centred;
    fit.text = QStringLiteral("FIT");
    fit.horizontal = 5;
    fit.insert = { 10, 0, 0 };
    fit.alignPoint = { 10, 30, 0 };
    MText mtext;
    mtext.insert = { 0, 50, 0 };
    mtext.height = 1;
    mtext.referenceWidth = 4;
    mtext.text = QStringLiteral("one two\\Pa\\~b {\\C1;r}");
    drawing.modelSpace
        = { entity(centred, QStringLiteral("TEXT")), entity(topRight, QStringLiteral("TEXT")),
              entity(fit, QStringLiteral("TEXT")), entity(mtext, QStringLiteral("MTEXT")) };

    const std::vector<TextRun> runs = itemsOf<TextRun>(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[0].text, QString(QChar(0x2300)) + QStringLiteral("10"));
    EXPECT_EQ(runs[0].anchor, TextRun::Anchor::Centre);
    EXPECT_EQ(runs[0].position, QPointF(10, 10));
    EXPECT_EQ(runs[1].anchor, TextRun::Anchor::Right);
    EXPECT_EQ(runs[1].position, QPointF(10, 7.5));
    EXPECT_EQ(runs[2].position, QPointF(10, 0));
    EXPECT_DOUBLE_EQ(runs[2].rotation, 90);
    EXPECT_DOUBLE_EQ(runs[2].fitWidth, 30);
    // Wrapped at the reference width, a new paragraph at \P, a colour change a run of its own.
    EXPECT_EQ(runs[3].text, QStringLiteral("one"));
    EXPECT_EQ(runs[4].text, QStringLiteral("two"));
    EXPECT_EQ(runs[5].text, QStringLiteral("a\u00a0b "));
    EXPECT_EQ(runs[6].text, QStringLiteral("r"));
    EXPECT_EQ(runs[6].colour, qRgb(255, 0, 0));
    EXPECT_EQ(runs[3].position, QPointF(0, 49));
    EXPECT_DOUBLE_EQ(runs[4].position.y(), 49 - 5.0 / 3);
    EXPECT_DOUBLE_EQ(runs[6].position.y(), runs[5].position.y());
    EXPECT_GT(runs[6].position.x(), runs[5].position.x());
}

TEST(DxfFrontEnd, HatchesFillRingsOrDrawTheirPatternInside)
{
    Drawing drawing;
    HatchPath square;
    square.isPolyline = true;
    for (QPointF p :
        { QPointF(-0.5, -0.5), QPointF(9.5, -0.5), QPointF(9.5, 9.5), QPointF(-0.5, 9.5) })
        square.vertices.push_back({ { p.x(), p.y(), 0 } });
    HatchPath hole;
    HatchEdge circle;
    circle.kind = HatchEdge::Kind::Arc;
    circle.centre = QPointF(5, 5);
    circle.radius = 2;
    circle.endAngle = 360;
    hole.edges = { circle };
    Hatch solid;
    solid.solid = true;
    solid.paths = { square, hole };
    Hatch lines;
    lines.paths = { square };
    lines.patternLines = { { 0, {}, { 0, 1 }, {} } };
    drawing.modelSpace
        = { entity(solid, QStringLiteral("HATCH")), entity(lines, QStringLiteral("HATCH")) };

    const Picture picture = drawSheet(drawing, plainSheet(), {});
    const std::vector<Fill> fills = itemsOf<Fill>(picture);
    ASSERT_EQ(fills.size(), 1u);
    ASSERT_EQ(fills[0].rings.size(), 2u);
    EXPECT_EQ(fills[0].rings[0].size(), 5u);
    EXPECT_EQ(fills[0].rings[1].front(), QPointF(7, 5));
    const std::vector<Stroke> s = strokes(picture);
    ASSERT_EQ(s.size(), 10u);
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].points.front(), QPointF(-0.5, double(i)));
        EXPECT_EQ(s[i].points.back(), QPointF(9.5, double(i)));
    }

    // A pattern far too fine for its area: the outline only, and said so.
    drawing.modelSpace[1].shape = [&] {
        Hatch fine = lines;
        fine.patternLines[0].offset = QPointF(0, 1e-6);
        return fine;
    }();
    const Picture dense = drawSheet(drawing, plainSheet(), {});
    EXPECT_EQ(strokes(dense).size(), 1u);
    EXPECT_EQ(dense.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("HATCH (pattern too dense)"), 1 } }));
}
