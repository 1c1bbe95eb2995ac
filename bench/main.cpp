// quillet-bench [NAME...]: runs the named benchmarks, or all of them; --list names them. The exit
// status is 0 when every goal is met, 1 when one is missed and 64 for an unknown name.

#include "benchmark.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

std::vector<Benchmark> &registry()
{
    static std::vector<Benchmark> list;
    return list;
}

} // namespace

const std::vector<Benchmark> &benchmarks()
{
    return registry();
}

BenchmarkRegistration::BenchmarkRegistration(const char *name, bool (*run)())
{
    registry().push_back({ name, run });
}

namespace {

double cpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

Timing measure(
    int repetitions, const std::function<void()> &work, const std::function<void()> &setup)
{
    std::vector<double> times;
    Timing timing;
    for (int i = 0; i < repetitions; ++i) {
        if (setup)
            setup();
        const double cpuStart = cpuMilliseconds();
        QElapsedTimer timer;
        timer.start();
        work();
        const double wall = double(timer.nsecsElapsed()) / 1e6;
        const double cpu = cpuMilliseconds() - cpuStart;
        if (times.empty() || wall < timing.fastest) {
            timing.fastest = wall;
            timing.fastestCpu = cpu;
        }
        times.push_back(wall);
    }
    std::sort(times.begin(), times.end());
    timing.median = times.at(times.size() / 2);
    return timing;
}

bool checkGoal(const QString &what, double value, double limit, const QString &unit)
{
    const bool passed = value <= limit;
    std::printf("  %s  %s: %.3f %s (goal: at most %.3f %s)\n", passed ? "PASS" : "FAIL",
        qPrintable(what), value, qPrintable(unit), limit, qPrintable(unit));
    return passed;
}

bool checkAtLeast(const QString &what, double value, double limit, const QString &unit)
{
    const bool passed = value >= limit;
    std::printf("  %s  %s: %.3f %s (goal: at least %.3f %s)\n", passed ? "PASS" : "FAIL",
        qPrintable(what), value, qPrintable(unit), limit, qPrintable(unit));
    return passed;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::vector<Benchmark> chosen = registry();
    std::sort(chosen.begin(), chosen.end(),
        [](const Benchmark &a, const Benchmark &b) { return qstrcmp(a.name, b.name) < 0; });
    const QStringList arguments = app.arguments().mid(1);
    if (arguments == QStringList { QStringLiteral("--list") }) {
        for (const Benchmark &benchmark : chosen)
            std::printf("%s\n", benchmark.name);
        return 0;
    }
    if (!arguments.isEmpty()) {
        std::vector<Benchmark> named;
        for (const QString &argument : arguments) {
            const auto it = std::find_if(chosen.begin(), chosen.end(),
                [&](const Benchmark &b) { return argument == QLatin1String(b.name); });
            if (it == chosen.end()) {
                std::fprintf(
                    stderr, "quillet-bench: no benchmark named %s\n", qPrintable(argument));
                return 64;
            }
            named.push_back(*it);
        }
        chosen = named;
    }

    int failed = 0;
    for (const Benchmark &benchmark : chosen) {
        std::printf("%s\n", benchmark.name);
        std::fflush(stdout);
        if (!benchmark.run())
            ++failed;
    }
    std::printf(
        "%d of %d benchmarks met their goals\n", int(chosen.size()) - failed, int(chosen.size()));
    return failed == 0 ? 0 : 1;
}
