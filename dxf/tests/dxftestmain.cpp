#include <QGuiApplication>
#include <gtest/gtest.h>

// The DXF code's tests need fonts for painting and nothing of the add-in: a program of their own
// that builds fast.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
