#pragma once

// Programs beside the benchmark run as processes of their own, timed from outside.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Processor time of the children that have ended, in milliseconds.
double childrenCpuMilliseconds();

// A folder for a benchmark's files: on a memory file system where there is one, so that the
// disk's flushes, which vary more than what is measured, stay out of the figures.
QString scratchDirTemplate();

// One run of a program.
struct ProcessTurn {
    double wall = 0;
    double cpu = 0;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// The streams go to files in streamsDir, as a scheduled batch's would: read through pipes, every
// line the program writes would wake this process while the program runs.
ProcessTurn runProcess(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment, const QString &streamsDir);

// The fastest of several turns, or the first that failed, if one did.
struct Fastest {
    ProcessTurn turn;
    bool taken = false;
    void take(const ProcessTurn &next);
};
