#pragma once

#include "workerchannel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Tasks run in worker processes, side by side; the host and its documents stay single-threaded
// in each, as real hosts are. A worker reads tasks from its standard input, one a line: the
// task's number and text, after a space (text without spaces); a line "+" and text (news) tells
// it what the call learnt, for the tasks after it. It answers on its standard output with a line
// "sheet" for every sheet it has saved, if asked to, and a line "result SIZE" followed by the
// SIZE bytes of its answer for every task it has ended, and ends when its standard input does.
// It may hold answers back until it reads an empty line; there it asks for more with a line
// "more" and sends them. Every task it is handed is followed by an empty line, sooner or later.
// It keeps a journal: a line of the task's number as it starts a task, and of the number and the
// base64 of a file's name before it stages the file, so that a worker that dies can be told the
// task it died in, and its files removed; it may empty the journal when it has answered every
// task it started.
class WorkerPool {
public:
    struct Outcome {
        int task = 0;
        // What the worker answered; none when the worker ended without answering.
        std::optional<QByteArray> result;
        // Why there is no result: how the worker ended.
        QString failure;
    };
    using InOrder = std::function<void(const Outcome &)>;
    // What a worker is to know before the next tasks it is handed, learnt since the point given,
    // which it moves on; empty for nothing new. A worker starts at point 0.
    using News = std::function<QByteArray(qsizetype &since)>;
    // How to start a worker that keeps its journal in the file named.
    using Launch = std::function<WorkerChannel::Start(const QString &journal)>;

    WorkerPool(Launch launch, int workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // Runs tasks 0 to count - 1, handing each outcome on in task order, and every sheet saved as
    // it is. A worker that ends without answering has the outcome of the task it was in say so;
    // its files for the tasks it had not answered are removed, and another worker takes its place
    // and runs those tasks again, before the rest.
    // Returns when every task that started has ended; once stopRequested() returns a signal, no
    // further task starts and the workers are asked to stop after the sheet they are saving: the
    // outcomes of tasks that never started are not handed on, and none is run again.
    void run(int count, const std::function<QByteArray(int)> &taskText, const News &news,
        const InOrder &inOrder, const std::function<void()> &sheetSaved,
        const std::function<int()> &stopRequested);

private:
    struct Worker;
    void start(Worker &worker);
    void hand(Worker &worker);
    void readLines(Worker &worker, const QByteArray &data);
    void ended(Worker &worker, bool crashed, int status);
    void deliver();
    bool anyRunning() const;
    // No worker runs and no outcome waits to be handed on.
    bool finished() const;

    Launch launch;
    QList<std::shared_ptr<Worker>> workers;
    int taskCount = 0;
    int nextTask = 0;
    // Tasks to run before the next new one: handed back by a worker that died before it started
    // them.
    QList<int> first;
    bool stopping = false;
    QString startFailure;
    QList<std::optional<Outcome>> outcomes;
    int delivered = 0;
    std::function<QByteArray(int)> textOf;
    News newsSince;
    InOrder onOutcome;
    std::function<void()> onSheet;
    std::function<void()> allEnded;
    // The outcomes not handed on yet, in a later turn of the loop.
    QTimer deliverRest;
    // The channels of workers that died, kept until the pool's loop is left.
    std::vector<std::unique_ptr<WorkerChannel>> retired;
};
