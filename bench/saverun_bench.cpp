// The save run adds the filename builder and its bookkeeping to what the host does for every
// sheet anyway: activating it and writing the file. A 200-sheet export must cost hardly more
// than the host's own loop over the same sheets.

#include "addin/quilletmain.h"
#include "benchmark.h"
#include "flangedrawing.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "processturn.h"
#include "save/runpreparation.h"
#include "save/runsurroundings.h"
#include "save/saverun.h"
#include "save/savestate.h"
#include "standinhost.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int sheetCount = 200;
constexpr int repetitions = 40;
const QString filenameFormat = QStringLiteral("DRWNAME|_|SHEETNAME|_|SHEETNUMBER");

// Diagnostics are off, so the run shows no window and logs nothing.
class SilentSurroundings : public RunSurroundings {
public:
    void refreshLog() override { }
    void showLogModeless() override { }
    void hideLog() override { }
    void showLogModal() override { }
    void hideMainDialog() override { }
    void appendLog(const QString &) override { }
};

// As GO! prepares it with DXF, all sheets and no destination directories.
SaveState dxfState(const std::shared_ptr<CadApplication> &host, const QString &baseDir)
{
    SaveState state = openActiveDrawing(host);
    RunChoices choices;
    choices.outFmtIndex = OutputFormats::Dxf;
    choices.sheetSelType = SheetChoice::All;
    choices.displayDiags = false;
    choices.baseDir = baseDir;
    choices.filenameFmt = filenameFormat;
    prepareRun(state, choices);
    return state;
}

} // namespace

QUILLET_BENCHMARK(saverun)
{
    Quilletmain::fillFromVersionResource();
    QTemporaryDir dir(scratchDirTemplate());
    const QString drawingPath
        = writeFlangeDrawing(dir.path(), QStringLiteral("FLANGES"), sheetCount);
    const QString outputDir = dir.filePath(QStringLiteral("out"));
    if (drawingPath.isEmpty() || !QDir().mkpath(outputDir)) {
        std::printf("  FAIL  the drawing could not be written into %s\n", qPrintable(dir.path()));
        return false;
    }
    const auto savedDrives = FileSystemObject::drives();
    FileSystemObject::setDrive(QLatin1Char('S'), dir.path());
    const FileSystemObject fso;
    const QString baseDir = fso.fromNative(outputDir);

    const auto host = StandInApplication::create();
    const std::shared_ptr<StandInDocument> drawing = host->open(drawingPath);

    // The names the save run builds from the format, worked out beforehand for the host's loop.
    const QStringList sheetNames = drawing->GetSheetNames();
    QStringList targets;
    for (qsizetype i = 0; i < sheetNames.size(); ++i) {
        targets.append(fso.buildpath(
            baseDir, QStringLiteral("FLANGES_%1_%2.DXF").arg(sheetNames.at(i)).arg(i + 1)));
    }

    int savedByLoop = 0;
    const auto hostLoop = [&] {
        CadDocument &document = *drawing;
        savedByLoop = 0;
        for (qsizetype i = 0; i < sheetNames.size(); ++i) {
            int errors = 0;
            int warnings = 0;
            if (document.ActivateSheet(sheetNames.at(i))
                && document.SaveToPath(targets.at(i), 0, 3, errors, warnings))
                ++savedByLoop;
        }
    };
    SilentSurroundings surroundings;
    SaveState state;
    int savedByRun = 0;
    QString runError;
    const auto saveRun = [&] {
        try {
            const SaveRunResult result = Quillet(state, surroundings);
            savedByRun = result.sheets - result.failed;
        } catch (const QuilletError &error) {
            savedByRun = 0;
            runError = error.description;
        }
    };
    const auto freshState = [&] { state = dxfState(host, baseDir); };

    // Once each to write every file and fill the host's model cache; then in turns, so that a
    // busy spell of the machine weighs on both alike.
    hostLoop();
    freshState();
    saveRun();
    double loopFastest = 0;
    double loopCpu = 0;
    double runFastest = 0;
    double runCpu = 0;
    for (int i = 0; i < repetitions; ++i) {
        // The order swaps every turn, so that neither side always runs on the other's caches.
        Timing loop;
        Timing run;
        if (i % 2 == 0) {
            loop = measure(1, hostLoop);
            run = measure(1, saveRun, freshState);
        } else {
            run = measure(1, saveRun, freshState);
            loop = measure(1, hostLoop);
        }
        if (i == 0 || loop.fastest < loopFastest) {
            loopFastest = loop.fastest;
            loopCpu = loop.fastestCpu;
        }
        if (i == 0 || run.fastest < runFastest) {
            runFastest = run.fastest;
            runCpu = run.fastestCpu;
        }
    }

    const qsizetype filesWritten
        = QDir(outputDir).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    bool passed = true;
    if (savedByLoop != sheetCount || savedByRun != sheetCount || filesWritten != sheetCount) {
        std::printf(
            "  FAIL  host loop saved %d, save run %d of %d sheets, %lld files on disk%s%s\n",
            savedByLoop, savedByRun, sheetCount, static_cast<long long>(filesWritten),
            runError.isEmpty() ? "" : ": ", qPrintable(runError));
        passed = false;
    }
    std::printf("  %d sheets to DXF in %s, fastest of %d runs each (processor time):\n", sheetCount,
        qPrintable(QFileInfo(dir.path()).path()), repetitions);
    std::printf("    host loop %8.2f ms (%.2f ms), %.3f ms a sheet\n", loopFastest, loopCpu,
        loopFastest / sheetCount);
    std::printf("    save run  %8.2f ms (%.2f ms), %.3f ms a sheet\n", runFastest, runCpu,
        runFastest / sheetCount);
    std::printf("    the save run's own cost: %.1f us a sheet\n",
        (runFastest - loopFastest) * 1e3 / sheetCount);
    passed = checkGoal(QStringLiteral("save run time relative to the host loop"),
                 runFastest / loopFastest, 1.05, QStringLiteral("times"))
        && passed;

    host->closeAllDocuments();
    FileSystemObject::setDrives(savedDrives);
    return passed;
}
