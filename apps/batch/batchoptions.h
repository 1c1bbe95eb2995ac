#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// What the command line asked for; an option left out takes the stored choice.
struct BatchOptions {
    // Save the drawings; plan them only; save a shard of a plan; merge the shards' reports.
    // A worker, started with its call's options, saves the drawings the call hands it, one at a
    // time.
    enum class Mode { Run, Plan, RunPlan, MergeReports, Worker };

    Mode mode = Mode::Run;
    // The formats to run each drawing in, in order; empty for the stored choice.
    QList<int> outFmtIndexes;
    std::optional<QString> filenameFormat;
    // "current", "all", or sheet names.
    std::optional<QString> sheets;
    // A native directory.
    std::optional<QString> output;
    std::optional<bool> useDestDirs;
    bool singleFile = false;
    bool quiet = false;
    bool dryRun = false;
    // A native file for the JSON report.
    std::optional<QString> report;
    // Drawings and folders of drawings, as given.
    QStringList drawings;
    // Drive letters and their native roots, in the order given; mapped before the run.
    QList<std::pair<QChar, QString>> drives;
    // A native file: the plan written, or the plan whose shard is saved.
    std::optional<QString> plan;
    // A worker's journal of the files it stages (see WorkerPool).
    QString journal;
    // The shard K of N to save.
    int shardIndex = 1;
    int shardCount = 1;
    // The shards' reports to merge, native files.
    QStringList reports;
    // Worker processes that save the drawings side by side; 1 saves them in this process. The
    // default: the cores of the machine for the stand-in host, 1 for the CAD host.
    int jobs = 1;
    // The host that opens and saves the drawings: the stand-in, or the CAD host installed on this
    // machine (Windows only), one instance of it for each process of the call.
    enum class Host { StandIn, Cad };
    Host host = Host::StandIn;
    // Seconds the CAD host may take over one drawing, from opening it to closing it.
    int timeoutSeconds = 300;
    // Drawings a CAD host saves before a fresh one takes over; 0 for no limit.
    int restartEvery = 0;
};

// What the command line comes to: a run with its options, or a text to print instead.
struct BatchCommandLine {
    enum class Outcome { Run, Help, Version, UsageError };

    Outcome outcome = Outcome::Run;
    BatchOptions options;
    // The help, the version line, or what is wrong with the arguments in one line; empty for a
    // run.
    QString text;

    // arguments[0] is the program. The arguments are read in full before any check, and the
    // checks run in a fixed order, the first that fails giving the usage error.
    static BatchCommandLine parse(const QStringList &arguments);
};

// Exit statuses: every file saved, a save reported as failed, a run ended with an error, bad usage.
namespace BatchStatus {
inline constexpr int Saved = 0;
inline constexpr int SaveFailed = 1;
inline constexpr int RunError = 2;
inline constexpr int Usage = 64;
} // namespace BatchStatus

// "PDF,DXF": captions or extensions in any case, separated by commas, as format indexes in the
// order given. Empty, with the reason in errorString, when a name is unknown or given twice.
QList<int> parseFormatList(const QString &text, QString *errorString);
