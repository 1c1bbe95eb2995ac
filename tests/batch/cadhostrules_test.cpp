#include "cadhostrules.h"

#include <gtest/gtest.h>

using namespace CadHostRules;

TEST(CadHostRules, ServerExecutableIsTheQuotedPathOrTheTextUpToItsExe)
{
    EXPECT_EQ(serverExecutable(R"("C:\Program Files\CAD\SLDWORKS.exe" /automation)"),
        R"(C:\Program Files\CAD\SLDWORKS.exe)");
    EXPECT_EQ(serverExecutable(R"(  C:\Program Files\CAD\sldworks.EXE -Embedding)"),
        R"(C:\Program Files\CAD\sldworks.EXE)");
    EXPECT_EQ(serverExecutable(R"(C:\CAD\SLDWORKS.exe)"), R"(C:\CAD\SLDWORKS.exe)");
    // A value that names no program starts none.
    EXPECT_EQ(serverExecutable(R"("C:\CAD\SLDWORKS.exe)"), "");
    EXPECT_EQ(serverExecutable(R"("")"), "");
    EXPECT_EQ(serverExecutable(R"(C:\CAD\server.dll)"), "");
    EXPECT_EQ(serverExecutable(""), "");
}

TEST(CadHostRules, ABusyHostIsAskedAgainUntilTheDeadlineAndARejectionIsFinal)
{
    constexpr std::uint32_t rejected = 1, retryLater = 2;
    EXPECT_EQ(retryDelay(retryLater, 0, 300'000), 250);
    EXPECT_EQ(retryDelay(retryLater, 299'999, 300'000), 250);
    EXPECT_EQ(retryDelay(retryLater, 300'000, 300'000), -1);
    EXPECT_EQ(retryDelay(rejected, 0, 300'000), -1);
    EXPECT_EQ(retryDelay(0, 0, 300'000), -1);
}

TEST(CadHostRules, OpenErrorsNameTheirCausesAndTheUnwellHost)
{
    EXPECT_EQ(openErrorText(2), "file not found");
    EXPECT_EQ(openErrorText(2 | 8192 | 8388608),
        "file not found, saved by a later version of the host, the host is busy");
    // The generic bit and the former warnings name nothing a user can act on.
    EXPECT_EQ(openErrorText(1 | 4 | 512), "");
    EXPECT_TRUE(hostUnwell(262144));
    EXPECT_TRUE(hostUnwell(2 | 8388608));
    EXPECT_FALSE(hostUnwell(2 | 1024 | 65536));
}

TEST(CadHostRules, AStoppedHostsDrawingSaysWhy)
{
    EXPECT_EQ(stoppedText("PUMP.SLDDRW", 300),
        "the host did not finish PUMP.SLDDRW within 300 s and was stopped");
    EXPECT_EQ(endedText("PUMP.SLDDRW"), "the host ended while it had PUMP.SLDDRW open");
}
