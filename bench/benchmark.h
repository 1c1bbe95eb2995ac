#pragma once

#include <QString>
#include <functional>
#include <vector>

// A benchmark prints its figures and a PASS or FAIL line against its goal, and returns whether
// the goal was met. Each source file registers its own with QUILLET_BENCHMARK; main runs them.
struct Benchmark {
    const char *name;
    bool (*run)();
};

const std::vector<Benchmark> &benchmarks();

struct BenchmarkRegistration {
    BenchmarkRegistration(const char *name, bool (*run)());
};

#define QUILLET_BENCHMARK(name)                                                                    \
    static bool name();                                                                            \
    static const BenchmarkRegistration name##Registration(#name, &name);                           \
    static bool name()

// Times of repeated runs of one piece of work, in milliseconds. The fastest run is the figure
// that goals are checked against: on a shared machine the others carry time of other processes.
struct Timing {
    double fastest = 0;
    double median = 0;
    // Processor time of this process in the fastest run, the part that the code itself costs.
    double fastestCpu = 0;
};

// Runs work repetitions times; setup runs before each and is not timed.
Timing measure(
    int repetitions, const std::function<void()> &work, const std::function<void()> &setup = {});

// Prints "  PASS  what: value unit (goal: at most limit unit)" or FAIL; true when it passed.
bool checkGoal(const QString &what, double value, double limit, const QString &unit);
// The same for a goal the value must reach: "goal: at least limit unit".
bool checkAtLeast(const QString &what, double value, double limit, const QString &unit);
