#include "addin/CadHost.h"
#include "standinhost.h"

#include <QJsonObject>
#include <QPluginLoader>
#include <gtest/gtest.h>

// The workbench loads the add-in as a plugin; it must connect like the linked one.
TEST(AddInPlugin, LoadsCreatesAndConnects)
{
    QPluginLoader loader(QStringLiteral(QUILLET_PLUGIN_FILE));
    const QJsonObject metaData = loader.metaData().value(QStringLiteral("MetaData")).toObject();
    EXPECT_EQ(metaData.value(QStringLiteral("productName")).toString(), QStringLiteral("Quillet"));
    EXPECT_EQ(metaData.value(QStringLiteral("version")).toString(), QStringLiteral("1.0"));

    auto *factory = qobject_cast<CadAddInFactory *>(loader.instance());
    ASSERT_NE(factory, nullptr) << qPrintable(loader.errorString());
    std::unique_ptr<QObject> addInObject(factory->createAddIn());
    auto *addIn = dynamic_cast<CadAddIn *>(addInObject.get());
    ASSERT_NE(addIn, nullptr);

    const std::shared_ptr<StandInApplication> app = StandInApplication::create();
    ASSERT_TRUE(addIn->SwAddIn_ConnectToSW(app, 3));
    ASSERT_EQ(app->commandItems().size(), 1);
    EXPECT_EQ(app->commandItems().first().itemPath, QStringLiteral("Quillet 1.00@Tools"));
    EXPECT_EQ(app->addInForCookie(3), addInObject.get());
    ASSERT_TRUE(addIn->SwAddIn_DisconnectFromSW());
    EXPECT_TRUE(app->commandItems().isEmpty());
}
