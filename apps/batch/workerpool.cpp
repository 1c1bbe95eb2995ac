#include "workerpool.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>

namespace {

// How often the pool looks for a stop request; a signal handler can do no more than set it.
constexpr int stopPollMilliseconds = 50;
// The most tasks a worker is handed at once: enough that it seldom wakes its call, few enough
// that what it saved is passed on steadily.
constexpr int mostHanded = 64;
// The most a worker is handed first, doubled with every hand-out up to mostHanded: the first
// answers come soon, so that what they teach reaches the workers early, such as names that many
// drawings take.
constexpr int firstHanded = 4;
// Outcomes handed on before the pool looks at its workers again.
constexpr int deliveredAtOnce = 4;
// Tasks a worker still holds when it asks for more: enough to bridge the time its call takes to
// answer.
constexpr int heldAfterAsking = 2;

// What a worker's journal tells: the tasks it started, in order, and the files it staged for
// each.
struct Journal {
    QList<int> started;
    QHash<int, QStringList> staged;

    static Journal read(const QString &path)
    {
        Journal journal;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return journal;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype space = line.indexOf(' ');
            bool ok = false;
            const int task = line.left(space < 0 ? line.size() : space).toInt(&ok);
            if (!ok)
                continue;
            if (space < 0) {
                journal.started.append(task);
            } else {
                journal.staged[task].append(
                    QString::fromUtf8(QByteArray::fromBase64(line.mid(space + 1))));
            }
        }
        return journal;
    }
};

// The size a line "result SIZE" gives the answer that follows it; none for any other line.
std::optional<qsizetype> answerSize(QByteArrayView line)
{
    if (!line.startsWith("result "))
        return std::nullopt;
    bool ok = false;
    const qsizetype size = line.sliced(7).toLongLong(&ok);
    return ok && size >= 0 ? std::optional(size) : std::nullopt;
}

} // namespace

struct WorkerPool::Worker {
    std::unique_ptr<WorkerChannel> channel;
    QTemporaryFile journal { QDir::temp().filePath(
        QStringLiteral("quillet-batch-XXXXXX.journal")) };
    // The tasks handed to the worker, the one in hand first.
    QList<int> tasks;
    // How far the news the worker was told goes.
    qsizetype told = 0;
    // Its hand-outs so far: the first are small, and each may be twice the one before.
    int handOuts = 0;
    QByteArray pending;
    bool running = false;
};

WorkerPool::WorkerPool(Launch launch, int workerCount)
    : launch(std::move(launch))
{
    deliverRest.setSingleShot(true);
    deliverRest.setInterval(0);
    QObject::connect(&deliverRest, &QTimer::timeout, [this] { deliver(); });
    for (int i = 0; i < workerCount; ++i)
        workers.append(std::make_shared<Worker>());
}

WorkerPool::~WorkerPool() = default;

void WorkerPool::run(int count, const std::function<QByteArray(int)> &taskText, const News &news,
    const InOrder &inOrder, const std::function<void()> &sheetSaved,
    const std::function<int()> &stopRequested)
{
    taskCount = count;
    textOf = taskText;
    newsSince = news;
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
                    worker->channel->closeInput();
                    worker->channel->terminate();
                }
            }
        }
        if (finished())
            loop.quit();
    });
    poll.start(stopPollMilliseconds);
    // The last worker to end ends the loop at once.
    allEnded = [&loop] { loop.quit(); };
    if (!finished())
        loop.exec();
    allEnded = nullptr;
    retired.clear();

    deliverRest.stop();
    // Stopped, the tasks that ended are handed on in order, passing over those that did not.
    if (stopping) {
        for (; delivered < taskCount; ++delivered) {
            if (outcomes.at(delivered))
                onOutcome(*outcomes.at(delivered));
        }
        return;
    }
    // Tasks no worker could be started for end as failed.
    const QString failure = QStringLiteral("no worker could be started: ") + startFailure;
    for (const int task : std::as_const(first))
        outcomes[task] = Outcome { task, std::nullopt, failure };
    first.clear();
    for (int task = nextTask; task < taskCount; ++task)
        outcomes[task] = Outcome { task, std::nullopt, failure };
    nextTask = taskCount;
    while (delivered < taskCount && outcomes.at(delivered))
        deliver();
    deliverRest.stop();
}

void WorkerPool::start(Worker &worker)
{
    worker.tasks.clear();
    worker.told = 0;
    worker.handOuts = 0;
    worker.pending.clear();
    worker.running = false;
    if (!worker.journal.isOpen() && !worker.journal.open()) {
        startFailure = worker.journal.errorString();
        return;
    }
    worker.channel = std::make_unique<WorkerChannel>(
        [this, &worker](const QByteArray &data) { readLines(worker, data); },
        [this, &worker](bool crashed, int status) { ended(worker, crashed, status); });
    worker.running = worker.channel->start(launch(worker.journal.fileName()), &startFailure);
    if (worker.running)
        hand(worker);
}

// A worker is handed the tasks to run first and, when it asks for more, new ones: the more of
// them the more are left, so that the workers end together; the news comes before them. The
// empty line goes before the last few, so that the worker asks for more while it still has work;
// asking with nothing left to hand, it is sent an empty line alone while it holds tasks not
// answered, which ends them.
void WorkerPool::hand(Worker &worker)
{
    if (stopping)
        return;
    QByteArrayList lines;
    for (const int task : std::as_const(first)) {
        worker.tasks.append(task);
        lines.append(QByteArray::number(task) + ' ' + textOf(task));
    }
    first.clear();
    const int share = (taskCount - nextTask) / (2 * int(workers.size()));
    const int most = qMin(mostHanded, firstHanded << qMin(worker.handOuts++, 8));
    for (int count = qBound(1, share, most); count > 0 && nextTask < taskCount; --count) {
        worker.tasks.append(nextTask);
        lines.append(QByteArray::number(nextTask) + ' ' + textOf(nextTask));
        ++nextTask;
    }
    if (lines.isEmpty() && worker.tasks.isEmpty())
        return;
    if (!lines.isEmpty() && newsSince) {
        const QByteArray news = newsSince(worker.told);
        if (!news.isEmpty())
            lines.prepend('+' + news);
    }
    lines.insert(qMax(0, int(lines.size()) - heldAfterAsking), QByteArray());
    worker.channel->write(lines.join('\n') + '\n');
}

void WorkerPool::readLines(Worker &worker, const QByteArray &data)
{
    worker.pending += data;
    bool more = false;
    qsizetype begin = 0;
    qsizetype end;
    while ((end = worker.pending.indexOf('\n', begin)) >= 0) {
        const QByteArrayView line(worker.pending.constData() + begin, end - begin);
        if (const std::optional<qsizetype> size = answerSize(line)) {
            // The answer's bytes follow the line; until all are in, the line waits with them.
            if (worker.pending.size() - (end + 1) < *size)
                break;
            if (!worker.tasks.isEmpty()) {
                const int task = worker.tasks.takeFirst();
                outcomes[task] = Outcome { task, worker.pending.mid(end + 1, *size), QString() };
            }
            begin = end + 1 + *size;
            continue;
        }
        begin = end + 1;
        if (line == "sheet") {
            if (onSheet)
                onSheet();
        } else if (line == "more") {
            more = true;
        }
    }
    worker.pending.remove(0, begin);
    // More work first: the worker is on its last tasks, while the answers can wait.
    if (more)
        hand(worker);
    deliver();
}

void WorkerPool::ended(Worker &worker, bool crashed, int status)
{
    if (!worker.running)
        return;
    worker.running = false;
    // Asked to stop, a worker ends without starting the tasks it had not read yet.
    if (stopping && !crashed && status == 0)
        worker.tasks.clear();
    if (!worker.tasks.isEmpty()) {
        // The task it was in is the last it started; those before it were done but not
        // answered. Their files go, and the tasks but the one it was in run again.
        const Journal journal = Journal::read(worker.journal.fileName());
        int task = worker.tasks.constFirst();
        for (const int started : journal.started) {
            if (worker.tasks.contains(started))
                task = started;
        }
        for (const int held : std::as_const(worker.tasks)) {
            for (const QString &file : journal.staged.value(held))
                QFile::remove(file);
        }
        worker.tasks.removeOne(task);
        const QString failure = crashed
            ? QStringLiteral("the worker saving it crashed or was killed")
            : QStringLiteral("the worker saving it ended with status %1").arg(status);
        outcomes[task] = Outcome { task, std::nullopt, failure };
        for (auto held = worker.tasks.crbegin(); held != worker.tasks.crend(); ++held)
            first.prepend(*held);
        worker.tasks.clear();
        // The others go on; a fresh worker takes the tasks left. The channel goes later: this
        // runs inside its own call.
        if (!stopping && (nextTask < taskCount || !first.isEmpty())) {
            worker.journal.resize(0);
            retired.push_back(std::move(worker.channel));
            start(worker);
        }
    }
    deliver();
}

bool WorkerPool::finished() const
{
    return !anyRunning() && !deliverRest.isActive();
}

bool WorkerPool::anyRunning() const
{
    return std::any_of(workers.cbegin(), workers.cend(),
        [](const std::shared_ptr<Worker> &worker) { return worker->running; });
}

void WorkerPool::deliver()
{
    // A few at a time, so that a worker asking for more is heard in between.
    for (int count = 0; delivered < taskCount && outcomes.at(delivered); ++count) {
        if (count == deliveredAtOnce) {
            deliverRest.start();
            return;
        }
        onOutcome(*outcomes.at(delivered));
        ++delivered;
    }
    if (delivered == taskCount) {
        for (const auto &worker : std::as_const(workers)) {
            if (worker->running)
                worker->channel->closeInput();
        }
    }
    if (finished() && allEnded)
        allEnded();
}
