#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

#include <gtest/gtest.h>

using namespace dxf;

namespace {

// A layout whose block record holds QCAD's page (settings as given) beside plot settings for
// A4 media turned to landscape, and one line in paper space.
QList<SheetInfo> sheetsWithPage(const char *pageSettings, const char *paper = "44 210\n45 297")
{
    return sheetsOf(readDrawing(groups(QByteArray(R"(
        0 SECTION
        2 TABLES
        0 TABLE
        2 BLOCK_RECORD
        0 BLOCK_RECORD
        5 1F
        2 *Paper_Space
        1001 QCAD
        )") + pageSettings + R"(
        0 ENDTAB
        0 ENDSEC
        0 SECTION
        2 ENTITIES
        0 LINE
        67 1
        10 40
        20 160
        11 300
        21 340
        0 ENDSEC
        0 SECTION
        2 OBJECTS
        0 LAYOUT
        5 30
        100 AcDbPlotSettings
        )" + paper + R"(
        73 1
        100 AcDbLayout
        1 Sheet
        71 1
        10 -20
        20 -7.5
        11 277
        21 202.5
        330 1F
        0 ENDSEC
        0 EOF
    )"),
        QStringLiteral("t.dxf")));
}

void expectOnPaper(const SheetInfo &sheet, QPointF drawingPoint, QPointF paperPoint)
{
    const QPointF p = sheet.toPaper.map(drawingPoint);
    EXPECT_NEAR(p.x(), paperPoint.x(), 1e-9) << sheet.name.toStdString();
    EXPECT_NEAR(p.y(), paperPoint.y(), 1e-9) << sheet.name.toStdString();
}

} // namespace

// QCAD leaves out the paper of a layout whose paper was never chosen and keeps only where and
// how large it plots the layout; the layout's own media is then its paper, turned as QCAD's
// page says, and the layout's drawing lands on it at QCAD's offset and scale.
TEST(DxfOwnPage, APageWithoutPaperIsOnTheLayoutsOwnMedia)
{
    const char *noPaper = R"(
        1000 PageSettings/OffsetX:30
        1000 PageSettings/OffsetY:150
        1000 PageSettings/PageOrientation:Landscape
        1000 PageSettings/Scale:1:2
    )";
    QList<SheetInfo> sheets = sheetsWithPage(noPaper);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].paper, QSizeF(297, 210));
    expectOnPaper(sheets[0], QPointF(30, 150), QPointF(0, 0));
    expectOnPaper(sheets[0], QPointF(300, 340), QPointF(135, 95));

    // Upright as the page says, whatever the plot settings turn.
    sheets = sheetsWithPage(R"(
        1000 PageSettings/OffsetX:30
        1000 PageSettings/PageOrientation:Portrait
    )");
    EXPECT_EQ(sheets[0].paper, QSizeF(210, 297));
    expectOnPaper(sheets[0], QPointF(30, 0), QPointF(0, 0));

    // A paper of its own wins over the media.
    sheets = sheetsWithPage(R"(
        1000 PageSettings/PageOrientation:Landscape
        1000 PageSettings/PaperWidth:297
        1000 PageSettings/PaperHeight:420
    )");
    EXPECT_EQ(sheets[0].paper, QSizeF(420, 297));

    // No media either: the layout is on its limits, as without QCAD's page.
    sheets = sheetsWithPage(noPaper, "");
    EXPECT_EQ(sheets[0].paper, QSizeF(297, 210));
    expectOnPaper(sheets[0], QPointF(-20, -7.5), QPointF(0, 0));
}
