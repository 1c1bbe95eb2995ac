#include "platform/settingsstore.h"

#include <gtest/gtest.h>

// Where the file lies is checked by the batch tests, which write the stored choices there.
TEST(SettingsStore, ReadsDefaultsAndWrittenTexts)
{
    QSettingsStore store;
    EXPECT_EQ(store.read(QStringLiteral("QuilletTest"), QStringLiteral("Startup"),
                  QStringLiteral("Path"), QStringLiteral("c:\\")),
        QStringLiteral("c:\\"));
    const QString format = QStringLiteral("DRWNAME|_|a,b|=;#x");
    store.write(QStringLiteral("QuilletTest"), QStringLiteral("Startup"),
        QStringLiteral("FilenameFormat.DXF"), format);
    store.write(QStringLiteral("QuilletTest"), QStringLiteral("Startup"), QStringLiteral("Empty"),
        QString());
    EXPECT_EQ(store.read(QStringLiteral("QuilletTest"), QStringLiteral("Startup"),
                  QStringLiteral("FilenameFormat.DXF"), QString()),
        format);
    // A stored empty text is a value, not a missing key.
    EXPECT_EQ(store.read(QStringLiteral("QuilletTest"), QStringLiteral("Startup"),
                  QStringLiteral("Empty"), QStringLiteral("x")),
        QString());
}
