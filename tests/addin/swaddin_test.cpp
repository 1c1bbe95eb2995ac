#include "addin/quilletmain.h"
#include "addin/swaddin.h"
#include "standinhost.h"
#include "testsupport.h"

#include <gtest/gtest.h>

class SwAddIn : public ::testing::Test {
protected:
    void SetUp() override { app = StandInApplication::create(); }

    std::shared_ptr<StandInApplication> app;
    swAddIn addIn;
};

TEST_F(SwAddIn, ConnectAddsTheDrawingCommandUnderToolsAndDisconnectRemovesIt)
{
    // The command's path and callback, and what connecting records for it, are used by every
    // test that runs it; the host offers it for drawings only, as the workbench's tests show.
    ASSERT_TRUE(addIn.SwAddIn_ConnectToSW(app, 7));
    EXPECT_EQ(app->commandItems().size(), 1);
    EXPECT_EQ(app->addInForCookie(7), &addIn);
    EXPECT_EQ(app->frame()->statusBarHistory(),
        QStringList { "Quillet 1.00 " + Quilletmain::legalCopyright });

    ASSERT_TRUE(addIn.SwAddIn_DisconnectFromSW());
    EXPECT_TRUE(app->commandItems().isEmpty());
    EXPECT_EQ(app->frame()->statusBarText(), "Thank you for using Quillet 1.00");
    // Nothing of the host is held after disconnect: a held reference keeps a host alive at exit.
    EXPECT_EQ(app.use_count(), 1);
}
