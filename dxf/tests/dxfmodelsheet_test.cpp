#include "dxf/dxffrontend.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

#include <gtest/gtest.h>

using namespace dxf;

namespace {

Drawing modelSpaceOf(const QByteArray &blocks, const QByteArray &entities)
{
    return readDrawing(groups("0 SECTION\n2 BLOCKS") + groups(blocks)
            + groups("0 ENDSEC\n0 SECTION\n2 ENTITIES") + groups(entities)
            + groups("0 ENDSEC\n0 EOF"),
        QStringLiteral("t.dxf"));
}

QStringList textsOf(const Picture &picture)
{
    QStringList texts;
    for (const PictureItem &item : picture.items) {
        if (const auto *run = std::get_if<TextRun>(&item))
            texts.append(run->text);
    }
    return texts;
}

} // namespace

// A title block's attribute definitions left in model space show their tags, whatever their
// default values; the one in the block shows nothing, as its insert has no attribute for it.
// The tags reach beyond the frame, so the page does: the tags stand up from x = -0.05, 0.15
// high, so model space runs from -0.2 to 34 across.
TEST(DxfModelSheet, AttributeDefinitionsOutsideBlocksShowTheirTags)
{
    const Drawing drawing = modelSpaceOf(R"(
        0 BLOCK
        2 B
        0 ATTDEF
        10 1
        20 1
        40 1
        1 inner value
        2 INNER
        70 0
        0 ENDBLK
    )",
        R"(
        0 INSERT
        2 B
        10 10
        20 10
        0 ATTDEF
        10 -0.05
        20 3
        40 0.15
        50 90
        7 Roman
        2 REVDATE
        70 8
        0 ATTDEF
        10 -0.05
        20 0
        40 0.15
        1 J. Doe
        50 90
        2 USER
        70 8
        0 LINE
        10 0
        20 0
        11 34
        21 23
    )");
    const SheetInfo sheet = sheetsOf(drawing).front();
    EXPECT_EQ(textsOf(drawSheet(drawing, sheet, {})), QStringList({ "REVDATE", "USER" }));
    EXPECT_DOUBLE_EQ(sheet.paper.width(), 297);
    EXPECT_NEAR(sheet.paper.height(), 297 * 23 / 34.2, 1e-9);
}

// In txt a character takes one capital height and a full stop a third; the text's box ends with
// the last glyph's ink, two thirds into its cell. "5.0" 3 high at x = 10 ends at 10 + 3 + 1 + 2,
// so model space is 16 across and 10 high.
TEST(DxfModelSheet, TxtTextsReachAsFarAsTheirLastGlyphsInk)
{
    const Drawing drawing = modelSpaceOf({}, R"(
        0 TEXT
        10 10
        20 0
        40 3
        1 5.0
        0 LINE
        10 0
        20 0
        11 10
        21 10
    )");
    const SheetInfo sheet = sheetsOf(drawing).front();
    EXPECT_DOUBLE_EQ(sheet.paper.width(), 297);
    EXPECT_NEAR(sheet.paper.height(), 297 * 10 / 16.0, 1e-9);
}
