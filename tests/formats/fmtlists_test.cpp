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
    const QStringList expected { "[.SLDDRW]", "[.DXF]", "[.DWG]", "[.EDRW]", "[.JPG]", "[.TIF]",
        "[.0.PDF]", "[.1.PDF]" };
    EXPECT_EQ(fmtLists.keys(), expected);
    EXPECT_EQ(FmtLists::standardKeys(), expected);
    for (const QString &key : expected)
        EXPECT_TRUE(fmtLists.list(key).isEmpty()) << key.toStdString();
}

TEST(FmtLists, KeysCompareExactlyAndUnknownKeysStayUnknown)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    EXPECT_TRUE(fmtLists.contains(dxf));
    for (const QString &unknown :
        { QStringLiteral("[.dxf]"), QStringLiteral("[.DXF] "), QString() }) {
        EXPECT_FALSE(fmtLists.contains(unknown));
        EXPECT_FALSE(fmtLists.append(unknown, QStringLiteral("A")));
        EXPECT_FALSE(fmtLists.remove(unknown, QStringLiteral("A")));
        EXPECT_TRUE(fmtLists.list(unknown).isEmpty());
    }
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys());
    EXPECT_TRUE(fmtLists.list(dxf).isEmpty());

    // A key added later goes to the end; adding it again keeps its list.
    fmtLists.addKey(QStringLiteral("[.PNG]"));
    ASSERT_TRUE(fmtLists.append(QStringLiteral("[.PNG]"), QStringLiteral("A")));
    fmtLists.addKey(QStringLiteral("[.PNG]"));
    fmtLists.addKey(dxf);
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys() + QStringList { "[.PNG]" });
    EXPECT_EQ(fmtLists.list(QStringLiteral("[.PNG]")), QStringList { "A" });
}

TEST(FmtLists, AppendKeepsOrderAndRefusesDuplicatesWithoutRegardToCase)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    // Letters that fold onto ASCII letters and letters beyond the first 65,536 code points
    // compare without case too; blanks and tabs are part of the format.
    const std::pair<QString, bool> appends[]
        = { { "DRWNAME|_|Revision", true }, { "SHEETNAME", true }, { "drwname|_|REVISION", false },
              { "SHEETNAME", false }, { "Sheetname", false }, { "GRÖSSE", true },
              { "grösse", false }, { "Ärger", true }, { "äRGER", false }, { "Kelvin", true },
              { "\u212Aelvin", false }, { "\U00010400|x", true }, { "\U00010428|X", false },
              { "SHEETNAME ", true }, { "\tSHEETNAME", true }, { QString(), true }, { "", false } };
    QStringList expected;
    for (const auto &[format, added] : appends) {
        EXPECT_EQ(fmtLists.append(dxf, format), added) << format.toStdString();
        if (added)
            expected.append(format);
    }
    EXPECT_EQ(fmtLists.list(dxf), expected);
    // The lists are independent of each other.
    EXPECT_TRUE(fmtLists.append(pdf1, QStringLiteral("sheetname")));
    EXPECT_EQ(fmtLists.list(pdf1), QStringList { "sheetname" });
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
    EXPECT_EQ(fmtLists.list(dxf), (QStringList { "A", "C" }));
    EXPECT_EQ(fmtLists.list(pdf1), QStringList { "Bee" });

    // Once removed, the name may come back, now at the end and in its new letter case.
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("BEE")));
    EXPECT_FALSE(fmtLists.append(dxf, QStringLiteral("bee")));
    EXPECT_EQ(fmtLists.list(dxf), (QStringList { "A", "C", "BEE" }));

    for (const char *format : { "a", "BEE", "c" })
        EXPECT_TRUE(fmtLists.remove(dxf, QString::fromLatin1(format))) << format;
    EXPECT_TRUE(fmtLists.list(dxf).isEmpty());
    EXPECT_TRUE(fmtLists.append(dxf, QStringLiteral("a")));
}

TEST(FmtLists, TenThousandEntriesKeepTheirOrderAndRefuseEveryDuplicate)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    QStringList expected;
    for (int i = 0; i < 10000; ++i) {
        expected.append(QStringLiteral("Fmt%1|x").arg(i));
        ASSERT_TRUE(fmtLists.append(dxf, expected.constLast()));
    }
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(fmtLists.append(dxf, QStringLiteral("FMT%1|X").arg(i)));
    EXPECT_EQ(fmtLists.list(dxf), expected);
    EXPECT_TRUE(fmtLists.remove(dxf, QStringLiteral("fmt5000|X")));
    expected.removeAt(5000);
    EXPECT_EQ(fmtLists.list(dxf), expected);
}
