#include "formats/fmtlists.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

const QString dxf = QStringLiteral("[.DXF]");
const QString pdf1 = QStringLiteral("[.1.PDF]");

} // namespace

TEST(FmtLists, StandardKeysComeInFileOrderWithEmptyLists)
{
    const FmtLists fmtLists = FmtLists::withStandardKeys();
    const QStringList expected { QStringLiteral("[.SLDDRW]"), QStringLiteral("[.DXF]"),
        QStringLiteral("[.DWG]"), QStringLiteral("[.EDRW]"), QStringLiteral("[.JPG]"),
        QStringLiteral("[.TIF]"), QStringLiteral("[.0.PDF]"), QStringLiteral("[.1.PDF]") };
    EXPECT_EQ(fmtLists.keys(), expected);
    EXPECT_EQ(FmtLists::standardKeys(), expected);
    for (const QString &key : expected)
        EXPECT_TRUE(fmtLists.list(key).isEmpty()) << key.toStdString();
}

TEST(FmtLists, KeysCompareExactlyAndUnknownKeysStayUnknown)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    EXPECT_TRUE(fmtLists.contains(dxf));
    EXPECT_FALSE(fmtLists.contains(QStringLiteral("[.dxf]")));
    EXPECT_FALSE(fmtLists.contains(QStringLiteral("[.DXF] ")));
    EXPECT_FALSE(fmtLists.contains(QString()));

    EXPECT_FALSE(fmtLists.append(QStringLiteral("[.dxf]"), QStringLiteral("A")));
    EXPECT_FALSE(fmtLists.append(QString(), QStringLiteral("A")));
    EXPECT_FALSE(fmtLists.remove(QStringLiteral("[.dxf]"), QStringLiteral("A")));
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys());
    EXPECT_TRUE(fmtLists.list(dxf).isEmpty());
    EXPECT_TRUE(fmtLists.list(QStringLiteral("[.dxf]")).isEmpty());

    // A key added later goes to the end; adding it again keeps its list.
    fmtLists.addKey(QStringLiteral("[.PNG]"));
    ASSERT_TRUE(fmtLists.append(QStringLiteral("[.PNG]"), QStringLiteral("A")));
    fmtLists.addKey(QStringLiteral("[.PNG]"));
    fmtLists.addKey(dxf);
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys() + QStringList { QStringLiteral("[.PNG]") });
    EXPECT_EQ(fmtLists.list(QStringLiteral("[.PNG]")), QStringList { QStringLiteral("A") });
}

TEST(FmtLists, AppendKeepsOrderAndRefusesDuplicatesWithoutRegardToCase)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("DRWNAME|_|Revision")));
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("SHEETNAME")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("drwname|_|REVISION")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("SHEETNAME")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("Sheetname")));
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("GRÖSSE")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("grösse")));
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("Ärger")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("äRGER")));
    // Letters that fold onto ASCII letters, and letters beyond the first 65,536 code points.
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("Kelvin")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("\u212Aelvin")));
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("\U00010400|x")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("\U00010428|X")));
    // Blanks and tabs are part of the format: these are all different entries.
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("SHEETNAME ")));
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("\tSHEETNAME")));
    EXPECT_TRUE(fmtLists.append(dxf, QString()));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("")));

    EXPECT_EQ(fmtLists.list(dxf),
        (QStringList { QStringLiteral("DRWNAME|_|Revision"), QStringLiteral("SHEETNAME"),
            QStringLiteral("GRÖSSE"), QStringLiteral("Ärger"), QStringLiteral("Kelvin"),
            QStringLiteral("\U00010400|x"), QStringLiteral("SHEETNAME "),
            QStringLiteral("\tSHEETNAME"), QString() }));
    // The lists are independent of each other.
    EXPECT_TRUE(fmtLists.append(pdf1, QStringLiteral("sheetname")));
    EXPECT_EQ(fmtLists.list(pdf1), QStringList { QStringLiteral("sheetname") });
    EXPECT_TRUE(fmtLists.list(QStringLiteral("[.0.PDF]")).isEmpty());
}

TEST(FmtLists, RemoveFindsTheEntryWithoutRegardToCaseAndFreesItsName)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    for (const char *format : { "A", "Bee", "C" })
        ASSERT_TRUE(fmtLists.append(dxf, QString::fromLatin1(format)));
    ASSERT_TRUE(fmtLists.append(pdf1, QStringLiteral("Bee")));

    EXPECT_FALSE(fmtLists.remove(dxf, QStringLiteral("Be")));
    EXPECT_FALSE(fmtLists.remove(dxf, QStringLiteral("Bee ")));
    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("bEE")));
    EXPECT_FALSE(fmtLists.remove(dxf, QStringLiteral("Bee")));
    EXPECT_EQ(fmtLists.list(dxf), (QStringList { QStringLiteral("A"), QStringLiteral("C") }));
    EXPECT_EQ(fmtLists.list(pdf1), QStringList { QStringLiteral("Bee") });

    // Once removed, the name may come back, now at the end and in its new letter case.
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("BEE")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("bee")));
    EXPECT_EQ(fmtLists.list(dxf),
        (QStringList { QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("BEE") }));

    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("a")));
    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("BEE")));
    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("c")));
    EXPECT_TRUE(fmtLists.list(dxf).isEmpty());
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("a")));
}

TEST(FmtLists, TenThousandEntriesKeepTheirOrderAndRefuseEveryDuplicate)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    QStringList expected;
    for (int i = 0; i < 10000; ++i) {
        const QString format = QStringLiteral("Fmt%1|x").arg(i);
        expected.append(format);
        ASSERT_TRUE(fmtLists.append(dxf, format));
    }
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(fmtLists.append(dxf, QStringLiteral("FMT%1|X").arg(i)));
    EXPECT_EQ(fmtLists.list(dxf), expected);
    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("fmt5000|X")));
    expected.removeAt(5000);
    EXPECT_EQ(fmtLists.list(dxf), expected);
}
