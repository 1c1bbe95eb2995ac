#include "addin/quilletmain.h"
#include "addin/swaddin.h"
#include "maindialog/usrform.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

class SwAddIn : public ::testing::Test {
protected:
    void SetUp() override { app = StandInApplication::create(); }

    std::shared_ptr<StandInApplication> app;
    swAddIn addIn;
};

TEST_F(SwAddIn, ConnectAddsTheDrawingCommandUnderToolsAndDisconnectRemovesIt)
{
    ASSERT_TRUE(addIn.SwAddIn_ConnectToSW(app, 7));
    EXPECT_EQ(addIn.swInst, app);
    EXPECT_EQ(Quilletmain::hostApp, app);
    EXPECT_EQ(addIn.menuItemPath, QStringLiteral("Quillet 1.00@Tools"));
    ASSERT_EQ(app->commandItems().size(), 1);
    const CommandItem item = app->commandItems().first();
    EXPECT_EQ(item.documentType, 3);
    EXPECT_EQ(item.cookie, 7);
    EXPECT_EQ(item.itemPath, QStringLiteral("Quillet 1.00@Tools"));
    EXPECT_EQ(item.position, 0);
    EXPECT_EQ(item.callbackName, QStringLiteral("showForm"));
    EXPECT_EQ(item.flags, QStringLiteral("1"));
    EXPECT_EQ(item.hint,
        QStringLiteral("Name and Save SolidWorks Drawing Documents with Custom Property "
                       "information in a variety of formats based on user defined rules"));
    EXPECT_EQ(app->addInForCookie(7), &addIn);
    EXPECT_FALSE(Quilletmain::legalCopyright.isEmpty());
    EXPECT_EQ(app->frame()->statusBarHistory(),
        QStringList { QStringLiteral("Quillet 1.00 ") + Quilletmain::legalCopyright });

    ASSERT_TRUE(addIn.SwAddIn_DisconnectFromSW());
    EXPECT_TRUE(app->commandItems().isEmpty());
    EXPECT_EQ(app->frame()->statusBarText(), QStringLiteral("Thank you for using Quillet 1.00"));
}

TEST_F(SwAddIn, TheHostCallsShowFormByNameForDrawingsOnly)
{
    addIn.SwAddIn_ConnectToSW(app, 1);
    app->open(testDataPath(QStringLiteral("PLATE.SLDPRT")));
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));

    app->open(testDataPath(QStringLiteral("PLATE.SLDDRW")));
    int shown = 0;
    // Every command builds a fresh dialog; close each as soon as it is shown.
    const auto closeWhenShown = [&] {
        QTimer::singleShot(0, [&] {
            if (auto *form = qobject_cast<usrForm *>(QApplication::activeModalWidget())) {
                ++shown;
                form->reject();
            }
        });
    };
    closeWhenShown();
    EXPECT_TRUE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    closeWhenShown();
    EXPECT_TRUE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
}
