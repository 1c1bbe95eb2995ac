// quillet-batch over a folder of drawings adds the folder search, the filename builder, the log
// and its own start-up to what the host does for every sheet anyway: opening each drawing,
// activating each sheet and writing its file. Over 200 drawings of 5 sheets each, what the batch
// adds must cost hardly more than the host's own loop over the same drawings. Both run as
// processes of their own (quillet-hostloop is the loop), each with its start-up set apart: a
// fresh process runs cold, and the loop timed inside this warm one would charge that to the
// batch.

#include "benchmark.h"
#include "flangedrawing.h"
#include "hostloop.h"
#include "platform/filesystemobject.h"
#include "processturn.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int drawingCount = 200;
constexpr int sheetCount = 5;
constexpr int turns = 25;

} // namespace

QUILLET_BENCHMARK(batchfolder)
{
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString batch = binDir + QStringLiteral("/quillet-batch");
    const QString loop = binDir + QStringLiteral("/quillet-hostloop");
    for (const QString &program : { batch, loop }) {
        if (!QFileInfo(program).isExecutable()) {
            std::printf("  FAIL  no %s beside this program\n", qPrintable(program));
            return false;
        }
    }
    QTemporaryDir dir(scratchDirTemplate());
    const QString folder = dir.filePath(QStringLiteral("drawings"));
    const QString output = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(folder);
    QDir().mkpath(output);
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    QStringList drawings;
    for (int i = 0; i < drawingCount; ++i) {
        const QString path = writeFlangeDrawing(
            folder, QStringLiteral("FLANGE%1").arg(i, 3, 10, QLatin1Char('0')), sheetCount);
        if (path.isEmpty()) {
            std::printf("  FAIL  the drawings could not be written into %s\n", qPrintable(folder));
            return false;
        }
        drawings.append(path);
    }

    // The user's stored choices and drive map stay out of the batch.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QUILLET_DRIVES"), QStringLiteral("S:=") + dir.path());
    const QStringList batchArguments { QStringLiteral("-q"), QStringLiteral("-f"),
        QStringLiteral("DXF"), QStringLiteral("-s"), QStringLiteral("all"), QStringLiteral("-n"),
        QStringLiteral("DRWNAME|_|SHEETNAME"), QStringLiteral("--no-dest-dirs"),
        // The batch's own cost in one process, as the host loop has one.
        QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-o"), output, folder };
    const QStringList loopArguments = QStringList { output } + drawings;

    // Once each to write every file, so that every timed turn replaces files alike; then in
    // turns, the order swapped every turn, so that a busy spell of the machine weighs on both.
    // Start-up alone: quillet-batch --version, quillet-hostloop without drawings.
    Fastest batchRun;
    Fastest loopRun;
    Fastest batchStart;
    Fastest loopStart;
    runProcess(loop, loopArguments, environment, dir.path());
    batchRun.take(runProcess(batch, batchArguments, environment, dir.path()));
    for (int i = 0; i < turns; ++i) {
        const bool batchFirst = i % 2 == 1;
        if (batchFirst)
            batchRun.take(runProcess(batch, batchArguments, environment, dir.path()));
        loopRun.take(runProcess(loop, loopArguments, environment, dir.path()));
        if (!batchFirst)
            batchRun.take(runProcess(batch, batchArguments, environment, dir.path()));
        batchStart.take(
            runProcess(batch, { QStringLiteral("--version") }, environment, dir.path()));
        loopStart.take(runProcess(loop, {}, environment, dir.path()));
    }

    // The same loop inside this process, warm, for comparison.
    const auto savedDrives = FileSystemObject::drives();
    FileSystemObject::setDrive(QLatin1Char('S'), dir.path());
    int savedInProcess = 0;
    const Timing warmLoop
        = measure(turns, [&] { savedInProcess = saveEverySheetToDxf(output, drawings); });
    FileSystemObject::setDrives(savedDrives);

    const int files = drawingCount * sheetCount;
    const qsizetype written = QDir(output).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    const int savedByLoop = loopRun.turn.output.trimmed().toInt();
    if (batchRun.turn.exitCode != 0 || loopRun.turn.exitCode != 0 || savedByLoop != files
        || savedInProcess != files || written != files) {
        std::printf("  FAIL  batch exit status %d, host loop exit status %d and %d of %d sheets "
                    "saved (%d in this process), %lld files on disk; the batch said:\n%s\n",
            batchRun.turn.exitCode, loopRun.turn.exitCode, savedByLoop, files, savedInProcess,
            static_cast<long long>(written), batchRun.turn.errors.right(2000).constData());
        return false;
    }
    const double batchOwn = batchRun.turn.wall - batchStart.turn.wall;
    const double loopOwn = loopRun.turn.wall - loopStart.turn.wall;
    std::printf("  %d drawings of %d sheets to DXF in %s, fastest of %d turns (processor time):\n",
        drawingCount, sheetCount, qPrintable(QFileInfo(dir.path()).path()), turns);
    std::printf(
        "    quillet-batch    %8.1f ms (%.1f ms), %.1f drawings a second; start-up %.1f ms\n",
        batchRun.turn.wall, batchRun.turn.cpu, drawingCount * 1e3 / batchRun.turn.wall,
        batchStart.turn.wall);
    std::printf("    quillet-hostloop %8.1f ms (%.1f ms); start-up %.1f ms\n", loopRun.turn.wall,
        loopRun.turn.cpu, loopStart.turn.wall);
    std::printf("    the same loop in this process, warm: %.1f ms (%.1f ms)\n", warmLoop.fastest,
        warmLoop.fastestCpu);
    std::printf("    the batch's own share: %.1f ms of %.1f ms after start-up, %.2f ms a drawing\n",
        batchOwn - loopOwn, batchOwn, (batchOwn - loopOwn) / drawingCount);
    return checkGoal(
        QStringLiteral("quillet-batch after its start-up relative to the host loop after its"),
        batchOwn / loopOwn, 1.05, QStringLiteral("times"));
}
