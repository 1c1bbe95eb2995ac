#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QProcess;

// Tasks run in worker processes, each a program started with its arguments: a worker reads task
// numbers from its standard input, one a line, and answers on its standard output with a line
// "sheet" for every sheet it has saved and a line "result BASE64" for every task it has ended.
// It ends when its standard input does. The host and its documents stay single-threaded in each
// process, as real hosts are; the processes run side by side.
class WorkerPool {
public:
    struct Outcome {
        int task = 0;
        // What the worker answered; none when the worker ended without answering.
        std::optional<QByteArray> result;
        // Why there is no result: how the worker ended.
        QString failure;
    };

    WorkerPool(QString program, QStringList arguments, int workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // Runs tasks 0 to count - 1, handing each outcome on in task order, and every sheet saved as
    // it is. A worker that ends without answering has its task's outcome say so, and another
    // takes its place for the tasks left. Returns when every task that started has ended; once
    // stopRequested() returns a signal, no further task starts and the workers are asked to stop
    // after the sheet they are saving: the outcomes of tasks that never started are not handed
    // on.
    void run(int count, const std::function<void(const Outcome &)> &inOrder,
        const std::function<void()> &sheetSaved, const std::function<int()> &stopRequested);

private:
    struct Worker;
    void start(Worker &worker);
    void assign(Worker &worker);
    void readLines(Worker &worker);
    void ended(Worker &worker);
    void deliver();

    QString program;
    QStringList arguments;
    QList<std::shared_ptr<Worker>> workers;
    int taskCount = 0;
    int nextTask = 0;
    bool stopping = false;
    QString startFailure;
    QList<std::optional<Outcome>> outcomes;
    int delivered = 0;
    std::function<void(const Outcome &)> onOutcome;
    std::function<void()> onSheet;
};
