#include "processturn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <sys/resource.h>

double childrenCpuMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms
        = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

QString scratchDirTemplate()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QString parent
        = memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
    return parent + QStringLiteral("/quillet-bench-XXXXXX");
}

ProcessTurn runProcess(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment, const QString &streamsDir)
{
    const QString outputFile = streamsDir + QStringLiteral("/stdout");
    const QString errorFile = streamsDir + QStringLiteral("/stderr");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(outputFile);
    process.setStandardErrorFile(errorFile);
    const double cpuBefore = childrenCpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    ProcessTurn turn;
    turn.wall = double(timer.nsecsElapsed()) / 1e6;
    turn.cpu = childrenCpuMilliseconds() - cpuBefore;
    turn.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    turn.output = contents(outputFile);
    turn.errors = contents(errorFile);
    return turn;
}

void Fastest::take(const ProcessTurn &next)
{
    if (taken && turn.exitCode != 0)
        return;
    if (!taken || next.exitCode != 0 || next.wall < turn.wall)
        turn = next;
    taken = true;
}
