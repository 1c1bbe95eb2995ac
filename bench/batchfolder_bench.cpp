// quillet-batch over a folder of drawings adds the folder search, the filename builder, the log
// and its own start-up to what the host does for every sheet anyway: opening each drawing,
// activating each sheet and writing its file. Over 200 drawings of 5 sheets each, all of that
// together must cost hardly more than the host's own loop over the same drawings.

#include "benchmark.h"
#include "flangedrawing.h"
#include "platform/filesystemobject.h"
#include "standinhost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int drawingCount = 200;
constexpr int sheetCount = 5;
constexpr int turns = 5;

// Processor time of the children that have ended, in milliseconds.
double childrenCpuMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms
        = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The files go to a memory file system where there is one, so that the disk's flushes, which
// vary more than the batch's whole cost, stay out of both figures.
QString scratchDirTemplate()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QString parent
        = memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
    return parent + QStringLiteral("/quillet-bench-XXXXXX");
}

struct BatchTurn {
    double wall = 0;
    double cpu = 0;
    int exitCode = -1;
    QByteArray errors;
};

} // namespace

QUILLET_BENCHMARK(batchfolder)
{
    const QString batch = QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-batch");
    if (!QFileInfo(batch).isExecutable()) {
        std::printf("  FAIL  no quillet-batch beside this program: %s\n", qPrintable(batch));
        return false;
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
    const QStringList arguments { QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("DXF"),
        QStringLiteral("-s"), QStringLiteral("all"), QStringLiteral("-n"),
        QStringLiteral("DRWNAME|_|SHEETNAME"), QStringLiteral("--no-dest-dirs"),
        QStringLiteral("-o"), output, folder };
    const auto batchRun = [&] {
        QProcess process;
        process.setProcessEnvironment(environment);
        const double cpuBefore = childrenCpuMilliseconds();
        QElapsedTimer timer;
        timer.start();
        process.start(batch, arguments);
        process.waitForFinished(-1);
        BatchTurn turn;
        turn.wall = double(timer.nsecsElapsed()) / 1e6;
        turn.cpu = childrenCpuMilliseconds() - cpuBefore;
        turn.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        turn.errors = process.readAllStandardError();
        return turn;
    };

    // The start-up alone: the program and its libraries loaded, the application made.
    const auto startUp = [&] {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(batch, { QStringLiteral("--version") });
        process.waitForFinished(-1);
    };

    // The host's own work, each drawing opened by a fresh host as the batch's is: every sheet
    // activated and saved under the name the batch gives it.
    const auto savedDrives = FileSystemObject::drives();
    FileSystemObject::setDrive(QLatin1Char('S'), dir.path());
    const FileSystemObject fso;
    const QString baseDir = fso.fromNative(output);
    int savedByLoop = 0;
    const auto hostLoop = [&] {
        const auto host = StandInApplication::create();
        savedByLoop = 0;
        for (const QString &path : drawings) {
            const std::shared_ptr<StandInDocument> drawing = host->open(path);
            CadDocument &document = *drawing;
            const QString baseName = QFileInfo(path).completeBaseName();
            for (const QString &sheet : document.GetSheetNames()) {
                int errors = 0;
                int warnings = 0;
                const QString target = fso.buildpath(
                    baseDir, baseName + QLatin1Char('_') + sheet + QStringLiteral(".DXF"));
                if (document.ActivateSheet(sheet)
                    && document.SaveToPath(target, 0, 3, errors, warnings))
                    ++savedByLoop;
            }
            host->closeAllDocuments();
        }
    };

    // Once each to write every file; then in turns, the order swapped every turn, so that a busy
    // spell of the machine weighs on both alike.
    hostLoop();
    BatchTurn fastest = batchRun();
    double loopFastest = 0;
    double loopCpu = 0;
    const Timing startUpTiming = measure(turns, startUp);
    for (int i = 0; i < turns; ++i) {
        Timing loop;
        BatchTurn turn;
        if (i % 2 == 0) {
            loop = measure(1, hostLoop);
            turn = batchRun();
        } else {
            turn = batchRun();
            loop = measure(1, hostLoop);
        }
        if (i == 0 || loop.fastest < loopFastest) {
            loopFastest = loop.fastest;
            loopCpu = loop.fastestCpu;
        }
        if (turn.exitCode != 0 || turn.wall < fastest.wall)
            fastest = turn;
    }
    FileSystemObject::setDrives(savedDrives);

    const int files = drawingCount * sheetCount;
    const qsizetype written = QDir(output).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    if (fastest.exitCode != 0 || savedByLoop != files || written != files) {
        std::printf("  FAIL  batch exit status %d, host loop saved %d of %d sheets, %lld files on "
                    "disk; the batch said:\n%s\n",
            fastest.exitCode, savedByLoop, files, static_cast<long long>(written),
            fastest.errors.right(2000).constData());
        return false;
    }
    std::printf("  %d drawings of %d sheets to DXF in %s, fastest of %d turns (processor time):\n",
        drawingCount, sheetCount, qPrintable(QFileInfo(dir.path()).path()), turns);
    std::printf("    host loop     %8.1f ms (%.1f ms)\n", loopFastest, loopCpu);
    std::printf("    quillet-batch %8.1f ms (%.1f ms), %.1f drawings a second\n", fastest.wall,
        fastest.cpu, drawingCount * 1e3 / fastest.wall);
    std::printf("    the batch's own share: %.1f ms, %.1f%% of its time\n",
        fastest.wall - loopFastest, 100 * (fastest.wall - loopFastest) / fastest.wall);
    std::printf(
        "    of which start-up (quillet-batch --version) %.1f ms; the rest %.2f ms a drawing\n",
        startUpTiming.fastest, (fastest.wall - loopFastest - startUpTiming.fastest) / drawingCount);
    std::printf(
        "    whole batch relative to the host loop: %.3f times\n", fastest.wall / loopFastest);
    // A process starts once however many drawings it saves; the goal is on what it adds to the
    // host's saves of the drawings themselves.
    return checkGoal(QStringLiteral("quillet-batch after its start-up relative to the host loop"),
        (fastest.wall - startUpTiming.fastest) / loopFastest, 1.05, QStringLiteral("times"));
}
