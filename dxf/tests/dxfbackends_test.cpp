#include "dxf/dxfflatwriter.h"
#include "dxf/dxfpainter.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dxf;

namespace {

// A paper of 20 x 10 mm at 10 pixels per mm, on white.
QImage paint(const Picture &picture)
{
    QImage image(200, 100, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPicture(picture, painter, 10);
    return image;
}

// The pixels darker than mid grey, as a box.
QRect inkBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TextRun textRun(const QString &text, const QPointF &position, double height = 2.5,
    TextRun::Anchor anchor = TextRun::Anchor::Left)
{
    TextRun run;
    run.text = text;
    run.position = position;
    run.height = height;
    run.anchor = anchor;
    return run;
}

Picture paper(std::vector<PictureItem> items)
{
    return Picture { QSizeF(20, 10), std::move(items), {} };
}

QByteArray flatDxf(const Picture &picture)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeFlatDxf(picture, buffer));
    return buffer.data();
}

using Entity = QList<std::pair<int, QByteArray>>;

// The entities of the ENTITIES section, each as its group codes and values.
QList<Entity> entities(const QByteArray &dxf)
{
    const QList<QByteArray> lines = dxf.split('\n');
    QList<Entity> result;
    bool inEntities = false;
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        const int code = lines[i].trimmed().toInt();
        const QByteArray &value = lines[i + 1];
        if (code == 2 && value == "ENTITIES")
            inEntities = true;
        else if (code == 0 && value == "ENDSEC")
            inEntities = false;
        else if (code == 0 && inEntities)
            result.append(Entity { { 0, value } });
        else if (!result.isEmpty() && inEntities)
            result.last().append({ code, value });
    }
    return result;
}

double real(const Entity &entity, int code)
{
    for (const auto &[c, value] : entity) {
        if (c == code)
            return value.toDouble();
    }
    return qQNaN();
}

// The odd-even area the SOLIDs cover, their corners joined in the order 1-2-4-3.
double solidArea(const QList<Entity> &solids)
{
    double area = 0;
    for (const Entity &solid : solids) {
        const QPointF corners[]
            = { { real(solid, 10), real(solid, 20) }, { real(solid, 11), real(solid, 21) },
                  { real(solid, 13), real(solid, 23) }, { real(solid, 12), real(solid, 22) } };
        double twice = 0;
        for (int i = 0; i < 4; ++i) {
            const QPointF &a = corners[i];
            const QPointF &b = corners[(i + 1) % 4];
            twice += a.x() * b.y() - b.x() * a.y();
        }
        EXPECT_GE(twice, 0) << "a SOLID whose corners cross or turn clockwise";
        area += twice / 2;
    }
    return area;
}

} // namespace

TEST(DxfPainter, StrokesAndFillsLandOnTheirPixelsWithYFlipped)
{
    Fill squareWithHole;
    squareWithHole.rings = { { { 2, 1 }, { 8, 1 }, { 8, 7 }, { 2, 7 } },
        { { 4, 3 }, { 6, 3 }, { 6, 5 }, { 4, 5 } } };
    squareWithHole.colour = 0xffff0000;
    const QImage image = paint(paper({ Stroke { { { 11, 2 }, { 18, 2 } }, false, 0xff000000, 1 },
        Stroke { { { 15.05, 6 }, { 15.05, 9 } }, false, 0xff000000, 0.01 }, squareWithHole }));

    // 1 mm wide, centred 2 mm above the paper's bottom edge, with round caps half a width long.
    EXPECT_EQ(inkBox(image.copy(100, 50, 100, 50)).translated(100, 50), QRect(105, 75, 80, 10));
    // Thinner than a pixel still shows as one.
    EXPECT_LT(qGray(image.pixel(150, 20)), 128);
    EXPECT_EQ(image.pixel(30, 80), 0xffff0000u);
    EXPECT_EQ(image.pixel(50, 50), 0xffffffffu);
    EXPECT_EQ(image.pixel(90, 50), 0xffffffffu);
}

TEST(DxfPainter, TextCapHeightAndAnchorsFollowTheRun)
{
    // The offscreen platform under Wine finds no system fonts; the figures are DejaVu Sans's.
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")))
        GTEST_SKIP() << "DejaVu Sans is not installed";
    TextRun centred = textRun("HH", { 10, 3 }, 4, TextRun::Anchor::Centre);
    centred.font = QStringLiteral("DejaVu Sans");
    const QRect box = inkBox(paint(paper({ centred })));
    // Capitals stand on the baseline (device row 70) and are 40 pixels high.
    EXPECT_NEAR(box.bottom(), 69, 1);
    EXPECT_NEAR(box.top(), 30, 1);
    EXPECT_NEAR(box.center().x(), 100, 1);

    TextRun fitted = centred;
    fitted.anchor = TextRun::Anchor::Right;
    fitted.fitWidth = 8;
    fitted.font = "no such font.ttf";
    const QRect fittedBox = inkBox(paint(paper({ fitted })));
    // Stretched to 80 pixels ending at the anchor; the glyphs' side bearings stay blank.
    EXPECT_NEAR(fittedBox.center().x(), 60, 1);
    EXPECT_GT(fittedBox.width(), 60);

    TextRun turned = centred;
    turned.height = 2;
    turned.rotation = 90;
    turned.mirrorY = true;
    const QRect turnedBox = inkBox(paint(paper({ turned })));
    // Upside down about the baseline, the capitals hang to the right of it once turned.
    EXPECT_NEAR(turnedBox.left(), 100, 1);
    EXPECT_NEAR(turnedBox.width(), 20, 1);
    EXPECT_NEAR(turnedBox.center().y(), 70, 1);
}

TEST(DxfPainter, PicturesKeepTheirTopRowUpAndTheirClip)
{
    QTemporaryDir dir;
    QImage file(20, 20, QImage::Format_RGB32);
    file.fill(Qt::blue);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x)
            file.setPixel(x, y, qRgb(255, 0, 0));
    }
    ASSERT_TRUE(file.save(dir.filePath("picture.png")));
    PictureImage picture { dir.filePath("picture.png"), { 2, 1 }, { 0.4, 0 }, { 0, 0.4 },
        QSize(20, 20), {} };
    const QImage image = paint(paper({ picture }));
    EXPECT_EQ(image.pixel(40, 30), 0xffff0000u);
    EXPECT_EQ(image.pixel(40, 70), 0xff0000ffu);
    EXPECT_EQ(image.pixel(110, 50), 0xffffffffu);

    picture.clip = { { 0, 0 }, { 5, 0 }, { 5, 10 }, { 0, 10 } };
    const QImage clipped = paint(paper({ picture }));
    EXPECT_EQ(clipped.pixel(40, 30), 0xffff0000u);
    EXPECT_EQ(clipped.pixel(60, 30), 0xffffffffu);

    picture.file = dir.filePath("missing.png");
    EXPECT_EQ(inkBox(paint(paper({ picture }))), QRect());
}

TEST(DxfFlatWriter, HeaderBoundsWhatIsWrittenAndNonFiniteItemsAreSkipped)
{
    Picture picture { QSizeF(297, 210),
        { Stroke { { { -1.5, 2 }, { 30, 40.25 } } }, Stroke { { { 0, 0 }, { qInf(), 500 } } },
            textRun("X", { 1, 1 }, qQNaN()) },
        {} };
    const QByteArray dxf = flatDxf(picture);
    EXPECT_TRUE(dxf.contains("$EXTMIN\n 10\n-1.5\n 20\n2.0\n 30\n0.0\n"
                             "  9\n$EXTMAX\n 10\n30.0\n 20\n40.25\n 30\n0.0\n"
                             "  9\n$LIMMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
                             "  9\n$LIMMAX\n 10\n297.0\n 20\n210.0\n 30\n0.0\n"));
    EXPECT_TRUE(dxf.endsWith("  0\nENDSEC\n  0\nEOF\n"));
    const QList<Entity> written = entities(dxf);
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0][0].second, "LINE");

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(writeFlatDxf(picture, readOnly));
}

TEST(DxfFlatWriter, SolidsCoverExactlyTheOddEvenArea)
{
    const Fill squareWithHole { { { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 } },
        { { 3, 3 }, { 3, 5 }, { 5, 5 }, { 5, 3 } } } };
    // A bow tie crosses itself halfway up, where no vertex is.
    const Fill bowTie { { { { 20, 0 }, { 30, 10 }, { 30, 0 }, { 20, 10 } } } };
    const Fill slanted { { { { 0, 20 }, { 7, 21 }, { 3, 26 } } } };
    for (const auto &[fill, area] :
        { std::pair { squareWithHole, 96.0 }, { bowTie, 50.0 }, { slanted, 19.5 } }) {
        const QList<Entity> solids = entities(flatDxf(Picture { QSizeF(40, 40), { fill }, {} }));
        EXPECT_NEAR(solidArea(solids), area, 1e-5);
    }
}

TEST(DxfFlatWriter, EntitiesCarryNearestIndexColoursAndEncodedTexts)
{
    std::vector<PictureItem> items;
    for (QRgb colour : { 0xff000000u, 0xffff0000u, 0xfffa0505u, 0xffff7f7fu, 0xffffffffu })
        items.push_back(Stroke { { { 0, 0 }, { 1, 1 } }, false, colour });
    TextRun encoded = textRun("Maß 5%%", { 10, 20 }, 2, TextRun::Anchor::Centre);
    encoded.font = "arial.ttf";
    items.push_back(encoded);
    TextRun fitted = textRun("FIT", { 1, 2 });
    fitted.rotation = 90;
    fitted.mirrorX = true;
    fitted.colour = 0xff0000ff;
    fitted.fitWidth = 8;
    items.push_back(fitted);
    const QByteArray dxf = flatDxf(Picture { QSizeF(40, 40), items, {} });
    const QList<Entity> written = entities(dxf);
    ASSERT_EQ(written.size(), 7);
    QList<double> colours;
    for (int i = 0; i < 5; ++i)
        colours.append(real(written[i], 62));
    EXPECT_EQ(colours, QList<double>({ 7, 1, 1, 11, 255 }));

    EXPECT_TRUE(dxf.contains("  0\nSTYLE\n  2\nSTYLE1\n 70\n0\n 40\n0.0\n 41\n1.0\n 50\n0.0\n"
                             " 71\n0\n 42\n2.5\n  3\narial.ttf\n"));
    // Seven characters estimated at 0.85 of the height each, centred on the alignment point.
    EXPECT_EQ(written[5],
        Entity({ { 0, "TEXT" }, { 8, "0" }, { 62, "7" }, { 10, "4.05" }, { 20, "20.0" },
            { 30, "0.0" }, { 40, "2.0" }, { 1, "Ma\\U+00DF 5%%%%%%" }, { 7, "STYLE1" }, { 72, "1" },
            { 11, "10.0" }, { 21, "20.0" }, { 31, "0.0" } }));
    // Backwards and turned up, the fitted run ends 8 mm below its start.
    EXPECT_EQ(written[6],
        Entity({ { 0, "TEXT" }, { 8, "0" }, { 62, "5" }, { 10, "1.0" }, { 20, "2.0" },
            { 30, "0.0" }, { 40, "2.5" }, { 1, "FIT" }, { 50, "90.0" }, { 7, "STANDARD" },
            { 71, "2" }, { 72, "5" }, { 11, "1.0" }, { 21, "-6.0" }, { 31, "0.0" } }));
}

// An outline is a POLYLINE open or closed as its stroke, every point a VERTEX; only an open
// thin stroke of two points is a LINE.
TEST(DxfFlatWriter, OutlinesArePolylinesOpenOrClosedAsTheirStrokes)
{
    const Picture picture { QSizeF(40, 40),
        { Stroke { { { 0, 0 }, { 10, 0 }, { 10, 5 } }, true },
            Stroke { { { 0, 0 }, { 10, 0 }, { 10, 5 } }, false },
            Stroke { { { 1, 1 }, { 2, 2 } }, true }, Stroke { { { 1, 1 }, { 2, 2 } }, false } },
        {} };
    const QList<Entity> written = entities(flatDxf(picture));
    const auto polyline = [](const char *closed) {
        return Entity({ { 0, "POLYLINE" }, { 8, "0" }, { 62, "7" }, { 66, "1" }, { 10, "0.0" },
            { 20, "0.0" }, { 30, "0.0" }, { 70, closed } });
    };
    const auto vertex = [](const char *x, const char *y) {
        return Entity({ { 0, "VERTEX" }, { 8, "0" }, { 10, x }, { 20, y }, { 30, "0.0" } });
    };
    const Entity seqend { { 0, "SEQEND" }, { 8, "0" } };
    ASSERT_EQ(written.size(), 15);
    EXPECT_EQ(written.mid(0, 5),
        QList<Entity>({ polyline("1"), vertex("0.0", "0.0"), vertex("10.0", "0.0"),
            vertex("10.0", "5.0"), seqend }));
    EXPECT_EQ(written[5], polyline("0"));
    EXPECT_EQ(written[10], polyline("1"));
    EXPECT_EQ(
        written.mid(11, 3), QList<Entity>({ vertex("1.0", "1.0"), vertex("2.0", "2.0"), seqend }));
    EXPECT_EQ(written[14][0].second, "LINE");
}

// The independent reader is Debian's ezdxf, which a Windows build does not have.
#ifndef Q_OS_WIN
TEST(DxfFlatWriter, IndependentReaderAuditsTheFileCleanAndFindsItsExtents)
{
    Fill ring { { { { 10, 10 }, { 50, 10 }, { 50, 40 }, { 10, 40 } },
                    { { 20, 20 }, { 30, 20 }, { 30, 30 } } },
        0xff00ff00 };
    TextRun text = textRun("Ä^B", { 30, 60 });
    text.font = "simplex.shx";
    const Picture picture { QSizeF(420, 297),
        { Stroke { { { 5, 8 }, { 60, 8 } } }, Stroke { { { 5, 70 }, { 60, 70 }, { 60, 50 } } },
            Stroke { { { 20, 45 }, { 40, 45 }, { 40, 55 } }, true, 0xff336699, 0.5 }, ring, text,
            PictureImage { "missing.png", { 40, 55 }, { 0.1, 0 }, { 0, 0.1 }, QSize(50, 50), {} } },
        {} };
    QTemporaryDir dir;
    QFile file(dir.filePath("flat.dxf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(writeFlatDxf(picture, file));
    file.close();

    QProcess audit;
    audit.start("/usr/bin/python3",
        { QUILLET_SOURCE_DIR "/tools/dxf/audit-dxf.py", "--extents", file.fileName() });
    ASSERT_TRUE(audit.waitForFinished(60000));
    EXPECT_EQ(audit.readAllStandardOutput(), "5 8 60 70\n");
    EXPECT_EQ(audit.exitCode(), 0);
}
#endif
