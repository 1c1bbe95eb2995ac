#include "formats/outputformats.h"

#include <gtest/gtest.h>

// The key of one format, with the PDF option off and on, is checked by the refresh rules.
TEST(OutputFormats, FormatListKeysInTableOrder)
{
    EXPECT_EQ(OutputFormats::allFormatListKeys(),
        (QStringList { "[.SLDDRW]", "[.DXF]", "[.DWG]", "[.EDRW]", "[.JPG]", "[.TIF]", "[.0.PDF]",
            "[.1.PDF]" }));
}

TEST(OutputFormats, NamesByCaptionOrExtensionInAnyCase)
{
    const std::pair<const char *, int> names[] = { { "sldDrw", 0 }, { ".dxf", 1 }, { "DWG", 2 },
        { "eDrawing", 3 }, { "EDRW", 3 }, { " jpg ", 4 }, { "tiff", 5 }, { ".TIF", 5 },
        { "pdf", 6 }, { "JPEG", -1 }, { ".TIFF.", -1 }, { "..PDF", -1 }, { ".", -1 }, { "", -1 } };
    for (const auto &[name, index] : names)
        EXPECT_EQ(OutputFormats::indexOf(QLatin1String(name)), index) << name;
}
