// Opening the main dialog on a drawing of 1,000 sheets: from the command's load to the dialog
// painted on screen (offscreen here).

#include "addin/quilletmain.h"
#include "benchmark.h"
#include "flangedrawing.h"
#include "maindialog/usrform.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "platform/msgbox.h"
#include "standinhost.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>

QUILLET_BENCHMARK(maindialog)
{
    constexpr int sheetCount = 1000;
    Quilletmain::fillFromVersionResource();
    QTemporaryDir dir;
    const auto savedDrives = FileSystemObject::drives();
    FileSystemObject::setDrive(QLatin1Char('C'), dir.path());
    // The formats file beside the built module is not read; there is none in this folder.
    setModuleDirectory(dir.path());
    const QString drawingPath
        = writeFlangeDrawing(dir.path(), QStringLiteral("FLANGES"), sheetCount);
    const auto host = StandInApplication::create();
    if (drawingPath.isEmpty() || !host->open(drawingPath)) {
        std::printf("  FAIL  the drawing could not be written or opened\n");
        return false;
    }
    const auto savedPresenter = MsgBox::setPresenter([](const MsgBox::Message &message) {
        std::printf("  message: %s\n", qPrintable(message.text));
        return int(MsgBox::Ok);
    });

    int listed = 0;
    const Timing opening = measure(9, [&] {
        usrForm form(host);
        form.show();
        // Painted: the layout is done and every visible row drawn.
        QApplication::processEvents();
        listed = form.findChild<QListWidget *>(QStringLiteral("listSheets"))->count();
    });
    std::printf("  %d sheets listed, fastest of 9 openings %.2f ms (median %.2f ms; processor "
                "time %.2f ms)\n",
        listed, opening.fastest, opening.median, opening.fastestCpu);

    MsgBox::setPresenter(savedPresenter);
    setModuleDirectory(QString());
    FileSystemObject::setDrives(savedDrives);
    return checkGoal(QStringLiteral("main dialog on 1,000 sheets, load to shown"), opening.fastest,
               100, QStringLiteral("ms"))
        && listed == sheetCount;
}
