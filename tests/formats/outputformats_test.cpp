#include "formats/outputformats.h"

#include <gtest/gtest.h>

TEST(OutputFormats, KeysFollowTheTableAndThePdfOption)
{
    EXPECT_EQ(OutputFormats::allFormatListKeys(),
        (QStringList { "[.SLDDRW]", "[.DXF]", "[.DWG]", "[.EDRW]", "[.JPG]", "[.TIF]", "[.0.PDF]",
            "[.1.PDF]" }));
    EXPECT_EQ(OutputFormats::pdfSuffix(6, true), QStringLiteral(".1"));
    EXPECT_EQ(OutputFormats::pdfSuffix(6, false), QStringLiteral(".0"));
    // The single-file option changes nothing for other formats.
    EXPECT_EQ(OutputFormats::pdfSuffix(1, true), QString());
    EXPECT_EQ(OutputFormats::formatListKey(1, true), QStringLiteral("[.DXF]"));
    EXPECT_EQ(OutputFormats::destDirKey(6), QStringLiteral("[.PDF]"));
    EXPECT_EQ(OutputFormats::destDirKey(3), QStringLiteral("[.EDRW]"));
}

TEST(OutputFormats, NamesByCaptionOrExtensionInAnyCase)
{
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("sldDrw")), 0);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral(".dxf")), 1);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("eDrawing")), 3);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("EDRW")), 3);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("tiff")), 5);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("TIF")), 5);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("pdf")), 6);
    EXPECT_EQ(OutputFormats::indexOf(QStringLiteral("JPEG")), -1);
    EXPECT_EQ(OutputFormats::indexOf(QString()), -1);
}
