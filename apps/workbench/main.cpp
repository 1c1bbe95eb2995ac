#include "workbench/workbenchoptions.h"
#include "workbench/workbenchwindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    // Help, version and usage errors need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const WorkbenchOptions options = WorkbenchOptions::parse(arguments);
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
    WorkbenchWindow window(QCoreApplication::applicationDirPath());
    window.show();
    for (const QString &document : options.documents)
        window.openDocument(document);
    return app.exec();
}
