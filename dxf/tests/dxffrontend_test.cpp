#include "dxf/dxffrontend.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

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

// Where a point of the sheet's own space lands on the paper, to a thousandth of a millimetre.
void expectOnPaper(const SheetInfo &sheet, QPointF from, QPointF expected)
{
    const QPointF p = sheet.toPaper.map(from);
    EXPECT_NEAR(p.x(), expected.x(), 1e-3) << "x of " << from.x() << ", " << from.y();
    EXPECT_NEAR(p.y(), expected.y(), 1e-3) << "y of " << from.x() << ", " << from.y();
}

TEST(DxfSheets, LayoutsArePlottedUprightOnTheirTurnedMediaAtTheirScale)
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
    expectOnPaper(sheet, QPointF(10, 20), QPointF(16, 29));

    // Upright A4 media turned a quarter counter-clockwise, as CAD programs keep a landscape
    // layout: the page is landscape, the drawing upright, the media's bottom margin on the left
    // (its limits start at minus the margins).
    Layout &a4 = drawing.layouts[0];
    a4 = layout(QStringLiteral("A4"), 1, QStringLiteral("*Paper_Space"));
    a4.paperWidth = 210;
    a4.paperHeight = 297;
    a4.marginLeft = 7.5;
    a4.marginBottom = 20;
    a4.marginRight = 7.5;
    a4.marginTop = 20;
    a4.rotation = 1;
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(297, 210));
    expectOnPaper(sheet, QPointF(-20, -7.5), QPointF(0, 0));
    expectOnPaper(sheet, QPointF(100, 0), QPointF(120, 7.5));
    // Turned the other way, the media's top margin is on the left.
    a4.rotation = 3;
    expectOnPaper(sheetsOf(drawing).front(), QPointF(0, 0), QPointF(20, 7.5));
    a4.marginTop = 30;
    expectOnPaper(sheetsOf(drawing).front(), QPointF(0, 0), QPointF(30, 7.5));

    // Inches on upright tabloid media: inch units, the plot origin's offset turned with it.
    Layout &tabloid = drawing.layouts[0];
    tabloid = layout(QStringLiteral("11x17"), 1, QStringLiteral("*Paper_Space"));
    tabloid.paperWidth = 279.4;
    tabloid.paperHeight = 431.8;
    tabloid.marginBottom = 5;
    tabloid.marginRight = 3;
    tabloid.plotOrigin = QPointF(4, 1);
    tabloid.paperUnits = 0;
    tabloid.rotation = 1;
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(431.8, 279.4));
    expectOnPaper(sheet, QPointF(0, 0), QPointF(6, 7));
    expectOnPaper(sheet, QPointF(1, 2), QPointF(6 + 25.4, 7 + 50.8));
    // Half scale.
    tabloid.printScaleDenominator = 2;
    expectOnPaper(sheetsOf(drawing).front(), QPointF(1, 2), QPointF(6 + 12.7, 7 + 25.4));

    // Extents centred on the printable area (the file's own, else what the layout draws).
    tabloid.printScaleDenominator = 1;
    tabloid.marginBottom = tabloid.marginRight = 0;
    tabloid.plotType = 1;
    tabloid.plotFlags = 4;
    drawing.activePaperSpace = { line(1, 1, 11, 6) };
    sheet = sheetsOf(drawing).front();
    expectOnPaper(sheet, QPointF(1, 1), QPointF((431.8 - 254) / 2, (279.4 - 127) / 2));
    tabloid.extentsMin = { 0, 0, 0 };
    tabloid.extentsMax = { 10, 5, 0 };
    expectOnPaper(sheetsOf(drawing).front(), QPointF(0, 0), QPointF(88.9, 76.2));
    // A millimetre scale given to an inch layout: only that reading fits the paper.
    tabloid.plotFlags = 0;
    tabloid.printScaleNumerator = 25.4;
    expectOnPaper(sheetsOf(drawing).front(), QPointF(10, 5), QPointF(254 + 1, 127 + 4));
    // Fitted: the standard scale "scaled to fit" wins over the ratio written.
    tabloid.plotFlags = 16;
    tabloid.standardScale = 0;
    sheet = sheetsOf(drawing).front();
    expectOnPaper(sheet, QPointF(0, 0), QPointF(0, (279.4 - 431.8 / 2) / 2));
    expectOnPaper(sheet, QPointF(10, 5), QPointF(431.8, (279.4 + 431.8 / 2) / 2));

    // The writer's own page wins over the plot settings it wrote for other programs: the
    // drawing point at the paper's corner, paper mm per unit.
    tabloid.ownPage = OwnPage { 297, 420, true, 1.37, QPointF(-4, -2) };
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(420, 297));
    expectOnPaper(sheet, QPointF(0, 0), QPointF(4 * 1.37, 2 * 1.37));
    expectOnPaper(sheet, QPointF(10, 10), QPointF(14 * 1.37, 12 * 1.37));

    // Without a paper size the limits tell it; a zero scale counts as 1:1.
    drawing.layouts[0] = layout(QStringLiteral("A4"), 1, QStringLiteral("*Paper_Space"));
    drawing.layouts[0].paperWidth = std::nan("");
    drawing.layouts[0].limitsMin = QPointF(-10, -10);
    drawing.layouts[0].limitsMax = QPointF(90, 40);
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(100, 50));
    expectOnPaper(sheet, QPointF(-10, -10), QPointF(0, 0));
}

TEST(DxfSheets, ModelSheetIsWhatModelSpaceDrawsWithAMarginBetweenA4AndA0)
{
    Drawing drawing;
    drawing.insertionUnits = 5; // cm
    drawing.modelSpace = { line(0, 0, 100, 50) };
    SheetInfo sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(1100, 550));
    expectOnPaper(sheet, QPointF(0, 0), QPointF(50, 25));

    // The header's extents, which writers leave stale, do not count; too large: shrunk into A0
    // upright.
    drawing.insertionUnits = 0;
    drawing.extentsMin = { 0, 0, 0 };
    drawing.extentsMax = { 10, 10, 0 };
    drawing.modelSpace = { line(0, 0, 500, 2000) };
    sheet = sheetsOf(drawing).front();
    EXPECT_DOUBLE_EQ(sheet.paper.height(), 1189);
    EXPECT_DOUBLE_EQ(sheet.paper.width(), 1189.0 / 4);

    // A text counts with its box, not its insertion point alone: a title at the right edge
    // stays on the page.
    Text title;
    title.insert = { 500, 0, 0 };
    title.height = 100;
    title.text = QStringLiteral("TITLE");
    drawing.modelSpace.push_back(entity(title, QStringLiteral("TEXT")));
    sheet = sheetsOf(drawing).front();
    EXPECT_GT(sheet.toPaper.inverted().map(QPointF(sheet.paper.width(), 0)).x(), 800);
    drawing.modelSpace.pop_back();

    // Smaller than A4: enlarged to it.
    drawing.modelSpace = { line(0, 0, 4, 2) };
    sheet = sheetsOf(drawing).front();
    EXPECT_DOUBLE_EQ(sheet.paper.width(), 297);
    EXPECT_DOUBLE_EQ(sheet.paper.height(), 148.5);
    expectOnPaper(sheet, QPointF(2, 1), QPointF(148.5, 74.25));

    // A single point, or nothing: A4, the point in its middle.
    drawing.extentsMin = { 1e20, 1e20, 1e20 };
    drawing.extentsMax = { -1e20, -1e20, -1e20 };
    drawing.modelSpace = { line(3, 3, 3, 3) };
    sheet = sheetsOf(drawing).front();
    EXPECT_EQ(sheet.paper, QSizeF(297, 210));
    expectOnPaper(sheet, QPointF(3, 3), QPointF(148.5, 105));
    drawing.modelSpace.clear();
    EXPECT_EQ(sheetsOf(drawing).front().paper, QSizeF(297, 210));
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

    const std::vector<Stroke> s = itemsOf<Stroke>(drawSheet(drawing, plainSheet(), {}));
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
    EXPECT_EQ(itemsOf<Stroke>(drawSheet(drawing, plainSheet(), {})).size(), 3u);
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
    const std::vector<Stroke> s = itemsOf<Stroke>(picture);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].points.size(), 2u);
    EXPECT_EQ(s[0].points[0], QPointF(30, 52));
    EXPECT_EQ(s[0].points[1], QPointF(70, 52));
    EXPECT_EQ(picture.paper, QSizeF(297, 210));

    // The view centre is relative to the view's target: the same viewport aimed 2 units down.
    std::get<Viewport>(drawing.activePaperSpace[1].shape).viewTarget = { 0, -2, 0 };
    EXPECT_EQ(itemsOf<Stroke>(drawSheet(drawing, sheet, {})).at(0).points[0], QPointF(30, 56));
    std::get<Viewport>(drawing.activePaperSpace[1].shape).viewTarget = {};

    // A layout that was not current keeps its viewports with id and status 0, its own first:
    // they show unless their flags say off (only R12 says off by the status alone).
    for (Entity &e : drawing.activePaperSpace) {
        std::get<Viewport>(e.shape).id = 0;
        std::get<Viewport>(e.shape).status = 0;
    }
    drawing.version = QStringLiteral("AC1027");
    EXPECT_EQ(itemsOf<Stroke>(drawSheet(drawing, sheet, {})).size(), 1u);
    EXPECT_EQ(sheetsOf(drawing).front().name, QStringLiteral("Sheet"));
    drawing.version = QStringLiteral("AC1009");
    EXPECT_TRUE(drawSheet(drawing, sheet, {}).items.empty());
    drawing.version = QStringLiteral("AC1027");
    std::get<Viewport>(drawing.activePaperSpace[1].shape).flags = 0x20000;
    EXPECT_TRUE(drawSheet(drawing, sheet, {}).items.empty());
    std::get<Viewport>(drawing.activePaperSpace[1].shape).flags = 0;
    // Its own viewport alone is nothing to show.
    drawing.activePaperSpace.pop_back();
    EXPECT_EQ(sheetsOf(drawing).front().name, QStringLiteral("Model"));
    drawing.activePaperSpace.push_back(vp);

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
              entity(Unsupported { QStringLiteral("3DSOLID") }, QStringLiteral("3DSOLID")) };

    const Picture picture = drawSheet(drawing, plainSheet(), {});
    EXPECT_EQ(itemsOf<Stroke>(picture).size(), 1u);
    EXPECT_EQ(picture.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("3DSOLID"), 1 },
            { QStringLiteral("INSERT (missing block)"), 1 },
            { QStringLiteral("INSERT (recursive)"), 1 }, { QStringLiteral("INSERT (scale 0)"), 1 },
            { QStringLiteral("LINE"), 1 } }));
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

    const std::vector<Stroke> s = itemsOf<Stroke>(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(s.size(), 7u);
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(s[i].points.size(), 2u);
        EXPECT_DOUBLE_EQ(s[i].points[0].x(), 15.0 * i);
        EXPECT_DOUBLE_EQ(s[i].points[1].x(), 15.0 * i + 10);
    }

    // Seen through a viewport at 1:2, the dashes keep their paper length (10 mm on, 5 off)
    // while the line halves; unless paper space does not scale linetypes.
    drawing.layouts = { layout(QStringLiteral("Sheet"), 1, QStringLiteral("*Paper_Space")) };
    Entity vp = viewport(2);
    std::get<Viewport>(vp.shape).viewCentre = QPointF(50, 0);
    std::get<Viewport>(vp.shape).width = 200;
    std::get<Viewport>(vp.shape).viewHeight = 40;
    drawing.activePaperSpace = { viewport(1), vp };
    const SheetInfo sheet = sheetsOf(drawing).front();
    const std::vector<Stroke> seen = itemsOf<Stroke>(drawSheet(drawing, sheet, {}));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_DOUBLE_EQ(seen[1].points[0].x() - seen[0].points[0].x(), 15);
    EXPECT_DOUBLE_EQ(seen[0].points[1].x() - seen[0].points[0].x(), 10);
    drawing.paperLinetypeScaling = false;
    EXPECT_EQ(itemsOf<Stroke>(drawSheet(drawing, sheet, {})).size(), 7u);
}

TEST(DxfFrontEnd, PolylineBulgesAreArcsEndingAtTheNextVertex)
{
    Drawing drawing;
    Polyline p;
    p.vertices = { { { 0, 0, 0 }, 0, 0, 1 }, { { 10, 0, 0 }, 0, 0, 0 }, { { 10, 10, 0 } } };
    drawing.modelSpace = { entity(p, QStringLiteral("LWPOLYLINE")) };
    const std::vector<Stroke> s = itemsOf<Stroke>(drawSheet(drawing, plainSheet(), {}));
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

    // The attachment's column says where a line anchors, its row where the lines hang.
    MText topRightMText;
    topRightMText.insert = { 50, 50, 0 };
    topRightMText.height = 2;
    topRightMText.text = QStringLiteral("TR");
    topRightMText.attachment = 3;
    MText bottomLeftMText = topRightMText;
    bottomLeftMText.text = QStringLiteral("BL");
    bottomLeftMText.attachment = 7;
    drawing.modelSpace = { entity(topRightMText, QStringLiteral("MTEXT")),
        entity(bottomLeftMText, QStringLiteral("MTEXT")) };
    const std::vector<TextRun> attached = itemsOf<TextRun>(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(attached.size(), 2u);
    EXPECT_EQ(attached[0].anchor, TextRun::Anchor::Right);
    EXPECT_EQ(attached[0].position, QPointF(50, 48));
    EXPECT_EQ(attached[1].anchor, TextRun::Anchor::Left);
    EXPECT_EQ(attached[1].position, QPointF(50, 50));
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
    const std::vector<Stroke> s = itemsOf<Stroke>(picture);
    ASSERT_EQ(s.size(), 10u);
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].points.front(), QPointF(-0.5, double(i)));
        EXPECT_EQ(s[i].points.back(), QPointF(9.5, double(i)));
    }

    // A long thin strip crossed by short dashed lines at a slant: thousands of lines, few dashes
    // each, all drawn and all inside.
    HatchPath strip;
    strip.isPolyline = true;
    for (QPointF p : { QPointF(0, 0), QPointF(1000, 0), QPointF(1000, 1), QPointF(0, 1) })
        strip.vertices.push_back({ { p.x(), p.y(), 0 } });
    Hatch slanted;
    slanted.paths = { strip };
    slanted.patternLines
        = { { 45, {}, QPointF(-std::sqrt(0.005), std::sqrt(0.005)), { 0.5, -0.5 } } };
    drawing.modelSpace = { entity(slanted, QStringLiteral("HATCH")) };
    const Picture thin = drawSheet(drawing, plainSheet(), {});
    EXPECT_TRUE(thin.skipped.isEmpty());
    const std::vector<Stroke> dashes = itemsOf<Stroke>(thin);
    EXPECT_GT(dashes.size(), 7000u);
    for (const Stroke &dash : dashes) {
        for (QPointF p : dash.points) {
            EXPECT_TRUE(p.x() > -1e-9 && p.x() < 1000 + 1e-9 && p.y() > -1e-9 && p.y() < 1 + 1e-9)
                << p.x() << " " << p.y();
        }
    }

    // Far too many for its area: filled in the tone its lines make, here half-inked lines a
    // quarter-millimetre pen wide every half millimetre, and said so.
    HatchPath field;
    field.isPolyline = true;
    for (QPointF p : { QPointF(0, 0), QPointF(1000, 0), QPointF(1000, 1000), QPointF(0, 1000) })
        field.vertices.push_back({ { p.x(), p.y(), 0 } });
    Hatch fine;
    fine.paths = { field };
    fine.patternLines = { { 0, {}, { 0, 0.5 }, { 0.25, -0.25 } } };
    drawing.modelSpace = { entity(fine, QStringLiteral("HATCH")) };
    const Picture dense = drawSheet(drawing, plainSheet(), {});
    EXPECT_TRUE(itemsOf<Stroke>(dense).empty());
    const std::vector<Fill> tone = itemsOf<Fill>(dense);
    ASSERT_EQ(tone.size(), 1u);
    EXPECT_EQ(tone[0].colour, qRgb(191, 191, 191));
    EXPECT_EQ(tone[0].rings.size(), 1u);
    EXPECT_EQ(dense.skipped,
        (QList<std::pair<QString, int>> {
            { QStringLiteral("HATCH (pattern too dense, drawn as its tone)"), 1 } }));

    // Lines without spacing lie on one another: the outline only, and said so.
    fine.patternLines[0].offset = QPointF(3, 0);
    drawing.modelSpace = { entity(fine, QStringLiteral("HATCH")) };
    const Picture unusable = drawSheet(drawing, plainSheet(), {});
    EXPECT_EQ(itemsOf<Stroke>(unusable).size(), 1u);
    EXPECT_EQ(unusable.skipped,
        (QList<std::pair<QString, int>> { { QStringLiteral("HATCH (pattern unusable)"), 1 } }));
}

// A file stores a clockwise boundary arc with its angles mirrored: from 270 to 360 degrees
// clockwise is the quarter from 90 down to 0.
TEST(DxfFrontEnd, HatchClockwiseArcEdgesRunFromTheirMirroredAngles)
{
    Drawing drawing;
    HatchEdge up;
    up.start = QPointF(0, 0);
    up.end = QPointF(0, 10);
    HatchEdge arc;
    arc.kind = HatchEdge::Kind::Arc;
    arc.centre = QPointF(0, 0);
    arc.radius = 10;
    arc.startAngle = 270;
    arc.endAngle = 360;
    arc.counterClockwise = false;
    HatchEdge back;
    back.start = QPointF(10, 0);
    back.end = QPointF(0, 0);
    HatchPath quarter;
    quarter.edges = { up, arc, back };
    Hatch solid;
    solid.solid = true;
    solid.paths = { quarter };
    drawing.modelSpace = { entity(solid, QStringLiteral("HATCH")) };

    const std::vector<Fill> fills = itemsOf<Fill>(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(fills.size(), 1u);
    ASSERT_EQ(fills[0].rings.size(), 1u);
    const std::vector<QPointF> &ring = fills[0].rings[0];
    bool reachesCorner = false;
    for (QPointF p : ring) {
        EXPECT_GE(p.x(), -1e-9);
        EXPECT_GE(p.y(), -1e-9);
        EXPECT_LE(std::hypot(p.x(), p.y()), 10 + 1e-9);
        reachesCorner = reachesCorner || std::abs(p.x() - p.y()) < 1;
    }
    EXPECT_TRUE(reachesCorner);
}

// Copies step along the columns by the column spacing and up the rows by the row spacing.
TEST(DxfFrontEnd, ArrayedInsertsStepAlongColumnsThenRows)
{
    Drawing drawing;
    drawing.blocks[QStringLiteral("UNIT")].entities = { line(0, 0, 1, 0) };
    Insert array;
    array.block = QStringLiteral("UNIT");
    array.columns = 3;
    array.rows = 2;
    array.columnSpacing = 10;
    array.rowSpacing = 50;
    drawing.modelSpace = { entity(array, QStringLiteral("INSERT")) };

    std::vector<QPointF> starts;
    for (const Stroke &s : itemsOf<Stroke>(drawSheet(drawing, plainSheet(), {})))
        starts.push_back(s.points.front());
    EXPECT_EQ(starts,
        (std::vector<QPointF> {
            { 0, 0 }, { 10, 0 }, { 20, 0 }, { 0, 50 }, { 10, 50 }, { 20, 50 } }));
}

// An attribute on layer 0 is on its insert's layer: a callout inserted on a layer that is off
// shows none of its texts, while an attribute on a layer of its own that is on still shows.
TEST(DxfFrontEnd, AttributesOnLayerZeroHideWithTheirInsertsLayer)
{
    Drawing drawing;
    Layer off = layer(QStringLiteral("CALLOUTS"), 7);
    off.off = true;
    drawing.layers[QStringLiteral("CALLOUTS")] = off;
    drawing.layers[QStringLiteral("NOTES")] = layer(QStringLiteral("NOTES"), 7);
    drawing.blocks[QStringLiteral("TAG")].name = QStringLiteral("TAG");
    Insert callout;
    callout.block = QStringLiteral("TAG");
    for (const char *text : { "NTS", "A" }) {
        Text attribute;
        attribute.text = QString::fromLatin1(text);
        callout.attributes.push_back(attribute);
        EntityCommon common;
        common.layer = QLatin1String(text) == QLatin1String("A") ? QStringLiteral("NOTES")
                                                                 : QStringLiteral("0");
        callout.attributeCommons.push_back(common);
    }
    drawing.modelSpace = { entity(callout, QStringLiteral("INSERT"), QStringLiteral("CALLOUTS")) };
    const std::vector<TextRun> runs = itemsOf<TextRun>(drawSheet(drawing, plainSheet(), {}));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, QStringLiteral("A"));
}
