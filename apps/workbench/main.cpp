#include "platform/commandline.h"
#include "workbench/workbenchoptions.h"
#include "workbench/workbenchwindow.h"

#include <QApplication>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// A window program on Windows has no console of its own: help, version and usage errors go to
// the console it was started from, unless its output is led elsewhere already.
void reachStartingConsole()
{
#ifdef Q_OS_WIN
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE)
        && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

} // namespace

int main(int argc, char **argv)
{
    // Help, version and usage errors need no display.
    const WorkbenchOptions options = WorkbenchOptions::parse(commandLineArguments(argc, argv));
    if (!options.error.isEmpty() || options.showHelp || options.showVersion)
        reachStartingConsole();
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quillet-workbench: %s\n", qPrintable(options.error));
        return 64;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(WorkbenchOptions::helpText()), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("quillet-workbench %s\n", qPrintable(WorkbenchOptions::version()));
        return 0;
    }
    // Before the first path is mapped here and before any add-in is loaded.
    applyDriveMappings(options.drives);

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-workbench"));
    QCoreApplication::setApplicationVersion(WorkbenchOptions::version());
    WorkbenchWindow window(addInDirectories(QCoreApplication::applicationDirPath()));
    window.show();
    for (const QString &document : options.documents)
        window.openDocument(document);
    return app.exec();
}
