#include "dxfwriter.h"
#include "sheetexport.h"
#include "sheetlayout.h"
#include "testsupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// A 200 x 100 plate with a hole, a chamfer line and a half-round boss.
DocumentData platePart()
{
    DocumentData part;
    part.type = DocumentData::Type::Part;
    part.geometry = { PolylineShape { { { 0, 0 }, { 200, 0 }, { 200, 100 }, { 0, 100 } }, true },
        CircleShape { { 50, 50 }, 10 }, LineShape { { 0, 0 }, { 10, 10 } },
        ArcShape { { 100, 50 }, 20, 0, 180 } };
    return part;
}

SheetData a3Sheet(const QString &name)
{
    SheetData sheet;
    sheet.name = name;
    sheet.paper = QSizeF(420, 297);
    return sheet;
}

class ExportFixture : public ::testing::Test {
protected:
    ExportFixture()
    {
        part = platePart();
        drawing.properties = { PropertySet { QString(),
            { { QStringLiteral("Revision"), QStringLiteral("C") },
                { QStringLiteral("Title"), QStringLiteral("Base plate") },
                { QStringLiteral("PartNo"), QStringLiteral("BP-1001") } } } };
        SheetData sheet = a3Sheet(QStringLiteral("Sheet1"));
        sheet.views = { ViewData { QStringLiteral("Drawing View1"), QStringLiteral("PLATE.SLDPRT"),
                            QStringLiteral("Default"), 150, 180, 0.5 },
            ViewData { QStringLiteral("Drawing View2"), QStringLiteral("GONE.SLDPRT"),
                QStringLiteral("Default"), 320, 200, 1 } };
        sheet.notes = { NoteData { QStringLiteral("ALL EDGES DEBURRED"), 30, 40 } };
        drawing.sheets = { sheet };
        request.drawing = &drawing;
        request.title = QStringLiteral("PLATE.SLDDRW");
        request.modelOf = [this](const ViewData &view) -> const DocumentData * {
            return view.model == QLatin1String("PLATE.SLDPRT") ? &part : nullptr;
        };
    }

    // Exports into a file of the temporary directory; returns its path.
    QString exportTo(const QString &extension, const QString &fileName)
    {
        request.extension = extension;
        const QString path = dir.filePath(fileName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QString error;
        EXPECT_TRUE(writeExport(request, file, &error)) << qPrintable(error);
        EXPECT_TRUE(error.isEmpty());
        return path;
    }

    DocumentData part;
    DocumentData drawing;
    ExportRequest request;
    QTemporaryDir dir;
};

// ---------------------------------------------------------------------------------------------
// Requests that cannot be written

TEST(SheetExport, WritesExactlyTheFourOutputFormats)
{
    for (const char *extension : { ".DXF", ".PDF", ".JPG", ".TIF" })
        EXPECT_TRUE(isExportExtension(QString::fromLatin1(extension))) << extension;
    for (const char *extension : { ".DWG", ".EDRW", ".SLDDRW", ".TIFF", ".JPEG", "DXF", "", "." })
        EXPECT_FALSE(isExportExtension(QString::fromLatin1(extension))) << extension;
}

TEST_F(ExportFixture, RefusesWhatItCannotWriteWithAReasonAndWritesNothing)
{
    const auto refused = [this](ExportRequest bad, bool openDevice = true) {
        QBuffer buffer;
        if (openDevice)
            buffer.open(QIODevice::WriteOnly);
        QString error;
        const bool written = writeExport(bad, buffer, &error);
        EXPECT_TRUE(buffer.data().isEmpty());
        return !written && !error.isEmpty();
    };
    ExportRequest bad = request;
    bad.extension = QStringLiteral(".DWG");
    EXPECT_TRUE(refused(bad));
    request.extension = QStringLiteral(".DXF");
    EXPECT_TRUE(refused(request, false));
    bad = request;
    bad.drawing = nullptr;
    EXPECT_TRUE(refused(bad));
    bad = request;
    for (int index : { -1, 1 }) {
        bad.sheetIndex = index;
        EXPECT_TRUE(refused(bad)) << index;
    }
    DocumentData model = part;
    bad = request;
    bad.drawing = &model;
    EXPECT_TRUE(refused(bad));

    // Paper without a usable size cannot become a page or an image.
    for (const QSizeF &paper : { QSizeF(0, 297), QSizeF(420, -1), QSizeF(NAN, 297) }) {
        drawing.sheets[0].paper = paper;
        for (const char *extension : { ".DXF", ".PDF", ".JPG", ".TIF" }) {
            bad = request;
            bad.extension = QString::fromLatin1(extension);
            EXPECT_TRUE(refused(bad)) << extension;
        }
    }
}

// A device that takes only so many bytes, like a disk that fills up.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room)
        : room(room)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        if (room <= 0)
            return -1;
        const qint64 taken = std::min(room, length);
        room -= taken;
        return taken;
    }

private:
    qint64 room;
};

TEST_F(ExportFixture, ReportsADeviceThatTakesLessThanTheWholeFile)
{
    for (const char *extension : { ".DXF", ".PDF", ".JPG", ".TIF" }) {
        for (qint64 room : { 0, 100 }) {
            request.extension = QString::fromLatin1(extension);
            FullDevice device(room);
            QString error;
            EXPECT_FALSE(writeExport(request, device, &error)) << extension << " " << room;
            EXPECT_TRUE(error.contains(QLatin1String("could not be written"))) << qPrintable(error);
        }
    }
}

TEST_F(ExportFixture, RefusesImagesLargerThanQtCanPaintOrReadBack)
{
    drawing.sheets[0].paper = QSizeF(8400, 297); // 33071 pixels wide
    for (const char *extension : { ".JPG", ".TIF" }) {
        request.extension = QString::fromLatin1(extension);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_FALSE(writeExport(request, buffer, &error));
        EXPECT_EQ(error, QStringLiteral("Sheet Sheet1 is too large for an image."));
        EXPECT_TRUE(buffer.data().isEmpty());
    }
    drawing.sheets[0].paper = QSizeF(0.001, 297);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(writeExport(request, buffer, &error));
    EXPECT_EQ(error, QStringLiteral("Sheet Sheet1 is too small for an image."));
}

// Plugins once loaded stay loaded, so the case runs again in a process of its own that never
// finds any.
TEST_F(ExportFixture, ReportsAMissingImageFormatPlugin)
{
    const char *const childVariable = "QUILLET_TEST_WITHOUT_PLUGINS";
    if (!qEnvironmentVariableIsSet(childVariable)) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_filter=ExportFixture.ReportsAMissingImageFormatPlugin") });
        ASSERT_TRUE(child.waitForFinished(120000));
        const QByteArray output = child.readAllStandardOutput();
        EXPECT_EQ(child.exitCode(), 0) << output.constData();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
        return;
    }
    QCoreApplication::setLibraryPaths({ dir.path() });
    for (const char *extension : { ".JPG", ".TIF" }) {
        request.extension = QString::fromLatin1(extension);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_FALSE(writeExport(request, buffer, &error));
        EXPECT_TRUE(error.contains(QLatin1String("image format is not available")))
            << qPrintable(error);
        EXPECT_TRUE(buffer.data().isEmpty());
    }
}

// ---------------------------------------------------------------------------------------------
// Layout shared by every format

TEST(SheetLayout, CleansTextsOfControlCharactersAndSplitsThemAtLineBreaks)
{
    const QString text = QStringLiteral("A\tB") + QChar(0) + QStringLiteral("C\x01\x7f")
        + QChar(0x9b) + QStringLiteral("\r\nD\rE\nF") + QChar(0x2028) + QStringLiteral("G")
        + QChar(0xd800) + QStringLiteral("H") + QString::fromUcs4(U"\U0001F600") + QChar(0xfffe);
    const QStringList expected { QStringLiteral("A BC"), QStringLiteral("D"), QStringLiteral("E"),
        QStringLiteral("F"), QStringLiteral("GH") + QString::fromUcs4(U"\U0001F600") };
    EXPECT_EQ(SheetLayout::cleanLines(text), expected);
    EXPECT_EQ(SheetLayout::cleanLine(text), expected.join(QLatin1Char(' ')));
    EXPECT_EQ(SheetLayout::cleanLines(QString()), QStringList { QString() });
}

TEST(SheetLayout, WrapsAtSpacesWithinTheLimitAndCutsLongWordsBetweenCharacters)
{
    const QString twenty(20, QLatin1Char('a'));
    EXPECT_EQ(SheetLayout::wrap(twenty, 20), QStringList { twenty });
    EXPECT_EQ(SheetLayout::wrap(twenty + QStringLiteral(" b"), 20),
        QStringList({ twenty, QStringLiteral("b") }));
    EXPECT_EQ(SheetLayout::wrap(QStringLiteral("aaa bbb ccc"), 7),
        QStringList({ QStringLiteral("aaa bbb"), QStringLiteral("ccc") }));
    EXPECT_EQ(SheetLayout::wrap(QString(45, QLatin1Char('x')), 20),
        QStringList({ QString(20, QLatin1Char('x')), QString(20, QLatin1Char('x')),
            QString(5, QLatin1Char('x')) }));
    // A character outside the first plane is never cut in two.
    const QString smile = QString::fromUcs4(U"\U0001F600");
    const QStringList parts = SheetLayout::wrap(QString(19, QLatin1Char('x')) + smile + smile, 20);
    EXPECT_EQ(parts, QStringList({ QString(19, QLatin1Char('x')), smile + smile }));
}

TEST(SheetLayout, WritesScalesAsRatios)
{
    const std::pair<double, const char *> cases[]
        = { { 0.5, "1:2" }, { 1, "1:1" }, { 2, "2:1" }, { 0.3, "1:3.333" }, { 2.5, "2.5:1" },
              { 0.02, "1:50" }, { 0, "" }, { -1, "" }, { NAN, "" }, { INFINITY, "" } };
    for (const auto &[scale, text] : cases)
        EXPECT_EQ(SheetLayout::scaleText(scale), QString::fromLatin1(text)) << scale;
}

TEST_F(ExportFixture, TitleBlockShowsTheGeneralPropertiesThatArePresent)
{
    const auto titleTexts = [this] {
        QStringList texts;
        for (const SheetText &text : SheetLayout::of(request, 0).titleTexts)
            texts.append(text.text);
        return texts;
    };
    EXPECT_EQ(titleTexts(),
        QStringList({ "SHEET", "Sheet1", "SCALE", "1:2", "REV", "C", "PART NO", "BP-1001",
            "DRAWING", "PLATE.SLDDRW", "TITLE", "Base plate" }));

    // Description wins over Title.
    drawing.properties[0].set(QStringLiteral("Description"), QStringLiteral("Plate, machined"));
    EXPECT_EQ(titleTexts().mid(10), QStringList({ "DESCRIPTION", "Plate, machined" }));

    // Present but empty, or nothing printable, is the same as missing.
    drawing.properties[0].set(QStringLiteral("Revision"), QString());
    drawing.properties[0].set(QStringLiteral("PartNo"), QStringLiteral("\t\x01"));
    drawing.properties[0].set(QStringLiteral("Description"), QString());
    EXPECT_EQ(titleTexts(),
        QStringList({ "SHEET", "Sheet1", "SCALE", "1:2", "DRAWING", "PLATE.SLDDRW", "TITLE",
            "Base plate" }));

    drawing.properties.clear();
    drawing.sheets[0].views.clear();
    request.title = QStringLiteral("Draw1");
    EXPECT_EQ(titleTexts(), QStringList({ "SHEET", "Sheet1", "SCALE", "DRAWING", "Draw1" }));
}

TEST_F(ExportFixture, PlacesTheMiddleOfTheModelOnTheViewCentreAndNamesOnlyUnreadableViews)
{
    const SheetLayout layout = SheetLayout::of(request, 0);
    EXPECT_EQ(layout.border, QRectF(10, 10, 400, 277));
    ASSERT_EQ(layout.views.size(), 2);
    EXPECT_EQ(layout.views[0].model, &part);
    EXPECT_EQ(layout.views[0].toSheet(QPointF(0, 0)), QPointF(100, 155));
    EXPECT_EQ(layout.views[0].toSheet(QPointF(200, 100)), QPointF(200, 205));
    EXPECT_EQ(layout.views[1].model, nullptr);

    ASSERT_EQ(layout.texts.size(), 3);
    // Under the view's geometry, or on the centre of a view that shows no geometry.
    EXPECT_EQ(layout.texts[0].position, QPointF(150, 155 - 4 - 3.5));
    EXPECT_EQ(layout.texts[1].position, QPointF(320, 200 - 3.5 / 2));
    EXPECT_EQ(layout.texts[2].position, QPointF(30, 40));

    // A view without a usable scale cannot place its geometry either.
    for (double scale : { 0.0, -0.5, double(NAN) }) {
        drawing.sheets[0].views[0].scale = scale;
        EXPECT_EQ(SheetLayout::of(request, 0).views[0].model, nullptr) << scale;
    }
    // A view placed nowhere shows nothing but keeps its place among the views.
    drawing.sheets[0].views[0].x = INFINITY;
    const SheetLayout nowhere = SheetLayout::of(request, 0);
    ASSERT_EQ(nowhere.views.size(), 2);
    EXPECT_EQ(nowhere.views[1].name, QStringLiteral("Drawing View2"));
    EXPECT_EQ(nowhere.texts.size(), 2);
}

TEST(SheetLayout, BoundsCoverArcsAndSkipShapesThatDrawNothing)
{
    const QList<Shape> geometry { ArcShape { { 0, 0 }, 10, 45, 135 },
        PolylineShape { { { 500, 500 } }, false }, CircleShape { { 900, 900 }, 0 },
        LineShape { { NAN, 0 }, { 1, 1 } }, ArcShape { { 0, 0 }, 10, 1e20, 1e20 + 90 } };
    const std::optional<QRectF> bounds = SheetLayout::boundsOf(geometry.mid(0, 4));
    ASSERT_TRUE(bounds.has_value());
    EXPECT_NEAR(bounds->left(), -std::sqrt(50.0), 1e-9);
    EXPECT_NEAR(bounds->right(), std::sqrt(50.0), 1e-9);
    EXPECT_NEAR(bounds->top(), std::sqrt(50.0), 1e-9);
    EXPECT_NEAR(bounds->bottom(), 10, 1e-9);
    EXPECT_FALSE(SheetLayout::boundsOf(geometry.mid(1, 3)).has_value());
    // Huge angles still end.
    EXPECT_TRUE(SheetLayout::boundsOf(geometry.mid(4)).has_value());
}

// ---------------------------------------------------------------------------------------------
// DXF

TEST(DxfText, WritesPlainAsciiThatReadsBackAsTheSameText)
{
    const std::pair<QString, QByteArray> cases[] = {
        { QStringLiteral("PLATE 1"), "PLATE 1" },
        { QString::fromUtf8("caf\u00e9 \u00b10.1 \u4e2d"), "caf\\U+00E9 \\U+00B10.1 \\U+4E2D" },
        { QString::fromUcs4(U"a\U0001F600b"), "a\\U+FFFDb" },
        { QStringLiteral("a^Jb^"), "a^ Jb^ " },
        { QStringLiteral("100% 50%%d %%%"), "100% 50%%%%%%d %%%%%%%%%" },
        { QStringLiteral("C:\\temp \\U+0041 \\m+1"), "C:\\temp \\U+005CU+0041 \\U+005Cm+1" },
        { QStringLiteral("a\x01") + QChar(0) + QChar(0xdc00) + QStringLiteral("b"), "ab" },
    };
    for (const auto &[text, dxf] : cases)
        EXPECT_EQ(DxfWriter::encodeText(text), dxf) << qPrintable(text);
}

class DxfExport : public ExportFixture {
protected:
    void SetUp() override
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-c"), QStringLiteral("import ezdxf") });
        if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit
            || probe.exitCode() != 0)
            GTEST_SKIP() << "/usr/bin/python3 has no ezdxf";
    }

    // The drawing as ezdxf reads it: audit errors, header and model space entities.
    QJsonObject readBack(const QString &path)
    {
        static const char script[] = R"(
import json, sys, ezdxf
from ezdxf.tools.text import caret_decode
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
entities = []
for e in doc.modelspace():
    d = {"type": e.dxftype(), "layer": e.dxf.layer}
    t = e.dxftype()
    if t == "TEXT":
        d["text"] = e.dxf.text
        d["decoded"] = ezdxf.decode_dxf_unicode(caret_decode(e.dxf.text))
        d["at"] = list(e.dxf.insert)[:2]
        d["height"] = e.dxf.height
        d["halign"] = e.dxf.halign
        if e.dxf.hasattr("align_point"):
            d["align"] = list(e.dxf.align_point)[:2]
    elif t == "LINE":
        d["points"] = [list(e.dxf.start)[:2], list(e.dxf.end)[:2]]
    elif t in ("CIRCLE", "ARC"):
        d["at"] = list(e.dxf.center)[:2]
        d["radius"] = e.dxf.radius
        if t == "ARC":
            d["angles"] = [e.dxf.start_angle, e.dxf.end_angle]
    elif t == "POLYLINE":
        d["points"] = [list(p)[:2] for p in e.points()]
        d["closed"] = e.is_closed
    entities.append(d)
print(json.dumps({"version": doc.dxfversion, "errors": len(auditor.errors),
                  "extmin": list(doc.header["$EXTMIN"])[:2], "extmax": list(doc.header["$EXTMAX"])[:2],
                  "entities": entities}))
)";
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-c"), QString::fromLatin1(script), path });
        EXPECT_TRUE(python.waitForFinished(120000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
        return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    }

    static QJsonArray entitiesOf(
        const QJsonObject &dxf, const QString &type, const QString &layer = {})
    {
        QJsonArray found;
        for (const QJsonValue &entity : dxf.value(QStringLiteral("entities")).toArray()) {
            const QJsonObject object = entity.toObject();
            if (object.value(QStringLiteral("type")).toString() == type
                && (layer.isEmpty() || object.value(QStringLiteral("layer")).toString() == layer))
                found.append(object);
        }
        return found;
    }

    static QStringList textsOf(
        const QJsonObject &dxf, const QString &layer, const char *key = "text")
    {
        QStringList texts;
        for (const QJsonValue &text : entitiesOf(dxf, QStringLiteral("TEXT"), layer))
            texts.append(text.toObject().value(QLatin1String(key)).toString());
        return texts;
    }

    static QJsonArray xy(double x, double y) { return QJsonArray { x, y }; }
};

TEST_F(DxfExport, WritesBorderTitleBlockGeometryAndTextsOnTheirLayers)
{
    const QString path = exportTo(QStringLiteral(".DXF"), QStringLiteral("sheet.dxf"));
    const QJsonObject dxf = readBack(path);
    EXPECT_EQ(dxf.value(QStringLiteral("version")).toString(), QStringLiteral("AC1009"));
    EXPECT_EQ(dxf.value(QStringLiteral("errors")).toInt(-1), 0);
    EXPECT_EQ(dxf.value(QStringLiteral("extmin")).toArray(), xy(0, 0));
    EXPECT_EQ(dxf.value(QStringLiteral("extmax")).toArray(), xy(420, 297));
    EXPECT_EQ(dxf.value(QStringLiteral("entities")).toArray().size(), 1 + 7 + 12 + 4 + 3);

    const QJsonArray border = entitiesOf(dxf, QStringLiteral("POLYLINE"), QStringLiteral("BORDER"));
    ASSERT_EQ(border.size(), 1);
    EXPECT_EQ(border[0].toObject().value(QStringLiteral("points")).toArray(),
        QJsonArray({ xy(10, 10), xy(410, 10), xy(410, 287), xy(10, 287) }));
    EXPECT_TRUE(border[0].toObject().value(QStringLiteral("closed")).toBool());
    // Top and left edges, two row dividers, three in the bottom row (one divider, two cells).
    EXPECT_EQ(entitiesOf(dxf, QStringLiteral("LINE"), QStringLiteral("TITLE")).size(), 7);
    EXPECT_EQ(textsOf(dxf, QStringLiteral("TITLE")),
        QStringList({ "SHEET", "Sheet1", "SCALE", "1:2", "REV", "C", "PART NO", "BP-1001",
            "DRAWING", "PLATE.SLDDRW", "TITLE", "Base plate" }));

    // Model (0,0)-(200,100) at half scale, its middle on (150,180).
    const QJsonArray plate
        = entitiesOf(dxf, QStringLiteral("POLYLINE"), QStringLiteral("GEOMETRY"));
    ASSERT_EQ(plate.size(), 1);
    EXPECT_EQ(plate[0].toObject().value(QStringLiteral("points")).toArray(),
        QJsonArray({ xy(100, 155), xy(200, 155), xy(200, 205), xy(100, 205) }));
    const QJsonArray circles
        = entitiesOf(dxf, QStringLiteral("CIRCLE"), QStringLiteral("GEOMETRY"));
    ASSERT_EQ(circles.size(), 1);
    EXPECT_EQ(circles[0].toObject().value(QStringLiteral("at")).toArray(), xy(125, 180));
    EXPECT_EQ(circles[0].toObject().value(QStringLiteral("radius")).toDouble(), 5);
    const QJsonArray lines = entitiesOf(dxf, QStringLiteral("LINE"), QStringLiteral("GEOMETRY"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].toObject().value(QStringLiteral("points")).toArray(),
        QJsonArray({ xy(100, 155), xy(105, 160) }));
    const QJsonArray arcs = entitiesOf(dxf, QStringLiteral("ARC"), QStringLiteral("GEOMETRY"));
    ASSERT_EQ(arcs.size(), 1);
    EXPECT_EQ(arcs[0].toObject().value(QStringLiteral("at")).toArray(), xy(150, 180));
    EXPECT_EQ(arcs[0].toObject().value(QStringLiteral("radius")).toDouble(), 10);
    EXPECT_EQ(arcs[0].toObject().value(QStringLiteral("angles")).toArray(), QJsonArray({ 0, 180 }));

    // The unreadable view is its name only; names are centred.
    const QJsonArray texts = entitiesOf(dxf, QStringLiteral("TEXT"), QStringLiteral("TEXT"));
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(textsOf(dxf, QStringLiteral("TEXT")),
        QStringList({ "Drawing View1", "Drawing View2", "ALL EDGES DEBURRED" }));
    EXPECT_EQ(texts[0].toObject().value(QStringLiteral("align")).toArray(), xy(150, 147.5));
    EXPECT_EQ(texts[0].toObject().value(QStringLiteral("halign")).toInt(), 1);
    EXPECT_EQ(texts[1].toObject().value(QStringLiteral("align")).toArray(), xy(320, 198.25));
    EXPECT_EQ(texts[2].toObject().value(QStringLiteral("at")).toArray(), xy(30, 40));
    EXPECT_EQ(texts[2].toObject().value(QStringLiteral("height")).toDouble(), 3.5);
}

TEST_F(DxfExport, DrawsEqualArcAnglesAsCirclesAndSkipsShapesThatDrawNothing)
{
    part.geometry.append(
        { ArcShape { { 100, 50 }, 20, 90, 450 }, PolylineShape { { { 1, 1 } }, true },
            CircleShape { { 1, 1 }, -2 }, LineShape { { 0, INFINITY }, { 1, 1 } } });
    // Extents follow what lies off the paper.
    drawing.sheets[0].views[0].x = 0;
    const QJsonObject dxf = readBack(exportTo(QStringLiteral(".DXF"), QStringLiteral("odd.dxf")));
    EXPECT_EQ(dxf.value(QStringLiteral("errors")).toInt(-1), 0);
    EXPECT_EQ(entitiesOf(dxf, QStringLiteral("CIRCLE")).size(), 2);
    EXPECT_EQ(entitiesOf(dxf, QStringLiteral("ARC")).size(), 1);
    EXPECT_EQ(entitiesOf(dxf, QStringLiteral("POLYLINE"), QStringLiteral("GEOMETRY")).size(), 1);
    EXPECT_EQ(entitiesOf(dxf, QStringLiteral("LINE"), QStringLiteral("GEOMETRY")).size(), 1);
    EXPECT_EQ(dxf.value(QStringLiteral("extmin")).toArray(), xy(-50, 0));
}

TEST_F(DxfExport, HostileTextsStayOnOneLineOfPlainAsciiAndReadBackWhole)
{
    const QString longWord = QString(1000, QLatin1Char('W')) + QString::fromUtf8("\u00e9\u00e9");
    SheetData &sheet = drawing.sheets[0];
    sheet.name = QStringLiteral("Sheet\n1");
    sheet.views[0].name
        = QStringLiteral("View") + QChar(0) + QStringLiteral("\x1b[31m\x07One\r\nA");
    sheet.views[1].name = QString::fromUtf8("Ansicht \u00c4 \u4e2d%%u");
    sheet.notes = { NoteData { QStringLiteral("TAB\tEND\nSECOND ^C \\U+0041") + QChar(0)
                            + QStringLiteral("!"),
                        30, 60 },
        NoteData { longWord, 30, 40 } };
    drawing.properties[0].set(QStringLiteral("Revision"), QString(300, QLatin1Char('R')));

    const QString path = exportTo(QStringLiteral(".DXF"), QStringLiteral("hostile.dxf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (char c : bytes) {
        ASSERT_TRUE((c >= 0x20 && c < 0x7f) || c == '\n') << int(c);
    }
    for (const QByteArray &line : bytes.split('\n'))
        EXPECT_LE(line.size(), 2049);

    const QJsonObject dxf = readBack(path);
    EXPECT_EQ(dxf.value(QStringLiteral("errors")).toInt(-1), 0);
    QStringList texts = textsOf(dxf, QStringLiteral("TEXT"), "decoded");
    ASSERT_GE(texts.size(), 6);
    EXPECT_EQ(texts[0], QStringLiteral("View[31mOne A"));
    EXPECT_EQ(texts[1], QString::fromUtf8("Ansicht \u00c4 \u4e2d%%%%%%u"));
    EXPECT_EQ(texts[2], QStringLiteral("TAB END"));
    EXPECT_EQ(texts[3], QStringLiteral("SECOND ^C \\U+0041!"));
    // The long word is cut into lines that together hold all of it.
    const QStringList longLines = texts.mid(4);
    for (const QString &line : longLines)
        EXPECT_LE(line.size(), 250);
    EXPECT_EQ(longLines.join(QString()), longWord);

    const QStringList title = textsOf(dxf, QStringLiteral("TITLE"), "decoded");
    EXPECT_EQ(title[1], QStringLiteral("Sheet 1"));
    EXPECT_EQ(title[5], QString(247, QLatin1Char('R')) + QStringLiteral("..."));
}

// ---------------------------------------------------------------------------------------------
// PDF

class PdfExport : public ExportFixture {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            GTEST_SKIP() << "pdfinfo is not installed";
    }

    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    // Page sizes in points, in page order.
    static QList<QSizeF> pageSizes(const QString &path)
    {
        const QString info = run(QStringLiteral("pdfinfo"),
            { QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("99"),
                path });
        QList<QSizeF> sizes;
        static const QRegularExpression pageSize(
            QStringLiteral(R"(Page +\d+ size: +([\d.]+) x ([\d.]+) pts)"));
        for (auto match = pageSize.globalMatch(info); match.hasNext();) {
            const auto page = match.next();
            sizes.append(QSizeF(page.captured(1).toDouble(), page.captured(2).toDouble()));
        }
        return sizes;
    }

    static void expectPoints(const QSizeF &points, const QSizeF &millimetres)
    {
        EXPECT_NEAR(points.width(), millimetres.width() / 25.4 * 72, 1);
        EXPECT_NEAR(points.height(), millimetres.height() / 25.4 * 72, 1);
    }
};

TEST_F(PdfExport, WritesTheSheetAsOnePageOfItsPaperSize)
{
    drawing.sheets.append(a3Sheet(QStringLiteral("Sheet2")));
    drawing.sheets[1].paper = QSizeF(210, 297);
    const QString path = exportTo(QStringLiteral(".PDF"), QStringLiteral("sheet.pdf"));
    const QList<QSizeF> sizes = pageSizes(path);
    ASSERT_EQ(sizes.size(), 1);
    expectPoints(sizes[0], QSizeF(420, 297));

    const QString text = run(QStringLiteral("pdftotext"), { path, QStringLiteral("-") });
    for (const char *expected :
        { "Drawing View1", "Drawing View2", "ALL EDGES DEBURRED", "PLATE.SLDDRW", "BP-1001" })
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected;
    EXPECT_FALSE(text.contains(QLatin1String("Sheet2")));
}

TEST_F(PdfExport, WritesEverySheetAsAPageOfItsOwnPaperSize)
{
    drawing.sheets.append(a3Sheet(QStringLiteral("Sheet2")));
    drawing.sheets[1].paper = QSizeF(210, 297);
    drawing.sheets.append(a3Sheet(QStringLiteral("Sheet3")));
    drawing.sheets[2].paper = QSizeF(841, 594);
    request.allSheets = true;
    request.sheetIndex = 1;
    const QString path = exportTo(QStringLiteral(".PDF"), QStringLiteral("all.pdf"));
    const QList<QSizeF> sizes = pageSizes(path);
    ASSERT_EQ(sizes.size(), 3);
    expectPoints(sizes[0], QSizeF(420, 297));
    expectPoints(sizes[1], QSizeF(210, 297));
    expectPoints(sizes[2], QSizeF(841, 594));
    const QString text = run(QStringLiteral("pdftotext"), { path, QStringLiteral("-") });
    EXPECT_LT(text.indexOf(QLatin1String("Sheet1")), text.indexOf(QLatin1String("Sheet2")));
    EXPECT_LT(text.indexOf(QLatin1String("Sheet2")), text.indexOf(QLatin1String("Sheet3")));
}

// ---------------------------------------------------------------------------------------------
// Images

class ImageExport : public ExportFixture, public ::testing::WithParamInterface<const char *> {
protected:
    QImage exported(const QString &fileName, QByteArray *format = nullptr)
    {
        const QString extension = QString::fromLatin1(GetParam());
        QImageReader reader(exportTo(extension, fileName + extension.toLower()));
        if (format)
            *format = reader.format();
        const QImage image = reader.read();
        EXPECT_FALSE(image.isNull()) << qPrintable(reader.errorString());
        return image;
    }
};

TEST_P(ImageExport, RendersTheSheetAtOneHundredDotsPerInchOnWhite)
{
    QByteArray format;
    const QImage image = exported(QStringLiteral("sheet"), &format);
    EXPECT_EQ(format, QByteArray(GetParam()) == ".JPG" ? QByteArray("jpeg") : QByteArray("tiff"));
    EXPECT_EQ(image.size(), QSize(1654, 1169));
    EXPECT_EQ(image.dotsPerMeterX(), 3937);
    EXPECT_EQ(image.dotsPerMeterY(), 3937);

    const auto grey = [&image](int x, int y) { return qGray(image.pixel(x, y)); };
    EXPECT_GT(grey(5, 5), 240); // paper outside the border
    EXPECT_GT(grey(800, 300), 240); // empty sheet
    EXPECT_LT(grey(39, 584), 100); // border line 10 mm from the left edge
    EXPECT_LT(grey(393, 460), 100); // the plate's left edge at 100 mm, its middle at 180 mm

    drawing.sheets[0].paper = QSizeF(210, 297);
    EXPECT_EQ(exported(QStringLiteral("a4")).size(), QSize(827, 1169));
}

TEST_P(ImageExport, RendersHostileTextsWithoutFailing)
{
    drawing.sheets[0].notes = { NoteData {
        QString(20000, QLatin1Char('n')) + QChar(0) + QStringLiteral("\x01\n"), 30, 60 } };
    drawing.sheets[0].views[0].name = QString::fromUcs4(U"\U0001F600\u4e2d") + QChar(0xd800);
    EXPECT_EQ(exported(QStringLiteral("hostile")).size(), QSize(1654, 1169));
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageExport, ::testing::Values(".JPG", ".TIF"));

} // namespace
