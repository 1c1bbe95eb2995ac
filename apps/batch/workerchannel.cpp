#include "workerchannel.h"

#ifdef Q_OS_WIN
#include <QProcess>
#else
#include <QList>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace {

// This process's ends of every worker's pipes. A copy closes them all: a worker holding another
// worker's input open would keep that one from ever seeing its input end.
QList<int> &channelEnds()
{
    static QList<int> ends;
    return ends;
}

void closeEnd(int &fd)
{
    if (fd < 0)
        return;
    channelEnds().removeOne(fd);
    ::close(fd);
    fd = -1;
}

} // namespace
#endif

WorkerChannel::WorkerChannel(std::function<void(const QByteArray &)> output,
    std::function<void(bool crashed, int status)> ended)
    : onOutput(std::move(output))
    , onEnded(std::move(ended))
{
}

WorkerChannel::~WorkerChannel()
{
    kill();
}

#ifdef Q_OS_WIN

bool WorkerChannel::start(const Start &start, QString *why)
{
    process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProcessEnvironment(start.environment);
    QObject::connect(process.get(), &QProcess::readyReadStandardOutput,
        [this] { onOutput(process->readAllStandardOutput()); });
    QObject::connect(process.get(), &QProcess::finished, [this] {
        onOutput(process->readAllStandardOutput());
        onEnded(process->exitStatus() == QProcess::CrashExit, process->exitCode());
    });
    process->start(start.program, start.arguments);
    if (process->waitForStarted())
        return true;
    *why = process->errorString();
    return false;
}

void WorkerChannel::write(const QByteArray &data)
{
    process->write(data);
}

void WorkerChannel::closeInput()
{
    process->closeWriteChannel();
}

void WorkerChannel::terminate()
{
    process->terminate();
}

void WorkerChannel::kill()
{
    if (process && process->state() != QProcess::NotRunning) {
        QObject::disconnect(process.get(), nullptr, nullptr, nullptr);
        process->kill();
        process->waitForFinished();
    }
}

#else

bool WorkerChannel::start(const Start &start, QString *why)
{
    // The way in is a socket, so that writing to a worker that has ended fails instead of
    // raising SIGPIPE in this process.
    int toWorker[2];
    int fromWorker[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, toWorker) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::pipe(fromWorker) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(toWorker[0]);
        ::close(toWorker[1]);
        return false;
    }
    // What is buffered now would otherwise be written twice, once by each process.
    std::fflush(nullptr);
    pid = ::fork();
    if (pid == 0) {
        for (const int fd : std::as_const(channelEnds()))
            ::close(fd);
        ::dup2(toWorker[0], STDIN_FILENO);
        ::dup2(fromWorker[1], STDOUT_FILENO);
        for (const int fd : { toWorker[0], toWorker[1], fromWorker[0], fromWorker[1] })
            ::close(fd);
        const int status = start.body();
        std::fflush(nullptr);
        // Nothing of this process's own is torn down: that is the parent's.
        ::_exit(status);
    }
    ::close(toWorker[0]);
    ::close(fromWorker[1]);
    if (pid < 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(toWorker[1]);
        ::close(fromWorker[0]);
        return false;
    }
    input = toWorker[1];
    output = fromWorker[0];
    channelEnds().append({ input, output });
    for (const int fd : { input, output })
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
#ifdef F_SETPIPE_SZ
    // Room for a worker's answers to many drawings at once, so that it goes on working while
    // this process reads them.
    constexpr int answerRoom = 1 << 20;
    ::fcntl(output, F_SETPIPE_SZ, answerRoom);
#endif
    notifier = std::make_unique<QSocketNotifier>(output, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { readOutput(); });
    return true;
}

void WorkerChannel::readOutput()
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(output, buffer, sizeof buffer);
        if (count > 0) {
            onOutput(QByteArray(buffer, count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        break;
    }
    // The output ended: the worker has, or is about to. The notifier goes later: this runs in
    // its own signal.
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
    unwritten.clear();
    closeInput();
    closeEnd(output);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    pid = -1;
    onEnded(WIFSIGNALED(status), WIFEXITED(status) ? WEXITSTATUS(status) : 0);
}

void WorkerChannel::write(const QByteArray &data)
{
    if (input < 0)
        return;
    unwritten += data;
    writeInput();
}

void WorkerChannel::writeInput()
{
    while (!unwritten.isEmpty()) {
        const ssize_t count
            = ::send(input, unwritten.constData(), size_t(unwritten.size()), MSG_NOSIGNAL);
        if (count > 0) {
            unwritten.remove(0, count);
        } else if (count < 0 && errno == EAGAIN) {
            if (!writable) {
                writable = std::make_unique<QSocketNotifier>(input, QSocketNotifier::Write);
                QObject::connect(
                    writable.get(), &QSocketNotifier::activated, [this] { writeInput(); });
            }
            writable->setEnabled(true);
            return;
        } else if (count < 0 && errno != EINTR) {
            // A worker that ended reads no more; its end is told of by its output.
            unwritten.clear();
        }
    }
    if (writable)
        writable->setEnabled(false);
    if (closeWhenWritten)
        closeInput();
}

void WorkerChannel::closeInput()
{
    if (!unwritten.isEmpty()) {
        closeWhenWritten = true;
        return;
    }
    if (writable) {
        writable->setEnabled(false);
        writable.release()->deleteLater();
    }
    closeEnd(input);
}

void WorkerChannel::terminate()
{
    if (pid > 0)
        ::kill(pid, SIGTERM);
}

void WorkerChannel::kill()
{
    notifier.reset();
    writable.reset();
    closeEnd(input);
    closeEnd(output);
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        pid = -1;
    }
}

#endif
