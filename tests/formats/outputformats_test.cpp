#include "formats/outputformats.h"

#include <gtest/gtest.h>

// The keys and their order are checked where they land: the formats file and the settings.
TEST(OutputFormats, NamesByCaptionOrExtensionInAnyCase)
{
    const std::pair<const char *, int> names[] = { { "sldDrw", 0 }, { ".dxf", 1 }, { "DWG", 2 },
        { "eDrawing", 3 }, { "EDRW", 3 }, { " jpg ", 4 }, { "tiff", 5 }, { ".TIF", 5 },
        { "pdf", 6 }, { "JPEG", -1 }, { ".TIFF.", -1 }, { "..PDF", -1 }, { ".", -1 }, { "", -1 } };
    for (const auto &[name, index] : names)
        EXPECT_EQ(OutputFormats::indexOf(QLatin1String(name)), index) << name;
}
