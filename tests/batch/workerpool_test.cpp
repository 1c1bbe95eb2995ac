#include "workerpool.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <vector>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

// A worker's answers are bytes of any kind behind a line giving their size; the pipe hands
// them over in pieces of any length. Each worker hears the news before its tasks.

namespace {

#ifndef Q_OS_WIN
// What the worker answers to a task: bytes that read like the worker's own lines, then the news
// it heard and the task, so that both show.
QByteArray answerTo(const QByteArray &news, const QByteArray &task)
{
    return "\nsheet\nmore\nresult 3\n" + news + '|' + task;
}

// Written a byte at a time, so that the call reads lines and answers cut anywhere.
void writeInPieces(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (::write(STDOUT_FILENO, &byte, 1) != 1)
            return;
        ::usleep(50);
    }
}

// Answers every task at once, after one saved sheet, and asks for more where it is told to.
int worker()
{
    std::string line;
    QByteArray news;
    while (std::getline(std::cin, line)) {
        if (line.empty()) {
            writeInPieces("more\n");
            continue;
        }
        if (line.front() == '+') {
            news += QByteArray::fromStdString(line.substr(1));
            continue;
        }
        const QByteArray answer = answerTo(news, QByteArray::fromStdString(line));
        writeInPieces("sheet\nresult " + QByteArray::number(answer.size()) + '\n' + answer);
    }
    return 0;
}
#endif

} // namespace

TEST(WorkerPool, AnswersCutAnywhereAreTakenWholeInTaskOrderAndEveryWorkerHeardTheNewsFirst)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "workers here are copies of this process, which Windows cannot make";
#else
    constexpr int taskCount = 7;
    WorkerPool pool(
        [](const QString &) {
            WorkerChannel::Start start;
            start.body = worker;
            return start;
        },
        2);
    std::vector<std::string> answers;
    int sheets = 0;
    pool.run(
        taskCount, [](int task) { return "T" + QByteArray::number(task); },
        // Told once to each worker, and only before tasks.
        [](qsizetype &since) { return since++ == 0 ? QByteArray("news") : QByteArray(); },
        [&](const WorkerPool::Outcome &outcome) {
            answers.push_back(
                outcome.result.value_or("no answer: " + outcome.failure.toUtf8()).toStdString());
        },
        [&] { ++sheets; }, [] { return 0; });

    std::vector<std::string> expected;
    for (int task = 0; task < taskCount; ++task) {
        expected.push_back(
            answerTo("news", QByteArray::number(task) + " T" + QByteArray::number(task))
                .toStdString());
    }
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(sheets, taskCount);
#endif
}
