#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QProcess;
class QSocketNotifier;

// A worker process and the pipes to it: what is written goes to its standard input, what it
// writes to its standard output comes back, and what it writes to standard error is the user's
// to see. Where there is fork, the worker is a copy of this process that runs a function, so it
// starts in no time and knows what this process knows; on Windows it is a program started
// afresh.
class WorkerChannel {
public:
    struct Start {
        // Run by the copy; its result is the copy's exit status.
        std::function<int()> body;
        // Started on Windows.
        QString program;
        QStringList arguments;
        QProcessEnvironment environment;
    };

    // Told, in this process's event loop, what the worker wrote, and once that it has ended:
    // crashed or killed, or with its exit status.
    WorkerChannel(std::function<void(const QByteArray &)> output,
        std::function<void(bool crashed, int status)> ended);
    // A worker still running is killed.
    ~WorkerChannel();
    WorkerChannel(const WorkerChannel &) = delete;
    WorkerChannel &operator=(const WorkerChannel &) = delete;

    // False, with why, when no process could be started.
    bool start(const Start &start, QString *why);
    void write(const QByteArray &data);
    // The worker's standard input ends.
    void closeInput();
    // SIGTERM where there are signals; on Windows the process is ended.
    void terminate();

private:
    void kill();

    std::function<void(const QByteArray &)> onOutput;
    std::function<void(bool, int)> onEnded;
#ifdef Q_OS_WIN
    std::unique_ptr<QProcess> process;
#else
    void readOutput();
    void writeInput();

    int pid = -1;
    int input = -1;
    int output = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    // What the worker has not taken yet: it reads only between tasks, and this process must
    // not wait for it meanwhile.
    QByteArray unwritten;
    std::unique_ptr<QSocketNotifier> writable;
    bool closeWhenWritten = false;
#endif
};
