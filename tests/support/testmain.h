#pragma once

#include "addin/quilletmain.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs the process's tests under an application of the given kind. Every test process gets its
// own settings store, so no test ever touches the user's real one, and the product's names and
// character sets as the add-in's connection fills them.
template <class Application> int runTests(int argc, char **argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
#ifdef Q_OS_WIN
    const TemporaryUserHive userHive;
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    Quilletmain::fillFromVersionResource();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
