// Opening a drawing of 1,000 sheets in the workbench: from the open to the first sheet painted
// with its thousand tabs (offscreen here).

#include "benchmark.h"
#include "flangedrawing.h"
#include "standinhost.h"
#include "workbench/workbenchwindow.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <cstdio>

QUILLET_BENCHMARK(workbench)
{
    constexpr int sheetCount = 1000;
    QTemporaryDir dir;
    // The workbench remembers what it opened; not in the user's own list.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    const QString drawingPath
        = writeFlangeDrawing(dir.path(), QStringLiteral("FLANGES"), sheetCount);
    // No add-ins: the figure is the host's and the window's.
    const QString plugins = dir.filePath(QStringLiteral("plugins"));
    QDir().mkpath(plugins);

    std::unique_ptr<WorkbenchWindow> window;
    bool opened = !drawingPath.isEmpty();
    int tabs = 0;
    const Timing opening = measure(
        9,
        [&] {
            opened = window->openDocument(drawingPath) && opened;
            // Laid out with the tabs shown, then painted.
            QApplication::processEvents();
            window->repaint();
            tabs = window->findChild<QTabBar *>(QStringLiteral("sheetTabs"))->count();
        },
        [&] {
            window = std::make_unique<WorkbenchWindow>(QStringList { plugins });
            window->setPrompts(
                { [](const QString &text) { std::printf("  message: %s\n", qPrintable(text)); },
                    {} });
            window->resize(1200, 800);
            window->show();
            QApplication::processEvents();
        });
    window.reset();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    std::printf("  %d tabs, fastest of 9 openings %.2f ms (median %.2f ms; processor time %.2f "
                "ms)\n",
        tabs, opening.fastest, opening.median, opening.fastestCpu);
    return checkGoal(QStringLiteral("workbench on 1,000 sheets, open to first sheet painted"),
               opening.fastest, 300, QStringLiteral("ms"))
        && opened && tabs == sheetCount;
}
