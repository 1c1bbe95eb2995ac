#include "sheetexport.h"
#include "sheetlayout.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const char *const allFormats[] = { ".DXF", ".PDF", ".JPG", ".TIF" };

// What a reading tool prints for the file it is given.
QString outputOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A drawing with one sheet: a view of a 200 x 100 plate (hole, chamfer line, half-round boss),
// a view of a model that cannot be read, and a note.
class ExportFixture : public ::testing::Test {
protected:
    ExportFixture()
    {
        part.type = DocumentData::Type::Part;
        part.geometry
            = { PolylineShape { { { 0, 0 }, { 200, 0 }, { 200, 100 }, { 0, 100 } }, true },
                  CircleShape { { 50, 50 }, 10 }, LineShape { { 0, 0 }, { 10, 10 } },
                  ArcShape { { 100, 50 }, 20, 0, 180 } };
        drawing.properties = { PropertySet { QString(),
            { { "Revision", "C" }, { "Title", "Base plate" }, { "PartNo", "BP-1001" } } } };
        // A3 landscape.
        drawing.sheets = { SheetData { .name = "Sheet1",
            .views = { ViewData { "Drawing View1", "PLATE.SLDPRT", "Default", 150, 180, 0.5 },
                ViewData { "Drawing View2", "GONE.SLDPRT", "Default", 320, 200, 1 } },
            .notes = { NoteData { "ALL EDGES DEBURRED", 30, 40 } } } };
        request.drawing = &drawing;
        request.title = "PLATE.SLDDRW";
        request.modelOf = [this](const ViewData &view) -> const DocumentData * {
            return view.model == "PLATE.SLDPRT" ? &part : nullptr;
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

    // The reason a request is refused ("" when it is written); a refused request writes nothing.
    QString refusal(const ExportRequest &bad, bool openDevice = true)
    {
        QBuffer buffer;
        if (openDevice)
            buffer.open(QIODevice::WriteOnly);
        QString error;
        const bool written = writeExport(bad, buffer, &error);
        EXPECT_EQ(written, error.isEmpty());
        EXPECT_TRUE(written || buffer.data().isEmpty());
        return error;
    }

    DocumentData part;
    DocumentData drawing;
    ExportRequest request;
    QTemporaryDir dir;
};

// ---------------------------------------------------------------------------------------------
// Requests that cannot be written

TEST_F(ExportFixture, RefusesWhatItCannotWriteWithAReasonAndWritesNothing)
{
    request.extension = ".DXF";
    EXPECT_EQ(refusal(request, false), "The output is not open for writing.");
    for (const char *extension : { ".DWG", ".EDRW", ".SLDDRW", ".TIFF", ".JPEG", "DXF", "" }) {
        ExportRequest bad = request;
        bad.extension = QString::fromLatin1(extension);
        EXPECT_EQ(refusal(bad), bad.extension + " files cannot be exported.");
    }
    for (const DocumentData *document :
        std::initializer_list<const DocumentData *> { nullptr, &part }) {
        ExportRequest bad = request;
        bad.drawing = document;
        EXPECT_EQ(refusal(bad), "Only drawings can be exported.");
    }
    for (int index : { -1, 1 }) {
        ExportRequest bad = request;
        bad.sheetIndex = index;
        EXPECT_EQ(refusal(bad), QStringLiteral("The drawing has no sheet %1.").arg(index + 1));
    }
    // Paper without a usable size cannot become a page or an image, nor paper larger than Qt can
    // paint or read back.
    for (const QSizeF &paper : { QSizeF(0, 297), QSizeF(420, -1), QSizeF(NAN, 297) }) {
        drawing.sheets[0].paper = paper;
        for (const char *extension : allFormats) {
            request.extension = QString::fromLatin1(extension);
            EXPECT_EQ(refusal(request), "Sheet Sheet1 has no usable paper size.") << extension;
        }
    }
    for (const char *extension : { ".JPG", ".TIF" }) {
        request.extension = QString::fromLatin1(extension);
        drawing.sheets[0].paper = QSizeF(8400, 297); // 33071 pixels wide
        EXPECT_EQ(refusal(request), "Sheet Sheet1 is too large for an image.");
        drawing.sheets[0].paper = QSizeF(0.001, 297);
        EXPECT_EQ(refusal(request), "Sheet Sheet1 is too small for an image.");
    }
}

#ifndef Q_OS_WIN
// A disk that fills up before, or in the middle of, the file.
TEST_F(ExportFixture, ReportsAFileThatTheDiskCannotTakeWhole)
{
    const std::pair<const char *, const char *> files[] = { { ".DXF", "The DXF file" },
        { ".PDF", "The PDF file" }, { ".JPG", "The JPEG image" }, { ".TIF", "The TIFF image" } };
    for (const auto &[extension, file] : files) {
        for (qint64 room : { 0, 100 }) {
            request.extension = QString::fromLatin1(extension);
            QFile full(dir.filePath("full"));
            ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Truncate));
            const FileSizeLimit limit(room);
            QString error;
            EXPECT_FALSE(writeExport(request, full, &error)) << extension << " " << room;
            // The reason the system gives follows; no caller shows it.
            EXPECT_TRUE(error.startsWith(QLatin1String(file) + " could not be written: "))
                << qPrintable(error);
        }
    }
}
#endif

// ---------------------------------------------------------------------------------------------
// Layout shared by every format

TEST(SheetLayout, CleansTextsOfControlCharactersAndSplitsThemAtLineBreaks)
{
    const QString text = QStringLiteral("A\tB") + QChar(0) + QStringLiteral("C\x01\x7f")
        + QChar(0x9b) + QStringLiteral("\r\nD\rE\nF") + QChar(0x2028) + QStringLiteral("G")
        + QChar(0xd800) + QStringLiteral("H") + QString::fromUcs4(U"\U0001F600") + QChar(0xfffe);
    const QStringList expected { "A BC", "D", "E", "F",
        QStringLiteral("GH") + QString::fromUcs4(U"\U0001F600") };
    EXPECT_EQ(SheetLayout::cleanLines(text), expected);
    EXPECT_EQ(SheetLayout::cleanLine(text), expected.join(' '));
    EXPECT_EQ(SheetLayout::cleanLines(QString()), QStringList { QString() });
}

TEST(SheetLayout, WrapsAtSpacesWithinTheLimitAndCutsLongWordsBetweenCharacters)
{
    const auto x = [](int count) { return QString(count, 'x'); };
    EXPECT_EQ(SheetLayout::wrap(x(20), 20), QStringList { x(20) });
    EXPECT_EQ(SheetLayout::wrap(x(20) + " b", 20), QStringList({ x(20), "b" }));
    EXPECT_EQ(SheetLayout::wrap("aaa bbb ccc", 7), QStringList({ "aaa bbb", "ccc" }));
    EXPECT_EQ(SheetLayout::wrap(x(45), 20), QStringList({ x(20), x(20), x(5) }));
    // A character outside the first plane is never cut in two.
    const QString smile = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(SheetLayout::wrap(x(19) + smile + smile, 20), QStringList({ x(19), smile + smile }));
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
    // Description wins over Title.
    drawing.properties[0].set("Description", "Plate, machined");
    EXPECT_EQ(titleTexts().mid(10), QStringList({ "DESCRIPTION", "Plate, machined" }));

    // Present but empty, or nothing printable, is the same as missing.
    drawing.properties[0].set("Revision", QString());
    drawing.properties[0].set("PartNo", "\t\x01");
    drawing.properties[0].set("Description", QString());
    EXPECT_EQ(titleTexts(),
        QStringList({ "SHEET", "Sheet1", "SCALE", "1:2", "DRAWING", "PLATE.SLDDRW", "TITLE",
            "Base plate" }));

    drawing.properties.clear();
    drawing.sheets[0].views.clear();
    request.title = "Draw1";
    EXPECT_EQ(titleTexts(), QStringList({ "SHEET", "Sheet1", "SCALE", "DRAWING", "Draw1" }));
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

class DxfExport : public ExportFixture {
protected:
    void SetUp() override
    {
        if (QProcess::execute("/usr/bin/python3", { "-c", "import ezdxf" }) != 0)
            GTEST_SKIP() << "/usr/bin/python3 has no ezdxf";
    }

    // The drawing as ezdxf reads it: version, audit errors, extents, and each model space entity
    // as "LAYER TYPE what it draws", a text as "@x,y" and its decoded text.
    QJsonObject readBack(const QString &path)
    {
        static const char script[] = R"(
import json, sys, ezdxf
from ezdxf.tools.text import caret_decode
doc = ezdxf.readfile(sys.argv[1])
xy = lambda p: "%g,%g" % (p[0], p[1])
entities = []
for e in doc.modelspace():
    t, d = e.dxftype(), e.dxf
    what = {"POLYLINE": lambda: ("closed " if e.is_closed else "open ") + " ".join(map(xy, e.points())),
            "CIRCLE": lambda: "%s r%g" % (xy(d.center), d.radius),
            "ARC": lambda: "%s r%g %g..%g" % (xy(d.center), d.radius, d.start_angle, d.end_angle),
            "LINE": lambda: xy(d.start) + " " + xy(d.end),
            "TEXT": lambda: "@" + xy(d.align_point if d.hasattr("align_point") else d.insert) + " "
                            + ezdxf.decode_dxf_unicode(caret_decode(d.text))}.get(t, str)()
    entities.append(" ".join((d.layer, t, what)))
print(json.dumps({"version": doc.dxfversion, "errors": len(doc.audit().errors),
                  "extents": xy(doc.header["$EXTMIN"]) + " " + xy(doc.header["$EXTMAX"]),
                  "entities": entities}))
)";
        const QJsonObject dxf
            = QJsonDocument::fromJson(outputOf("/usr/bin/python3", { "-c", script, path }).toUtf8())
                  .object();
        EXPECT_EQ(dxf.value("errors").toInt(-1), 0);
        return dxf;
    }

    // The entities that start with prefix, without it.
    static QStringList entities(const QJsonObject &dxf, const QString &prefix)
    {
        QStringList found;
        for (const QJsonValue &entity : dxf.value("entities").toArray()) {
            if (entity.toString().startsWith(prefix))
                found.append(entity.toString().mid(prefix.size()));
        }
        return found;
    }

    // The decoded texts of a layer.
    static QStringList texts(const QJsonObject &dxf, const QString &layer)
    {
        QStringList found = entities(dxf, layer + " TEXT ");
        for (QString &text : found)
            text = text.section(' ', 1);
        return found;
    }
};

TEST_F(DxfExport, WritesTitleBlockGeometryAndTextsOnTheirLayers)
{
    const QJsonObject dxf = readBack(exportTo(".DXF", "sheet.dxf"));
    EXPECT_EQ(dxf.value("version"), "AC1009");
    EXPECT_EQ(dxf.value("extents"), "0,0 420,297");
    EXPECT_EQ(entities(dxf, "BORDER POLYLINE ").size(), 1);
    EXPECT_EQ(texts(dxf, "TITLE"),
        QStringList({ "SHEET", "Sheet1", "SCALE", "1:2", "REV", "C", "PART NO", "BP-1001",
            "DRAWING", "PLATE.SLDDRW", "TITLE", "Base plate" }));
    // Model (0,0)-(200,100) at half scale, its middle on (150,180); angles keep their sense.
    EXPECT_EQ(entities(dxf, "GEOMETRY "),
        QStringList({ "POLYLINE closed 100,155 200,155 200,205 100,205", "CIRCLE 125,180 r5",
            "LINE 100,155 105,160", "ARC 150,180 r10 0..180" }));
    // A view's name goes below its geometry; the unreadable view is its name only, centred where
    // the view is.
    EXPECT_EQ(entities(dxf, "TEXT TEXT "),
        QStringList({ "@150,147.5 Drawing View1", "@320,198.25 Drawing View2",
            "@30,40 ALL EDGES DEBURRED" }));
}

// DXF arcs run counter-clockwise from the start angle to the end angle, both in degrees from 0 up
// to but not including 360; a sweep of whole turns is a circle.
TEST_F(DxfExport, ArcsKeepTheirSweepWithAnglesWithinOneTurn)
{
    // The angles an arc is written with; none for a circle.
    const std::tuple<double, double, const char *> arcs[] = { { 0, 180, "0..180" },
        { -90, 90, "270..90" }, { 90, -90, "90..270" }, { -450, -360, "270..0" },
        { 370, 800, "10..80" }, { 350, 370, "350..10" }, { -10, -20, "350..340" },
        { 45.5, 45.25, "45.5..45.25" }, { -0.0000001, 90, "0..90" }, { 0, 360, "" }, { 360, 0, "" },
        { -30, 330, "" }, { 720, -720, "" }, { 90, 90, "" }, { 1e20, 1e20, "" } };
    part.geometry.clear();
    QStringList written;
    for (const auto &[start, end, angles] : arcs) {
        part.geometry.append(ArcShape { { 100, 50 }, 20, start, end });
        written.append(*angles ? QStringLiteral("ARC 150,180 r10 ") + QLatin1String(angles)
                               : QStringLiteral("CIRCLE 150,180 r10"));
    }
    EXPECT_EQ(entities(readBack(exportTo(".DXF", "arcs.dxf")), "GEOMETRY "), written);

    // Shapes that draw nothing are left out; what lies off the paper widens the extents.
    part.geometry = { PolylineShape { { { 1, 1 } }, true }, CircleShape { { 1, 1 }, -2 },
        LineShape { { 0, INFINITY }, { 1, 1 } }, LineShape { { 0, 0 }, { 200, 100 } } };
    drawing.sheets[0].views[0].x = 0;
    const QJsonObject dxf = readBack(exportTo(".DXF", "odd.dxf"));
    EXPECT_EQ(entities(dxf, "GEOMETRY "), QStringList { "LINE -50,155 50,205" });
    EXPECT_EQ(dxf.value("extents"), "-50,0 420,297");
}

TEST_F(DxfExport, HostileTextsStayOnOneLineOfPlainAsciiAndReadBackWhole)
{
    const QString longWord = QString(1000, 'W') + QString::fromUtf8("\u00e9\u00e9");
    SheetData &sheet = drawing.sheets[0];
    sheet.name = "Sheet\n1";
    // A lone surrogate goes; outside the first plane becomes the replacement character.
    sheet.views[0].name
        = QStringLiteral("View") + QChar(0) + QChar(0xdc00) + "\x1b[31m\x07One\r\nA^";
    sheet.views[1].name = QString::fromUcs4(U"Ansicht \u00c4 \u4e2d%%u\U0001F600");
    sheet.notes
        = { NoteData { QStringLiteral("TAB\tEND\nSECOND ^C \\U+0041") + QChar(0) + "!", 30, 60 },
              NoteData { longWord, 30, 40 } };
    drawing.properties[0].set("Revision", QString(300, 'R'));

    const QString path = exportTo(".DXF", "hostile.dxf");
    const QByteArray bytes = readNative(path);
    for (char c : bytes)
        ASSERT_TRUE((c >= 0x20 && c < 0x7f) || c == '\n') << int(c);
    for (const QByteArray &line : bytes.split('\n'))
        EXPECT_LE(line.size(), 2049);

    const QJsonObject dxf = readBack(path);
    const QStringList notes = texts(dxf, "TEXT");
    ASSERT_GE(notes.size(), 6);
    EXPECT_EQ(notes.mid(0, 4),
        QStringList({ "View[31mOne A^", QString::fromUtf8("Ansicht \u00c4 \u4e2d%%%%%%u\ufffd"),
            "TAB END", "SECOND ^C \\U+0041!" }));
    // The long word is cut into lines that together hold all of it.
    for (const QString &line : notes.mid(4))
        EXPECT_LE(line.size(), 250);
    EXPECT_EQ(notes.mid(4).join(QString()), longWord);

    const QStringList title = texts(dxf, "TITLE");
    EXPECT_EQ(title[1], "Sheet 1");
    EXPECT_EQ(title[5], QString(247, 'R') + "...");
}

// ---------------------------------------------------------------------------------------------
// PDF

class PdfExport : public ExportFixture {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
            GTEST_SKIP() << "pdfinfo is not installed";
    }

    // Page sizes in whole millimetres, in page order.
    static QList<QSize> pageSizes(const QString &path)
    {
        const QString info = outputOf("pdfinfo", { "-f", "1", "-l", "99", path });
        static const QRegularExpression pageSize(R"(Page +\d+ size: +([\d.]+) x ([\d.]+) pts)");
        QList<QSize> sizes;
        for (const QRegularExpressionMatch &page : pageSize.globalMatch(info)) {
            sizes.append(QSize(qRound(page.captured(1).toDouble() / 72 * 25.4),
                qRound(page.captured(2).toDouble() / 72 * 25.4)));
        }
        return sizes;
    }
};

TEST_F(PdfExport, WritesTheActiveSheetOrEverySheetAsPagesOfTheirPaperSize)
{
    for (const auto &[name, paper] :
        { std::pair("Sheet2", QSizeF(210, 297)), std::pair("Sheet3", QSizeF(841, 594)) })
        drawing.sheets.append(SheetData { .name = name, .paper = paper, .views = {}, .notes = {} });
    const QString one = exportTo(".PDF", "one.pdf");
    EXPECT_EQ(pageSizes(one), QList<QSize> { QSize(420, 297) });
    const QString text = outputOf("pdftotext", { one, "-" });
    for (const char *expected :
        { "Drawing View1", "Drawing View2", "ALL EDGES DEBURRED", "PLATE.SLDDRW", "BP-1001" })
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected;
    EXPECT_FALSE(text.contains("Sheet2"));

    request.allSheets = true;
    request.sheetIndex = 1;
    const QString all = exportTo(".PDF", "all.pdf");
    EXPECT_EQ(pageSizes(all), QList<QSize>({ { 420, 297 }, { 210, 297 }, { 841, 594 } }));
    const QString allText = outputOf("pdftotext", { all, "-" });
    EXPECT_LT(allText.indexOf("Sheet1"), allText.indexOf("Sheet2"));
    EXPECT_LT(allText.indexOf("Sheet2"), allText.indexOf("Sheet3"));
}

// ---------------------------------------------------------------------------------------------
// Images

class ImageExport : public ExportFixture, public ::testing::WithParamInterface<const char *> {
protected:
    QImage exported(const QString &fileName)
    {
        const QString extension = QString::fromLatin1(GetParam());
        QImageReader reader(exportTo(extension, fileName + extension.toLower()));
        EXPECT_EQ(reader.format(), extension == ".JPG" ? "jpeg" : "tiff");
        const QImage image = reader.read();
        EXPECT_FALSE(image.isNull()) << qPrintable(reader.errorString());
        return image;
    }
};

TEST_P(ImageExport, RendersTheSheetAtOneHundredDotsPerInchOnWhite)
{
    const QImage image = exported("sheet");
    EXPECT_EQ(image.size(), QSize(1654, 1169));
    EXPECT_EQ(QPoint(image.dotsPerMeterX(), image.dotsPerMeterY()), QPoint(3937, 3937));

    const auto grey = [&image](int x, int y) { return qGray(image.pixel(x, y)); };
    EXPECT_GT(grey(5, 5), 240); // paper outside the border
    EXPECT_GT(grey(800, 300), 240); // empty sheet
    EXPECT_LT(grey(39, 584), 100); // border line 10 mm from the left edge
    EXPECT_LT(grey(393, 460), 100); // the plate's left edge at 100 mm, its middle at 180 mm

    // Other paper, and texts no font can show whole, still make an image of the paper's size.
    drawing.sheets[0].paper = QSizeF(210, 297);
    drawing.sheets[0].notes = { NoteData { QString(20000, 'n') + QChar(0) + "\x01\n", 30, 60 } };
    drawing.sheets[0].views[0].name = QString::fromUcs4(U"\U0001F600\u4e2d") + QChar(0xd800);
    EXPECT_EQ(exported("a4").size(), QSize(827, 1169));
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageExport, ::testing::Values(".JPG", ".TIF"));

} // namespace
