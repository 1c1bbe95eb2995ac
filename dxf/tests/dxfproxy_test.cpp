#include "dxf/dxffrontend.h"
#include "dxf/dxfreader.h"
#include "dxf/dxfsheets.h"
#include "dxftestgroups.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>

using namespace dxf;

namespace {

// Proxy graphics as their programs write them: a header of total size and command count, then
// commands of size, type and data, all little-endian.
class Graphics {
public:
    Graphics &u32(quint32 value) { return put(value); }
    Graphics &real(double value) { return put(value); }
    Graphics &vec(double x, double y, double z = 0) { return real(x).real(y).real(z); }
    Graphics &text16(const char16_t *text)
    {
        for (const char16_t *c = text; *c; ++c)
            put(quint16(*c));
        put(quint16(0));
        while (data.size() % 4)
            data.append('\0');
        return *this;
    }
    // Ends the command begun at the last begin().
    Graphics &begin(quint32 type)
    {
        end();
        start = data.size();
        u32(0).u32(type);
        return *this;
    }
    QByteArray bytes()
    {
        end();
        QByteArray out;
        const quint32 header[2] = { quint32(data.size() + 8), quint32(commands) };
        out.append(reinterpret_cast<const char *>(header), 8);
        return out + data;
    }

private:
    template <typename T> Graphics &put(T value)
    {
        data.append(reinterpret_cast<const char *>(&value), sizeof value);
        return *this;
    }
    void end()
    {
        if (start < 0)
            return;
        const quint32 size = quint32(data.size() - start);
        std::memcpy(data.data() + start, &size, 4);
        start = -1;
        ++commands;
    }

    QByteArray data;
    qsizetype start = -1;
    int commands = 0;
};

// The groups of a byte count and its 310 chunks, as many writers chunk them.
QByteArray graphicsGroups(int countCode, const QByteArray &bytes, qsizetype claimed = -1)
{
    QByteArray out = QByteArray::number(countCode) + ' '
        + QByteArray::number(claimed < 0 ? bytes.size() : claimed) + '\n';
    for (qsizetype at = 0; at < bytes.size(); at += 127)
        out += "310 " + bytes.mid(at, 127).toHex().toUpper() + '\n';
    return out;
}

// One group a line, "code value", into ASCII DXF, or into binary DXF with the value types
// of the codes used here.
QByteArray dxfFile(const QByteArray &compact, bool binary)
{
    QByteArray out = binary ? QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22) : QByteArray();
    for (const QByteArray &line : compact.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        const qsizetype space = trimmed.indexOf(' ');
        const int code = trimmed.left(space).toInt();
        const QByteArray value = space < 0 ? QByteArray() : trimmed.mid(space + 1);
        if (!binary) {
            out += QByteArray::number(code) + "\r\n" + value + "\r\n";
            continue;
        }
        const quint16 c = quint16(code);
        out.append(reinterpret_cast<const char *>(&c), 2);
        const auto put = [&](auto number) {
            out.append(reinterpret_cast<const char *>(&number), sizeof number);
        };
        if (code >= 10 && code < 60)
            put(value.toDouble());
        else if (code >= 60 && code < 80)
            put(qint16(value.toInt()));
        else if (code >= 90 && code < 100)
            put(qint32(value.toInt()));
        else if (code >= 160 && code < 170)
            put(qint64(value.toLongLong()));
        else if (code >= 310 && code < 320) {
            const QByteArray raw = QByteArray::fromHex(value);
            out.append(char(raw.size()));
            out += raw;
        } else {
            out += value + '\0';
        }
    }
    return out;
}

// Layers in table order 0, WALL (red), GLASS (cyan); the proxy stands on WALL in green.
QByteArray proxyDrawing(const QByteArray &graphics, const QByteArray &more = {})
{
    return "0 SECTION\n2 TABLES\n0 TABLE\n2 LAYER\n"
           "0 LAYER\n2 0\n62 7\n0 LAYER\n2 WALL\n62 1\n0 LAYER\n2 GLASS\n62 4\n0 ENDTAB\n"
           "0 ENDSEC\n0 SECTION\n2 ENTITIES\n"
           "0 ACAD_PROXY_ENTITY\n5 2A\n100 AcDbEntity\n8 WALL\n62 3\n100 AcDbProxyEntity\n"
           "90 498\n91 500\n95 6946847\n70 0\n"
        + graphics
        // The object data that follows is no picture.
        + "93 32\n310 DEADBEEF\n94 0\n" + more + "0 ENDSEC\n0 EOF\n";
}

Picture drawModel(const Drawing &drawing)
{
    return drawSheet(drawing, plainSheet(), QString());
}

constexpr QRgb green = 0xff00ff00;
constexpr QRgb red = 0xffff0000;
constexpr QRgb cyan = 0xff00ffff;

} // namespace

// The same drawing as ASCII DXF (92, hex chunks) and as binary DXF (160, raw chunks).
class DxfProxyFile : public ::testing::TestWithParam<bool> { };

TEST_P(DxfProxyFile, DrawsTheStreamWhereAndAsItSays)
{
    Graphics g;
    g.begin(1).vec(0, 0).vec(50, 50); // extents: nothing to draw
    g.begin(6).u32(3).vec(0, 0).vec(10, 0).vec(10, 5);
    g.begin(14).u32(1);
    g.begin(2).vec(20, 20).real(5).vec(0, 0, 1);
    g.begin(16).u32(2).begin(14).u32(256).begin(23).u32(50);
    g.begin(4).vec(40, 0).real(10).vec(0, 0, 1).vec(0, 1, 0).real(std::numbers::pi / 2).u32(0);
    g.begin(38).vec(5, 30).vec(0, 0, 1).vec(0, 1, 0).text16(u"Ab").u32(2).u32(0);
    g.real(2.5).real(1).real(0).real(1);
    for (int i = 0; i < 9; ++i)
        g.u32(0);
    g.text16(u"").text16(u"txt").text16(u"");
    g.begin(20).u32(1).begin(7).u32(3).vec(60, 0).vec(70, 0).vec(60, 10).begin(20).u32(0);
    const double shift[16] = { 1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 };
    g.begin(29);
    for (double v : shift)
        g.real(v);
    g.begin(6).u32(2).vec(0, 0).vec(0, 1).begin(31);
    g.begin(6).u32(2).vec(0, 0).vec(0, 2);
    const bool binary = GetParam();
    const Drawing drawing = readDrawing(
        dxfFile(proxyDrawing(graphicsGroups(binary ? 160 : 92, g.bytes())), binary), "p.dxf");
    EXPECT_TRUE(drawing.warnings.isEmpty()) << drawing.warnings.join('\n').toStdString();
    const Picture picture = drawModel(drawing);
    EXPECT_TRUE(picture.skipped.isEmpty());

    const std::vector<Stroke> strokes = itemsOf<Stroke>(picture);
    ASSERT_EQ(strokes.size(), 5u);
    // By block until the stream says otherwise: the entity's own green.
    EXPECT_EQ(strokes[0].points, (std::vector<QPointF> { { 0, 0 }, { 10, 0 }, { 10, 5 } }));
    EXPECT_EQ(strokes[0].colour, green);
    EXPECT_TRUE(strokes[1].closed);
    EXPECT_EQ(strokes[1].colour, red);
    for (QPointF p : strokes[1].points)
        EXPECT_NEAR(std::hypot(p.x() - 20, p.y() - 20), 5, 1e-9);
    // On GLASS by layer, half a millimetre wide: a quarter from 90 degrees on.
    EXPECT_EQ(strokes[2].colour, cyan);
    EXPECT_EQ(strokes[2].width, 0.5);
    EXPECT_NEAR(strokes[2].points.front().x(), 40, 1e-9);
    EXPECT_NEAR(strokes[2].points.front().y(), 10, 1e-9);
    EXPECT_NEAR(strokes[2].points.back().x(), 30, 1e-9);
    EXPECT_NEAR(strokes[2].points.back().y(), 0, 1e-9);
    // Moved while the transform is pushed, in place after its pop.
    EXPECT_EQ(strokes[3].points, (std::vector<QPointF> { { 100, 0 }, { 100, 1 } }));
    EXPECT_EQ(strokes[4].points, (std::vector<QPointF> { { 0, 0 }, { 0, 2 } }));

    const std::vector<TextRun> texts = itemsOf<TextRun>(picture);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, u"Ab");
    EXPECT_EQ(texts[0].position, QPointF(5, 30));
    EXPECT_NEAR(texts[0].rotation, 90, 1e-9);
    EXPECT_NEAR(texts[0].height, 2.5, 1e-9);
    EXPECT_EQ(texts[0].colour, cyan);

    const std::vector<Fill> fills = itemsOf<Fill>(picture);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].colour, cyan);
    EXPECT_EQ(fills[0].rings,
        (std::vector<std::vector<QPointF>> { { { 60, 0 }, { 70, 0 }, { 60, 10 }, { 60, 0 } } }));
}

INSTANTIATE_TEST_SUITE_P(AsciiAndBinary, DxfProxyFile, ::testing::Bool());

TEST(DxfProxy, OtherEntitiesDrawTheirGraphicsFromTheirCommonDataOnly)
{
    Graphics line;
    line.begin(6).u32(2).vec(0, 0).vec(3, 4);
    Graphics other;
    other.begin(6).u32(2).vec(9, 9).vec(8, 8);
    // A custom class with graphics in its common data; another whose own subclass holds a 92
    // and 310s, which are no graphics.
    const QByteArray more = "0 TCH_WALL\n100 AcDbEntity\n8 GLASS\n"
        + graphicsGroups(92, line.bytes()) + "100 TDbWall\n"
        + "0 ACME_BOX\n100 AcDbEntity\n8 0\n100 AcmeBox\n" + graphicsGroups(92, other.bytes());
    Graphics empty;
    const Drawing drawing = readDrawing(
        dxfFile(proxyDrawing(graphicsGroups(92, empty.bytes()), more), false), "o.dxf");
    ASSERT_EQ(drawing.modelSpace.size(), 3u);
    EXPECT_TRUE(drawing.modelSpace[2].proxyGraphics.isEmpty());
    const Picture picture = drawModel(drawing);
    const std::vector<Stroke> strokes = itemsOf<Stroke>(picture);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].points, (std::vector<QPointF> { { 0, 0 }, { 3, 4 } }));
    EXPECT_EQ(strokes[0].colour, cyan);
    EXPECT_EQ(
        picture.skipped, (QList<std::pair<QString, int>> { { QStringLiteral("ACME_BOX"), 1 } }));
}

// Streams that are short or lie: what comes before the fault is drawn, the fault is counted,
// nothing is read past the end.
struct BadStream {
    const char *name;
    QByteArray (*bytes)();
    // What the file's count claims, when not the bytes it holds.
    qsizetype claimed;
    int strokes;
    const char *skipped;
};

void PrintTo(const BadStream &stream, std::ostream *out)
{
    *out << stream.name;
}

class DxfProxyBadStream : public ::testing::TestWithParam<BadStream> { };

TEST_P(DxfProxyBadStream, DrawsWhatCameBeforeTheFaultAndCountsIt)
{
    const QByteArray groups = graphicsGroups(92, GetParam().bytes(), GetParam().claimed);
    const Drawing drawing = readDrawing(dxfFile(proxyDrawing(groups), false), "b.dxf");
    const QString warning = QStringLiteral(
        "Line 35: the proxy graphics of 1 entities hold a broken hex chunk or disagree with their "
        "byte count; what could be read is kept");
    EXPECT_EQ(drawing.warnings, GetParam().claimed >= 0 ? QStringList { warning } : QStringList());
    const Picture picture = drawModel(drawing);
    EXPECT_EQ(itemsOf<Stroke>(picture).size(), size_t(GetParam().strokes));
    EXPECT_EQ(picture.skipped,
        (QList<std::pair<QString, int>> { { QString::fromLatin1(GetParam().skipped), 1 } }));
}

Graphics twoLines()
{
    Graphics g;
    g.begin(6).u32(2).vec(0, 0).vec(1, 0);
    g.begin(6).u32(2).vec(0, 0).vec(0, 1);
    return g;
}

INSTANTIATE_TEST_SUITE_P(Faults, DxfProxyBadStream,
    ::testing::Values(
        BadStream { "CutInsideTheSecondCommand", [] { return twoLines().bytes().chopped(10); }, 128,
            1, "ACAD_PROXY_ENTITY (broken graphics)" },
        BadStream { "CountOfPointsBeyondTheCommand",
            [] {
                Graphics g = twoLines();
                g.begin(6).u32(1000000).vec(5, 5);
                return g.bytes();
            },
            -1, 2, "ACAD_PROXY_ENTITY (broken polyline graphics)" },
        BadStream { "CommandSizeBeyondTheStream",
            [] {
                QByteArray b = twoLines().bytes();
                const quint32 huge = 0xfffffff0;
                std::memcpy(b.data() + 8 + 60, &huge, 4);
                return b;
            },
            -1, 1, "ACAD_PROXY_ENTITY (broken graphics)" },
        BadStream { "UnknownCommand",
            [] {
                Graphics g = twoLines();
                g.begin(99).u32(0);
                return g.bytes();
            },
            -1, 2, "ACAD_PROXY_ENTITY (graphics command 99)" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DxfProxy, BrokenHexChunksKeepTheSoundBytesAndWarnOnce)
{
    Graphics g = twoLines();
    QByteArray groups = graphicsGroups(92, g.bytes());
    // The second line's last byte spoilt.
    groups.replace(groups.lastIndexOf('\n') - 2, 2, "ZZ");
    const Drawing drawing = readDrawing(dxfFile(proxyDrawing(groups,
                                                    "0 ACAD_PROXY_ENTITY\n100 AcDbEntity\n8 0\n"
                                                    "100 AcDbProxyEntity\n"
                                                        + groups),
                                            false),
        "h.dxf");
    ASSERT_EQ(drawing.warnings.size(), 1);
    EXPECT_TRUE(drawing.warnings[0].startsWith(u"Line 35: the proxy graphics of 2 entities"));
    EXPECT_EQ(drawing.modelSpace.at(0).proxyGraphics, g.bytes().chopped(1));
    const Picture picture = drawModel(drawing);
    EXPECT_EQ(itemsOf<Stroke>(picture).size(), 2u);
    EXPECT_EQ(picture.skipped,
        (QList<std::pair<QString, int>> {
            { QStringLiteral("ACAD_PROXY_ENTITY (broken graphics)"), 2 } }));
}

// A TArch plan whose walls, windows, doors, columns and stair are proxies: all of them are drawn
// now, with the labels their program wrote.
TEST(DxfProxy, TarchPlanDrawsEveryProxy)
{
    const QString path
        = QStringLiteral(QUILLET_SOURCE_DIR "/../shared/dxf-corpus/gh109_1_chinese_tarch.dxf");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "the corpus is not at " << path.toStdString();
    const Drawing drawing = readDrawingFile(path);
    int proxies = 0;
    for (const Entity &e : drawing.modelSpace) {
        if (e.type == u"ACAD_PROXY_ENTITY") {
            ++proxies;
            EXPECT_FALSE(e.proxyGraphics.isEmpty());
        }
    }
    EXPECT_EQ(proxies, 25);
    EXPECT_TRUE(drawing.warnings.filter(QStringLiteral("proxy")).isEmpty());
    for (const SheetInfo &sheet : sheetsOf(drawing)) {
        for (const auto &[what, count] : drawSheet(drawing, sheet, QString()).skipped)
            EXPECT_FALSE(what.startsWith(u"ACAD_PROXY_ENTITY")) << what.toStdString();
    }
    QStringList texts;
    for (const TextRun &run : itemsOf<TextRun>(drawModel(drawing)))
        texts.append(run.text);
    EXPECT_TRUE(texts.contains(QStringLiteral("M0921")));
    EXPECT_TRUE(texts.contains(QStringLiteral("C1815")));
}
