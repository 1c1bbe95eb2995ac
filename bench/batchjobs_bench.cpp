// quillet-batch over 200 drawings with two worker processes on two cores against one process:
// the stand-in's drawings and DXF drawings; and the planning of 10,000 drawings' names against
// saving them one after another. With workers, each drawing's names are chosen by its own save,
// side by side with the others; what is left to one process is taking the drawings' answers in
// order, each checked against the names taken before it: that is the planning timed. --plan,
// which decides every name by a dry run first, for shards, is timed for the record.

#include "benchmark.h"
#include "flangedrawing.h"
#include "processturn.h"
#include "saveorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int drawingCount = 200;
constexpr int plannedCount = 10'000;
constexpr int sheetCount = 5;
// The spread from turn to turn on this machine is wider than the cheap drawings' margin: they
// take the fastest of more turns.
constexpr int standInTurns = 15;
constexpr int turns = 5;

// What workers answer for 10,000 drawings of one sheet saved as the call above saves them.
QList<QByteArray> answers(int count, const QString &output)
{
    QList<QByteArray> encoded;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("FLANGE%1").arg(i, 5, 10, QLatin1Char('0'));
        WorkerResult result;
        result.lines = { { true, QStringLiteral("Quillet 1.00: Files output to [S:\\out\\]") } };
        DrawingRecord &record = result.runs.emplace_back();
        record.path = output + QStringLiteral("/../flanges/") + name + QStringLiteral(".SLDDRW");
        record.format = QStringLiteral("DXF");
        record.outputDirectory = output;
        record.sheets.append({ QStringLiteral("Sheet1"),
            QStringLiteral("S:\\out\\") + name + QStringLiteral("_Sheet1.DXF"),
            SheetSave::Status::Saved });
        result.started = { true };
        result.staged = { { output + QLatin1Char('/') + name + QStringLiteral("_Sheet1.DXF"),
            output + QStringLiteral("/.") + name + QStringLiteral("_Sheet1.1234-1.DXF") } };
        encoded.append(result.encode());
    }
    return encoded;
}

// Taking the answers in order as the call does, but for renaming the files into place, which
// is the saves' own work.
int takeInOrder(const QList<QByteArray> &encoded)
{
    SaveOrder order;
    int taken = 0;
    for (const QByteArray &answer : encoded) {
        const std::optional<WorkerResult> result = WorkerResult::decode(answer);
        if (result && order.stands(*result)) {
            order.add(*result, result->runs.constFirst().path);
            ++taken;
        }
    }
    return taken;
}

struct Folder {
    QString path;
    bool written = false;
};

Folder flangeDrawings(const QString &parent, int count, int sheets)
{
    Folder folder { parent + QStringLiteral("/flanges%1").arg(count) };
    QDir().mkpath(folder.path);
    for (int i = 0; i < count; ++i) {
        if (writeFlangeDrawing(
                folder.path, QStringLiteral("FLANGE%1").arg(i, 5, 10, QLatin1Char('0')), sheets)
                .isEmpty())
            return folder;
    }
    folder.written = true;
    return folder;
}

// Copies of the test drawing with two title-blocked layouts.
Folder dxfDrawings(const QString &parent)
{
    Folder folder { parent + QStringLiteral("/dxf") };
    QDir().mkpath(folder.path);
    const QString source = QStringLiteral(QUILLET_SOURCE_DIR "/tests/data/dxf/LAYOUTS.dxf");
    for (int i = 0; i < drawingCount; ++i) {
        if (!QFile::copy(
                source, folder.path + QStringLiteral("/L%1.dxf").arg(i, 3, 10, QLatin1Char('0'))))
            return folder;
    }
    folder.written = true;
    return folder;
}

struct Call {
    QString batch;
    QProcessEnvironment environment;
    QString scratch;

    Fastest run(const QStringList &arguments, int count) const
    {
        Fastest fastest;
        for (int i = 0; i < count; ++i)
            fastest.take(runProcess(batch, arguments, environment, scratch));
        return fastest;
    }
};

QStringList saveArguments(
    const QString &jobs, const QString &format, const QString &output, const QStringList &drawings)
{
    return QStringList { QStringLiteral("-q"), QStringLiteral("-j"), jobs, QStringLiteral("-f"),
        format, QStringLiteral("-s"), QStringLiteral("all"), QStringLiteral("-n"),
        QStringLiteral("DRWNAME|_|SHEETNAME"), QStringLiteral("--no-dest-dirs"),
        QStringLiteral("-o"), output }
    + drawings;
}

// One process and two on the same call, and the call on one drawing when single is given, in
// turns, the order swapped every turn, so that a busy spell of the machine weighs on both.
struct Turns {
    Fastest alone;
    Fastest pair;
    Fastest single;
};

Turns inTurns(const Call &call, const QStringList &one, const QStringList &two,
    const QStringList &single, int count)
{
    Turns turns;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 1)
            turns.pair.take(runProcess(call.batch, two, call.environment, call.scratch));
        turns.alone.take(runProcess(call.batch, one, call.environment, call.scratch));
        if (i % 2 == 0)
            turns.pair.take(runProcess(call.batch, two, call.environment, call.scratch));
        if (!single.isEmpty())
            turns.single.take(runProcess(call.batch, single, call.environment, call.scratch));
    }
    return turns;
}

// Two workers against one process on the same call; false when a run failed. single is the
// call on one of its drawings: its time is the call's start-up and end, which no number of
// workers shares out, so that two could be at most (S + W) / (S + W / 2) times as fast.
bool compareJobs(const Call &call, const QString &what, const QStringList &one,
    const QStringList &two, const QStringList &single, int count, double *speedUp)
{
    // Once to write every file, so that every timed turn replaces files alike.
    call.run(one, 1);
    const auto [alone, pair, startUp] = inTurns(call, one, two, single, count);
    if (alone.turn.exitCode != 0 || pair.turn.exitCode != 0 || startUp.turn.exitCode != 0) {
        std::printf("  FAIL  %s: exit status %d with one process, %d with two, %d on one "
                    "drawing; it said:\n%s\n",
            qPrintable(what), alone.turn.exitCode, pair.turn.exitCode, startUp.turn.exitCode,
            (alone.turn.errors + pair.turn.errors).right(2000).constData());
        return false;
    }
    *speedUp = alone.turn.wall / pair.turn.wall;
    const double work = alone.turn.wall - startUp.turn.wall;
    std::printf("    %s, fastest of %d turns: --jobs 1 %.0f ms, --jobs 2 %.0f ms; one drawing "
                "%.1f ms, so that two processes sharing for free could be %.2f times as fast\n",
        qPrintable(what), count, alone.turn.wall, pair.turn.wall, startUp.turn.wall,
        alone.turn.wall / (startUp.turn.wall + work / 2));
    return true;
}

// For the record: one process against two on a call whose drawings take earlier drawings' names,
// which one process refuses without saving; false when a run did not end as such a call does.
bool compareTakenNames(
    const Call &call, const QString &what, const QStringList &one, const QStringList &two)
{
    const Turns timed = inTurns(call, one, two, {}, turns);
    if (timed.alone.turn.exitCode != 1 || timed.pair.turn.exitCode != 1) {
        std::printf("  FAIL  %s: exit status %d with one process, %d with two\n", qPrintable(what),
            timed.alone.turn.exitCode, timed.pair.turn.exitCode);
        return false;
    }
    std::printf("    %s, fastest of %d turns: --jobs 1 %.0f ms, --jobs 2 %.0f ms\n",
        qPrintable(what), turns, timed.alone.turn.wall, timed.pair.turn.wall);
    return true;
}

} // namespace

QUILLET_BENCHMARK(batchjobs)
{
    const QString batch = QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-batch");
    QTemporaryDir dir(scratchDirTemplate());
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QUILLET_DRIVES"), QStringLiteral("S:=") + dir.path());
    const Call call { batch, environment, dir.path() };
    const QString output = dir.filePath(QStringLiteral("out"));

    const Folder flanges = flangeDrawings(dir.path(), drawingCount, sheetCount);
    const Folder dxf = dxfDrawings(dir.path());
    const Folder many = flangeDrawings(dir.path(), plannedCount, 1);
    if (!flanges.written || !dxf.written || !many.written) {
        std::printf("  FAIL  the drawings could not be written into %s\n", qPrintable(dir.path()));
        return false;
    }

    std::printf("  %d drawings:\n", drawingCount);
    double standInSpeedUp = 0;
    double dxfSpeedUp = 0;
    if (!compareJobs(call, QStringLiteral("stand-in drawings of 5 sheets to DXF"),
            saveArguments("1", "DXF", output, { flanges.path }),
            saveArguments("2", "DXF", output, { flanges.path }),
            saveArguments(
                "1", "DXF", output, { flanges.path + QStringLiteral("/FLANGE00000.SLDDRW") }),
            standInTurns, &standInSpeedUp)
        || !compareJobs(call, QStringLiteral("DXF drawings of 2 layouts to PDF"),
            saveArguments("1", "PDF", output, { dxf.path }),
            saveArguments("2", "PDF", output, { dxf.path }),
            saveArguments("1", "PDF", output, { dxf.path + QStringLiteral("/L000.dxf") }), turns,
            &dxfSpeedUp))
        return false;

    // For the record: the stand-in drawings twice over, in two folders, each of the second taking
    // the names of one in the first; and named by sheet alone, so that each after the first takes
    // the names of the first.
    const Folder again
        = flangeDrawings(dir.filePath(QStringLiteral("again")), drawingCount, sheetCount);
    QStringList bySheetOne = saveArguments("1", "DXF", output, { flanges.path });
    QStringList bySheetTwo = saveArguments("2", "DXF", output, { flanges.path });
    bySheetOne.replace(8, QStringLiteral("SHEETNAME"));
    bySheetTwo.replace(8, QStringLiteral("SHEETNAME"));
    if (!again.written
        || !compareTakenNames(call,
            QStringLiteral("the same twice over, the second folder's names all taken"),
            saveArguments("1", "DXF", output, { flanges.path, again.path }),
            saveArguments("2", "DXF", output, { flanges.path, again.path }))
        || !compareTakenNames(call,
            QStringLiteral("the same named by sheet alone, all names but the first's taken"),
            bySheetOne, bySheetTwo))
        return false;

    const Fastest saving = call.run(saveArguments("1", "DXF", output, { many.path }), 1);
    const QList<QByteArray> encoded = answers(plannedCount, output);
    int taken = 0;
    const Timing planning = measure(turns, [&] { taken = takeInOrder(encoded); });
    const QString plan = dir.filePath(QStringLiteral("plan.json"));
    // The plan's names are those of a save with the same options.
    QStringList planArguments = saveArguments("1", "DXF", output, { many.path });
    planArguments.replace(1, QStringLiteral("--plan"));
    planArguments.replace(2, plan);
    const Fastest planFile = call.run(planArguments, 1);
    if (saving.turn.exitCode != 0 || planFile.turn.exitCode != 0 || taken != plannedCount) {
        std::printf("  FAIL  saving or planning %d drawings ended with %d and %d, %d taken\n",
            plannedCount, saving.turn.exitCode, planFile.turn.exitCode, taken);
        return false;
    }
    std::printf("    %d drawings of one sheet to DXF: saved with --jobs 1 in %.0f ms; their "
                "answers taken in order in %.1f ms; --plan %.0f ms (%.0f %%)\n",
        plannedCount, saving.turn.wall, planning.fastest, planFile.turn.wall,
        planFile.turn.wall / saving.turn.wall * 100);

    bool passed = checkAtLeast(QStringLiteral("stand-in drawings, --jobs 2 against --jobs 1"),
        standInSpeedUp, 1.8, QStringLiteral("times"));
    passed = checkAtLeast(QStringLiteral("DXF drawings, --jobs 2 against --jobs 1"), dxfSpeedUp,
                 1.8, QStringLiteral("times"))
        && passed;
    passed = checkGoal(QStringLiteral("planning against saving one after another"),
                 planning.fastest / saving.turn.wall * 100, 5, QStringLiteral("%"))
        && passed;
    return passed;
}
