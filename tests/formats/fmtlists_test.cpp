#include "formats/fmtlists.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

const QString dxf = "[.DXF]";
const QString pdf1 = "[.1.PDF]";

} // namespace

TEST(FmtLists, KeysCompareExactlyAndUnknownKeysStayUnknown)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    EXPECT_TRUE(fmtLists.contains(dxf));
    for (const QString &unknown : QStringList { "[.dxf]", "[.DXF] ", QString() }) {
        EXPECT_FALSE(fmtLists.contains(unknown));
        EXPECT_FALSE(fmtLists.append(unknown, "A"));
        EXPECT_FALSE(fmtLists.remove(unknown, "A"));
        EXPECT_TRUE(fmtLists.list(unknown).isEmpty());
    }

    // None of that added a key. A key added later goes to the end; adding it again keeps its list.
    fmtLists.addKey("[.PNG]");
    ASSERT_TRUE(fmtLists.append("[.PNG]", "A"));
    fmtLists.addKey("[.PNG]");
    fmtLists.addKey(dxf);
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys() + QStringList { "[.PNG]" });
    EXPECT_EQ(fmtLists.list("[.PNG]"), QStringList { "A" });
}

// Texts that compare equal without regard to case hash alike, for every character that has
// another case.
TEST(FmtLists, CaselessHashAgreesWithTheComparisonForEveryCharacter)
{
    int pairs = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        for (char32_t other : { QChar::toUpper(c), QChar::toLower(c), QChar::toCaseFolded(c) }) {
            if (other == c)
                continue;
            const QString a = QString::fromUcs4(&c, 1);
            const QString b = QString::fromUcs4(&other, 1);
            if (a.compare(b, Qt::CaseInsensitive) != 0)
                continue;
            EXPECT_EQ(caselessHash(a, 7), caselessHash(b, 7)) << std::hex << uint(c);
            ++pairs;
        }
    }
    EXPECT_GT(pairs, 2000);
}

TEST(FmtLists, AppendKeepsOrderAndRefusesDuplicatesWithoutRegardToCase)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    // Letters beyond ASCII and beyond the first 65,536 code points fold too; blanks and tabs are
    // part of the format.
    const std::pair<QString, bool> appends[]
        = { { "DRWNAME|_|Revision", true }, { "drwname|_|REVISION", false }, { "GRÖSSE", true },
              { "grösse", false }, { "Kelvin", true }, { "\u212Aelvin", false }, { "ΟΔΟΣ", true },
              { "οδος", false }, { "\U00010400|x", true }, { "\U00010428|X", false },
              { "SHEETNAME ", true }, { "\tSHEETNAME", true }, { "SHEETNAME", true },
              { "Sheetname", false }, { QString(), true }, { "", false } };
    QStringList expected;
    for (const auto &[format, added] : appends) {
        EXPECT_EQ(fmtLists.append(dxf, format), added) << format.toStdString();
        if (added)
            expected.append(format);
    }
    EXPECT_EQ(fmtLists.list(dxf), expected);
}

TEST(FmtLists, RemoveFindsTheEntryWithoutRegardToCaseAndFreesItsName)
{
    FmtLists fmtLists = FmtLists::withStandardKeys();
    for (const char *format : { "A", "Bee", "C" })
        ASSERT_TRUE(fmtLists.append(dxf, QString::fromLatin1(format)));
    ASSERT_TRUE(fmtLists.append(pdf1, "Bee"));

    EXPECT_FALSE(fmtLists.remove(dxf, "Be"));
    EXPECT_FALSE(fmtLists.remove(dxf, "Bee "));
    EXPECT_TRUE(fmtLists.remove(dxf, "bEE"));
    EXPECT_FALSE(fmtLists.remove(dxf, "Bee"));
    EXPECT_EQ(fmtLists.list(dxf), (QStringList { "A", "C" }));
    EXPECT_EQ(fmtLists.list(pdf1), QStringList { "Bee" });

    // Once removed, the name may come back, now at the end and in its new letter case.
    EXPECT_TRUE(fmtLists.append(dxf, "BEE"));
    EXPECT_FALSE(fmtLists.append(dxf, "bee"));
    EXPECT_EQ(fmtLists.list(dxf), (QStringList { "A", "C", "BEE" }));
}
