#include "batchoptions.h"

#include "batchplan.h"
#include "batchreport.h"
#include "formats/outputformats.h"
#include "platform/filesystemobject.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>
#include <limits>
#include <optional>

namespace {

// One parser for the arguments and the help, so the help names every option there is.
struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Names and saves the sheets of stand-in drawings (or, with --host cad on Windows, of "
            "the "
            "CAD host's own drawings) with the Quillet save pipeline, without dialogs. Options "
            "left out take the choices stored by the main dialog.\n"
            "Exit status: 0 every file saved, 1 a save failed, 2 a drawing could not be saved, "
            "64 bad usage; with several drawings or formats the highest.\n"
            "Across processes or machines: plan the call once, save its shards anywhere, merge "
            "their reports:\n"
            "  quillet-batch --plan plan.json [options] DRAWING...\n"
            "  parallel quillet-batch --run-plan plan.json --shard {}/4 --report r{}.json "
            "::: 1 2 3 4\n"
            "  quillet-batch --merge-reports --report report.json r1.json r2.json r3.json "
            "r4.json"));
        parser.addOptions({ format, filenameFormat, sheets, output, destDirs, noDestDirs,
            singleFile, quiet, dryRun, report, jobs, host, timeout, restartEvery, plan, runPlan,
            shard, mergeReports });
        // Started by the call itself, never by users.
        worker.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(worker);
#ifndef Q_OS_WIN
        // On Windows the drives are the system's.
        parser.addOption(drive);
#endif
        parser.addOptions({ help, version });
        parser.addPositionalArgument("DRAWING",
            "Drawings (.SLDDRW, .dxf) to save, or folders: every drawing below one, in path "
            "order.",
            "DRAWING...");
    }

    // The parser's usage line names the program as it was started, often a long path; the help
    // shows the name users type.
    QString helpText() const
    {
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')),
            QStringLiteral("Usage: quillet-batch [options] DRAWING..."));
        return text;
    }

    QCommandLineParser parser;
    const QCommandLineOption format { { "f", "format" },
        "SLDDRW | DXF | DWG | eDrawing | EDRW | JPG | TIFF | TIF | PDF "
        "(caption or extension, any case), or several separated by commas, run one after "
        "another; default: the stored choice.",
        "F" };
    const QCommandLineOption filenameFormat { { "n", "filename-format" },
        "Fields separated by \"|\"; default: the stored current format of that output format.",
        "S" };
    const QCommandLineOption sheets { { "s", "sheets" },
        "current | all | NAME[,NAME...]; default: the stored choice.", "W" };
    const QCommandLineOption output { { "o", "output" },
        "Output base directory (a native path); default: the stored \"Path\".", "DIR" };
    const QCommandLineOption destDirs { "dest-dirs",
        "Save into the file destination directories; default: the stored choice." };
    const QCommandLineOption noDestDirs { "no-dest-dirs", "Save into the output base directory." };
    const QCommandLineOption singleFile { "single-file",
        "PDF as one single file (default: the PDF writer's value)." };
    const QCommandLineOption quiet { { "q", "quiet" },
        "Diagnostics off: the log is not printed; the status text is." };
    const QCommandLineOption dryRun { "dry-run",
        "Everything but saving: no file or directory is written; what a run would write is listed "
        "after the log." };
    const QCommandLineOption report { "report",
        "Write a JSON report of the options and every sheet to FILE at the end.", "FILE" };
    const QCommandLineOption jobs { { "j", "jobs" },
        "Save in N worker processes side by side (default: the number of cores); 1 saves in "
        "this process. The log, the report, the files and the exit status do not depend on N.",
        "N" };
    const QCommandLineOption host { "host",
        "stand-in (the default) | cad: the CAD host installed on this Windows machine saves its "
        "own drawings (.SLDDRW), one instance of it for each process of the call, hidden; it "
        "must be installed and licensed, and each instance may take a licence seat.",
        "HOST" };
    const QCommandLineOption timeout { "timeout",
        "With --host cad: a drawing the host has not finished within S seconds (default 300) "
        "is failed, its host stopped and a fresh one started for the next drawings.",
        "S" };
    const QCommandLineOption restartEvery { "restart-every",
        "With --host cad: a fresh host after every N drawings, so that a long run does not "
        "wear one host out.",
        "N" };
    QCommandLineOption worker { "worker",
        "A worker of a call with the same options: saves the drawings its call hands it, "
        "keeping a journal in FILE.",
        "FILE" };
    const QCommandLineOption plan { "plan",
        "Plan the call and write the plan to FILE: every name it would save under, decided as "
        "--dry-run decides them. Nothing is saved.",
        "FILE" };
    const QCommandLineOption runPlan { "run-plan",
        "Save the shard that --shard names of the plan in FILE, with the plan's options and "
        "names; a drawing changed since it was planned is not saved.",
        "FILE" };
    const QCommandLineOption shard { "shard",
        "K/N: with --run-plan, the K-th of N shares of the plan's drawings (the drawings whose "
        "place in the plan, counted from 0, leaves K-1 divided by N).",
        "K/N" };
    const QCommandLineOption mergeReports { "merge-reports",
        "Merge the reports of every shard of a plan, given instead of drawings, into the report "
        "of one run of the call: to --report FILE, or to standard output. The exit status is "
        "the call's." };
    const QCommandLineOption drive { "drive", "Map a drive, for example C:=/srv/cad (repeatable).",
        "X:=DIR" };
    // Help and version are ours, without Qt's extra "-v" and "--help-all".
    const QCommandLineOption help { { "h", "help" }, "Displays this help." };
    const QCommandLineOption version { "version", "Displays the version." };
};

// Options that need no check.
void readValues(const Parser &p, BatchOptions &options)
{
    if (p.parser.isSet(p.filenameFormat))
        options.filenameFormat = p.parser.value(p.filenameFormat);
    if (p.parser.isSet(p.sheets))
        options.sheets = p.parser.value(p.sheets);
    if (p.parser.isSet(p.output))
        options.output = p.parser.value(p.output);
    options.singleFile = p.parser.isSet(p.singleFile);
    options.quiet = p.parser.isSet(p.quiet);
    options.dryRun = p.parser.isSet(p.dryRun);
}

// Each check reads its options into the run's and returns what is wrong, empty when nothing is.

QString readFormats(const Parser &p, BatchOptions &options)
{
    if (!p.parser.isSet(p.format))
        return {};
    QString why;
    options.outFmtIndexes = parseFormatList(p.parser.value(p.format), &why);
    return why;
}

QString readDestination(const Parser &p, BatchOptions &options)
{
    if (p.parser.isSet(p.destDirs) && p.parser.isSet(p.noDestDirs))
        return QStringLiteral("--dest-dirs and --no-dest-dirs exclude each other");
    if (p.parser.isSet(p.destDirs) || p.parser.isSet(p.noDestDirs))
        options.useDestDirs = p.parser.isSet(p.destDirs);
    return {};
}

QString readDrives(const Parser &p, BatchOptions &options)
{
#ifdef Q_OS_WIN
    Q_UNUSED(p);
    Q_UNUSED(options);
#else
    for (const QString &mapping : p.parser.values(p.drive)) {
        QChar letter;
        QString root;
        if (!FileSystemObject::parseDriveMapping(mapping, &letter, &root))
            return QStringLiteral("bad drive mapping \"%1\" (expected X:=DIR)").arg(mapping);
        options.drives.append({ letter, root });
    }
#endif
    return {};
}

// The plan's and the merge's own options, and what they exclude.
QString readMode(const Parser &p, BatchOptions &options)
{
    const bool planning = p.parser.isSet(p.plan);
    const bool running = p.parser.isSet(p.runPlan);
    const bool merging = p.parser.isSet(p.mergeReports);
    if (int(planning) + int(running) + int(merging) > 1)
        return QStringLiteral("--plan, --run-plan and --merge-reports exclude each other");
    if (p.parser.isSet(p.shard) && !running)
        return QStringLiteral("--shard goes with --run-plan");
    if (planning) {
        if (options.dryRun)
            return QStringLiteral("--plan and --dry-run exclude each other");
        const QString path = p.parser.value(p.plan);
        QString why;
        if (!canWriteReport(path, &why))
            return QStringLiteral("cannot write the plan %1: %2").arg(path, why);
        options.mode = BatchOptions::Mode::Plan;
        options.plan = path;
        return {};
    }
    if (!running && !merging)
        return {};
    // What a shard saves and how is the plan's, so that every shard saves as the call would; what
    // it prints may be less than the plan says.
    for (const QCommandLineOption *option : { &p.format, &p.filenameFormat, &p.sheets, &p.output,
             &p.destDirs, &p.noDestDirs, &p.singleFile, &p.quiet, &p.dryRun, &p.drive }) {
        if (running && option == &p.quiet)
            continue;
        if (p.parser.isSet(*option)) {
            return QStringLiteral("--%1 does not go with --%2")
                .arg(option->names().constLast(),
                    running ? QStringLiteral("run-plan") : QStringLiteral("merge-reports"));
        }
    }
    if (merging) {
        options.mode = BatchOptions::Mode::MergeReports;
        options.reports = p.parser.positionalArguments();
        if (options.reports.isEmpty())
            return QStringLiteral("no report to merge given");
        return {};
    }
    options.mode = BatchOptions::Mode::RunPlan;
    options.plan = p.parser.value(p.runPlan);
    if (!p.parser.positionalArguments().isEmpty())
        return QStringLiteral("--run-plan takes its drawings from the plan");
    if (!p.parser.isSet(p.shard))
        return QStringLiteral("--run-plan needs --shard K/N");
    const std::optional<Shard> shard = Shard::parse(p.parser.value(p.shard));
    if (!shard) {
        return QStringLiteral("bad shard \"%1\" (expected K/N, K from 1 to N)")
            .arg(p.parser.value(p.shard));
    }
    options.shardIndex = shard->index;
    options.shardCount = shard->count;
    return {};
}

// A count from 1 to limit; none when the text is not one.
std::optional<int> countOf(const QString &text, int limit)
{
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok || count < 1 || count > limit)
        return std::nullopt;
    return count;
}

QString readJobs(const Parser &p, BatchOptions &options)
{
    options.jobs = qMax(1, QThread::idealThreadCount());
    if (p.parser.isSet(p.worker)) {
        options.mode = BatchOptions::Mode::Worker;
        options.journal = p.parser.value(p.worker);
        options.jobs = 1;
    }
    if (!p.parser.isSet(p.jobs))
        return {};
    // More workers than this only queue for the same cores and memory.
    constexpr int maxJobs = 256;
    const std::optional<int> count = countOf(p.parser.value(p.jobs), maxJobs);
    if (!count) {
        return QStringLiteral("bad number of jobs \"%1\" (expected 1 to %2)")
            .arg(p.parser.value(p.jobs))
            .arg(maxJobs);
    }
    options.jobs = *count;
    return {};
}

QString readHost(const Parser &p, BatchOptions &options)
{
    if (p.parser.isSet(p.host)) {
        const QString name = p.parser.value(p.host);
        if (name == QLatin1String("cad"))
            options.host = BatchOptions::Host::Cad;
        else if (name != QLatin1String("stand-in"))
            return QStringLiteral("unknown host \"%1\" (expected stand-in or cad)").arg(name);
    }
    const bool cad = options.host == BatchOptions::Host::Cad;
    for (const QCommandLineOption *option : { &p.timeout, &p.restartEvery }) {
        if (p.parser.isSet(*option) && !cad)
            return QStringLiteral("--%1 goes with --host cad").arg(option->names().constLast());
    }
    if (cad && options.mode == BatchOptions::Mode::MergeReports)
        return QStringLiteral("--host does not go with --merge-reports");
    // A day: longer than any drawing takes, short enough to end a run that hangs.
    constexpr int maxTimeout = 86'400;
    if (p.parser.isSet(p.timeout)) {
        const std::optional<int> seconds = countOf(p.parser.value(p.timeout), maxTimeout);
        if (!seconds) {
            return QStringLiteral("bad timeout \"%1\" (expected 1 to %2 seconds)")
                .arg(p.parser.value(p.timeout))
                .arg(maxTimeout);
        }
        options.timeoutSeconds = *seconds;
    }
    if (p.parser.isSet(p.restartEvery)) {
        const std::optional<int> count
            = countOf(p.parser.value(p.restartEvery), std::numeric_limits<int>::max());
        if (!count) {
            return QStringLiteral("bad number of drawings \"%1\" (expected 1 or more)")
                .arg(p.parser.value(p.restartEvery));
        }
        options.restartEvery = *count;
    }
#ifndef Q_OS_WIN
    if (cad)
        return QStringLiteral("--host cad needs Windows, where the CAD host runs");
#endif
    // Each process of the call runs a host of its own, with its memory and licence seat.
    if (cad && !p.parser.isSet(p.jobs))
        options.jobs = 1;
    return {};
}

QString readDrawings(const Parser &p, BatchOptions &options)
{
    if (options.mode != BatchOptions::Mode::Run && options.mode != BatchOptions::Mode::Plan)
        return {};
    options.drawings = p.parser.positionalArguments();
    if (options.drawings.isEmpty())
        return QStringLiteral("no drawing given");
    return {};
}

// Found now rather than after every drawing has been saved.
QString readReport(const Parser &p, BatchOptions &options)
{
    if (!p.parser.isSet(p.report))
        return {};
    const QString path = p.parser.value(p.report);
    QString why;
    if (!canWriteReport(path, &why))
        return QStringLiteral("cannot write the report %1: %2").arg(path, why);
    options.report = path;
    return {};
}

BatchCommandLine ended(BatchCommandLine::Outcome outcome, const QString &text)
{
    BatchCommandLine commandLine;
    commandLine.outcome = outcome;
    commandLine.text = text;
    return commandLine;
}

// Every message is one line on standard error, so a caller can read it as one.
BatchCommandLine usageError(QString message)
{
    message.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return ended(BatchCommandLine::Outcome::UsageError, message);
}

} // namespace

QList<int> parseFormatList(const QString &text, QString *errorString)
{
    QList<int> indexes;
    for (const QString &name : text.split(QLatin1Char(','))) {
        const int index = OutputFormats::indexOf(name);
        if (index < 0) {
            *errorString = QStringLiteral("unknown format \"%1\"").arg(name);
            return {};
        }
        // "TIF,TIFF" would run the same format twice, replacing its own files.
        if (indexes.contains(index)) {
            *errorString = QStringLiteral("format \"%1\" given twice").arg(name);
            return {};
        }
        indexes.append(index);
    }
    return indexes;
}

BatchCommandLine BatchCommandLine::parse(const QStringList &arguments)
{
    Parser p;
    if (!p.parser.parse(arguments))
        return usageError(p.parser.errorText());
    if (p.parser.isSet(p.help))
        return ended(Outcome::Help, p.helpText());
    if (p.parser.isSet(p.version)) {
        return ended(Outcome::Version,
            QStringLiteral("quillet-batch ") + QCoreApplication::applicationVersion());
    }

    BatchCommandLine commandLine;
    readValues(p, commandLine.options);
    for (const auto check : { readMode, readJobs, readHost, readFormats, readDestination,
             readDrives, readDrawings, readReport }) {
        if (const QString why = check(p, commandLine.options); !why.isEmpty())
            return usageError(why);
    }
    return commandLine;
}
