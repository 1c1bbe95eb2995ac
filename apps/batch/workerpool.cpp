#include "workerpool.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace {

// How often the pool looks for a stop request; a signal handler can do no more than set it.
constexpr int stopPollMilliseconds = 50;

} // namespace

struct WorkerPool::Worker {
    std::unique_ptr<QProcess> process;
    // The task the worker is on.
    std::optional<int> task;
    QByteArray pending;
    bool running = false;
};

WorkerPool::WorkerPool(QString program, QStringList arguments, int workerCount)
    : program(std::move(program))
    , arguments(std::move(arguments))
{
    for (int i = 0; i < workerCount; ++i)
        workers.append(std::make_shared<Worker>());
}

WorkerPool::~WorkerPool()
{
    for (const auto &worker : std::as_const(workers)) {
        if (worker->process && worker->process->state() != QProcess::NotRunning) {
            worker->process->kill();
            worker->process->waitForFinished();
        }
    }
}

void WorkerPool::run(int count, const std::function<void(const Outcome &)> &inOrder,
    const std::function<void()> &sheetSaved, const std::function<int()> &stopRequested)
{
    taskCount = count;
    outcomes = QList<std::optional<Outcome>>(count);
    onOutcome = inOrder;
    onSheet = sheetSaved;
    // No more workers than tasks.
    while (workers.size() > qMax(1, count))
        workers.removeLast();
    for (const auto &worker : std::as_const(workers))
        start(*worker);

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!stopping && stopRequested()) {
            stopping = true;
            // A Ctrl+C at the terminal reaches the workers themselves; a signal sent to this
            // process alone is passed on, and either way they end after the sheet in hand.
            for (const auto &worker : std::as_const(workers)) {
                if (worker->running) {
                    worker->process->closeWriteChannel();
                    worker->process->terminate();
                }
            }
        }
        const bool anyRunning = std::any_of(workers.cbegin(), workers.cend(),
            [](const std::shared_ptr<Worker> &worker) { return worker->running; });
        if (!anyRunning)
            loop.quit();
    });
    poll.start(stopPollMilliseconds);
    loop.exec();

    // Stopped, the tasks that ended are handed on in order, passing over those that did not.
    if (stopping) {
        for (; delivered < taskCount; ++delivered) {
            if (outcomes.at(delivered))
                onOutcome(*outcomes.at(delivered));
        }
        return;
    }
    // Tasks no worker could be started for end as failed.
    {
        for (int task = nextTask; task < taskCount; ++task) {
            outcomes[task] = Outcome { task, std::nullopt,
                QStringLiteral("no worker could be started: ") + startFailure };
        }
        nextTask = taskCount;
        deliver();
    }
}

void WorkerPool::start(Worker &worker)
{
    worker.process = std::make_unique<QProcess>();
    worker.task.reset();
    worker.pending.clear();
    // What a worker prints on its own (a sanitizer's report, a crash) is for the user to see.
    worker.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(worker.process.get(), &QProcess::readyReadStandardOutput,
        [this, &worker] { readLines(worker); });
    QObject::connect(worker.process.get(), &QProcess::finished, [this, &worker] {
        readLines(worker);
        ended(worker);
    });
    worker.process->start(program, arguments);
    worker.running = worker.process->waitForStarted();
    if (!worker.running) {
        startFailure = worker.process->errorString();
        return;
    }
    assign(worker);
}

void WorkerPool::assign(Worker &worker)
{
    if (stopping || nextTask >= taskCount) {
        worker.process->closeWriteChannel();
        return;
    }
    worker.task = nextTask++;
    worker.process->write(QByteArray::number(*worker.task) + '\n');
}

void WorkerPool::readLines(Worker &worker)
{
    worker.pending += worker.process->readAllStandardOutput();
    qsizetype end;
    while ((end = worker.pending.indexOf('\n')) >= 0) {
        const QByteArray line = worker.pending.left(end);
        worker.pending.remove(0, end + 1);
        if (line == "sheet") {
            if (onSheet)
                onSheet();
        } else if (line.startsWith("result ") && worker.task) {
            outcomes[*worker.task]
                = Outcome { *worker.task, QByteArray::fromBase64(line.mid(7)), QString() };
            worker.task.reset();
            assign(worker);
            deliver();
        }
    }
}

void WorkerPool::ended(Worker &worker)
{
    if (!worker.running)
        return;
    worker.running = false;
    // Asked to stop, a worker ends without starting the task it had not read yet.
    if (stopping && worker.process->exitStatus() == QProcess::NormalExit
        && worker.process->exitCode() == 0)
        worker.task.reset();
    if (worker.task) {
        const QString failure = worker.process->exitStatus() == QProcess::CrashExit
            ? QStringLiteral("the worker saving it crashed or was killed")
            : QStringLiteral("the worker saving it ended with status %1")
                  .arg(worker.process->exitCode());
        outcomes[*worker.task] = Outcome { *worker.task, std::nullopt, failure };
        worker.task.reset();
        // The others go on; a fresh worker takes the tasks left. The finished process goes
        // later: this runs inside its own signal.
        if (!stopping && nextTask < taskCount) {
            QObject::disconnect(worker.process.get(), nullptr, nullptr, nullptr);
            worker.process.release()->deleteLater();
            start(worker);
        }
    }
    deliver();
}

void WorkerPool::deliver()
{
    while (delivered < taskCount && outcomes.at(delivered)) {
        onOutcome(*outcomes.at(delivered));
        ++delivered;
    }
}
