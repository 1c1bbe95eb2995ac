// A quiet batch run keeps no more per sheet than the sheet it is saving, so a drawing of 1,000
// sheets must not need much more memory than one of 10.

#include "benchmark.h"
#include "flangedrawing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct ChildRun {
    bool exited = false;
    int exitCode = -1;
    // Peak resident memory of the program, in KiB; -1 when it could not be read.
    long long peakKiB = -1;
};

// The high-water mark of resident memory in /proc/<pid>/status.
long long vmHwmKiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

// Runs program with arguments and environment, its output into logPath, and reads its peak
// resident memory just before it ends. The child's ru_maxrss from wait4() would not do: the
// kernel counts the resident memory of the process that forked it, this one, into that figure,
// which would hide a small run's peak below the benchmark program's own size.
ChildRun runMeasured(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment, const QString &logPath)
{
    // Everything the child needs is built before fork(): in between, only system calls.
    QList<QByteArray> argumentBytes { QFile::encodeName(program) };
    for (const QString &argument : arguments)
        argumentBytes.append(argument.toLocal8Bit());
    QList<QByteArray> environmentBytes;
    for (const QString &entry : environment.toStringList())
        environmentBytes.append(entry.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &bytes : argumentBytes)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (QByteArray &bytes : environmentBytes)
        envp.push_back(bytes.data());
    envp.push_back(nullptr);

    ChildRun run;
    const int log = ::open(
        QFile::encodeName(logPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0)
        return run;
    const pid_t pid = fork();
    if (pid == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execve(argv.front(), argv.data(), envp.data());
        _exit(127);
    }
    ::close(log);
    if (pid < 0)
        return run;

    // The child stops once after exec; from then on it stops again as it is about to end, with
    // its memory still in place.
    bool optionsSet = false;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, 0) < 0) {
            if (errno == EINTR)
                continue;
            return run;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            run.exited = WIFEXITED(status);
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            return run;
        }
        int forwarded = 0;
        if (!optionsSet) {
            ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
            optionsSet = true;
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            run.peakKiB = vmHwmKiB(pid);
        } else {
            forwarded = WSTOPSIG(status);
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void *>(static_cast<long>(forwarded)));
    }
}

// A quiet DXF export of every sheet of a drawing of sheetCount sheets, in a folder of its own.
ChildRun batchRun(const QString &batch, const QString &dir, int sheetCount)
{
    const QString folder = dir + QStringLiteral("/sheets%1").arg(sheetCount);
    const QString output = folder + QStringLiteral("/out");
    QDir().mkpath(output);
    QDir().mkpath(folder + QStringLiteral("/config"));
    const QString drawing = writeFlangeDrawing(folder, QStringLiteral("FLANGES"), sheetCount);
    if (drawing.isEmpty())
        return {};

    // The user's stored choices and drive map stay out of the run.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QUILLET_DRIVES"), QStringLiteral("C:=") + folder);
    const QString log = folder + QStringLiteral("/batch.log");
    ChildRun run = runMeasured(batch,
        { QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("DXF"), QStringLiteral("-s"),
            QStringLiteral("all"), QStringLiteral("-n"), QStringLiteral("DRWNAME|_|SHEETNAME"),
            QStringLiteral("--no-dest-dirs"), QStringLiteral("-o"), output, drawing },
        environment, log);

    const qsizetype files = QDir(output).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    if (!run.exited || run.exitCode != 0 || files != sheetCount || run.peakKiB < 0) {
        QFile text(log);
        text.open(QIODevice::ReadOnly);
        std::printf("  FAIL  %d sheets: exit status %d, %lld files written, peak %lld KiB; "
                    "output:\n%s\n",
            sheetCount, run.exitCode, static_cast<long long>(files), run.peakKiB,
            text.readAll().right(2000).constData());
        run.peakKiB = -1;
    }
    return run;
}

double megabytes(long long kibibytes)
{
    return double(kibibytes) * 1024 / 1e6;
}

} // namespace

QUILLET_BENCHMARK(batchmemory)
{
    const QString batch = QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-batch");
    if (!QFileInfo(batch).isExecutable()) {
        std::printf("  FAIL  no quillet-batch beside this program: %s\n", qPrintable(batch));
        return false;
    }
    QTemporaryDir dir;
    const ChildRun small = batchRun(batch, dir.path(), 10);
    const ChildRun large = batchRun(batch, dir.path(), 1000);
    if (small.peakKiB < 0 || large.peakKiB < 0)
        return false;
    std::printf("  peak resident memory of quillet-batch -q, DXF of every sheet:\n");
    std::printf("    10 sheets    %8.1f MB\n", megabytes(small.peakKiB));
    std::printf("    1,000 sheets %8.1f MB\n", megabytes(large.peakKiB));
    return checkGoal(QStringLiteral("peak of 1,000 sheets above that of 10 sheets"),
        megabytes(large.peakKiB - small.peakKiB), 20, QStringLiteral("MB"));
}
