#include "platform/settingsstore.h"

#include <gtest/gtest.h>

// Where the file lies is checked by the batch tests, which write the stored choices there.
TEST(SettingsStore, ReadsDefaultsAndWrittenTexts)
{
    QSettingsStore store;
    EXPECT_EQ(store.read("QuilletTest", "Startup", "Path", "c:\\"), "c:\\");
    const QString format = "DRWNAME|_|a,b|=;#x";
    store.write("QuilletTest", "Startup", "FilenameFormat.DXF", format);
    store.write("QuilletTest", "Startup", "Empty", QString());
    EXPECT_EQ(store.read("QuilletTest", "Startup", "FilenameFormat.DXF", QString()), format);
    // A stored empty text is a value, not a missing key.
    EXPECT_EQ(store.read("QuilletTest", "Startup", "Empty", "x"), QString());
}
