#include "batchoptions.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A command line and what it comes to, in the words of optionsText.
struct OptionsCase {
    const char *name;
    // Split at blanks; %D stands for a temporary directory.
    QString arguments;
    QString expected;
};

void PrintTo(const OptionsCase &param, std::ostream *out)
{
    *out << param.name;
}

// "help", "version", "error: " and the usage error, or the options of a run, only those set.
QString optionsText(const BatchCommandLine &commandLine)
{
    using Outcome = BatchCommandLine::Outcome;
    if (commandLine.outcome != Outcome::Run) {
        return commandLine.outcome == Outcome::Help   ? QStringLiteral("help")
            : commandLine.outcome == Outcome::Version ? QStringLiteral("version")
                                                      : "error: " + commandLine.text;
    }
    const BatchOptions &options = commandLine.options;
    QStringList parts;
    const auto add = [&parts](bool set, const QString &text) {
        if (set)
            parts.append(text);
    };
    QStringList indexes;
    for (const int index : options.outFmtIndexes)
        indexes.append(QString::number(index));
    add(!indexes.isEmpty(), "formats " + indexes.join(','));
    add(options.filenameFormat.has_value(), "filename " + options.filenameFormat.value_or(""));
    add(options.sheets.has_value(), "sheets " + options.sheets.value_or(""));
    add(options.output.has_value(), "output " + options.output.value_or(""));
    add(options.useDestDirs.has_value(),
        options.useDestDirs == true ? "dest-dirs" : "no-dest-dirs");
    add(options.singleFile, "single-file");
    add(options.quiet, "quiet");
    add(options.dryRun, "dry-run");
    for (const auto &[letter, root] : options.drives)
        parts.append(QStringLiteral("drive ") + letter + ":=" + root);
    add(options.report.has_value(), "report " + options.report.value_or(""));
    add(options.mode == BatchOptions::Mode::Plan, "plan " + options.plan.value_or(""));
    add(options.mode == BatchOptions::Mode::RunPlan,
        QStringLiteral("run-plan %1 shard %2/%3")
            .arg(options.plan.value_or(""))
            .arg(options.shardIndex)
            .arg(options.shardCount));
    add(options.mode == BatchOptions::Mode::MergeReports, "merge " + options.reports.join(' '));
    add(options.host == BatchOptions::Host::Cad,
        QStringLiteral("host cad jobs %1 timeout %2 restart-every %3")
            .arg(options.jobs)
            .arg(options.timeoutSeconds)
            .arg(options.restartEvery));
    add(!options.drawings.isEmpty(), "drawings " + options.drawings.join(' '));
    return parts.join(" | ");
}

} // namespace

class BatchCommandLineTest : public ::testing::TestWithParam<OptionsCase> {
protected:
    QString placeholders(QString text) const
    {
        return text.replace(QStringLiteral("%D"), dir.path());
    }

    QTemporaryDir dir;
};

TEST_P(BatchCommandLineTest, ComesToOptionsOrTheFirstUsageError)
{
    const OptionsCase &param = GetParam();
#ifdef Q_OS_WIN
    if (param.arguments.contains("--drive"))
        GTEST_SKIP() << "on Windows the drives are the system's: there is no --drive";
#endif
    ASSERT_TRUE(dir.isValid());
    const QStringList arguments = QStringList { QStringLiteral("quillet-batch") }
        + placeholders(param.arguments).split(QLatin1Char(' '));
    EXPECT_EQ(optionsText(BatchCommandLine::parse(arguments)), placeholders(param.expected));
    // A report is only tried, never left behind.
    EXPECT_EQ(tree(dir.path()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchCommandLineTest,
    ::testing::Values(
        // Left out, every choice is the stored one.
        OptionsCase { "DrawingsOnly", "PLATE.SLDDRW Folder", "drawings PLATE.SLDDRW Folder" },
        OptionsCase { "EveryOption",
            "-f pdf,.DXF -n DRWNAME|_|SHEETNAME -s Sheet2,Sheet1 -o Out --no-dest-dirs "
            "--single-file -q --dry-run --drive t:=/srv/cad/ --drive Z:=/ --report %D/run.json "
            "PLATE.SLDDRW",
            "formats 6,1 | filename DRWNAME|_|SHEETNAME | sheets Sheet2,Sheet1 | output Out | "
            "no-dest-dirs | single-file | quiet | dry-run | drive T:=/srv/cad | drive Z:=/ | "
            "report %D/run.json | drawings PLATE.SLDDRW" },
        // A plan's shard and a merge take nothing that would make a shard save otherwise than
        // the call planned.
        OptionsCase { "PlanAndItsOptions", "--plan %D/plan.json --dest-dirs A.SLDDRW",
            "dest-dirs | plan %D/plan.json | drawings A.SLDDRW" },
        OptionsCase { "LastShardOfAPlan", "--run-plan plan.json --shard 4/4 --report %D/r4.json",
            "report %D/r4.json | run-plan plan.json shard 4/4" },
        OptionsCase { "ShardZero", "--run-plan plan.json --shard 0/4",
            "error: bad shard \"0/4\" (expected K/N, K from 1 to N)" },
        OptionsCase { "ShardBeyondTheCount", "--run-plan plan.json --shard 5/4",
            "error: bad shard \"5/4\" (expected K/N, K from 1 to N)" },
        OptionsCase {
            "ShardWithoutPlan", "--shard 1/4 A.SLDDRW", "error: --shard goes with --run-plan" },
        OptionsCase {
            "PlanWithoutShard", "--run-plan plan.json", "error: --run-plan needs --shard K/N" },
        OptionsCase { "ShardTakesThePlansOptions", "--run-plan plan.json --shard 1/2 -s all",
            "error: --sheets does not go with --run-plan" },
        // What is printed is the shard's own to choose.
        OptionsCase { "QuietShard", "--run-plan plan.json --shard 1/2 -q",
            "quiet | run-plan plan.json shard 1/2" },
        OptionsCase { "MergeTakesNoQuiet", "--merge-reports -q r1.json",
            "error: --quiet does not go with --merge-reports" },
        OptionsCase { "ShardTakesThePlansDrawings", "--run-plan plan.json --shard 1/2 A.SLDDRW",
            "error: --run-plan takes its drawings from the plan" },
        OptionsCase { "PlanIsNoDryRun", "--plan %D/plan.json --dry-run A.SLDDRW",
            "error: --plan and --dry-run exclude each other" },
        OptionsCase { "OneModeAtATime", "--plan %D/plan.json --merge-reports r1.json",
            "error: --plan, --run-plan and --merge-reports exclude each other" },
        OptionsCase { "MergeToAReport", "--merge-reports --report %D/all.json r1.json r2.json",
            "report %D/all.json | merge r1.json r2.json" },
        // Help and version need no drawing, and help wins; a malformed command line wins over
        // both.
        OptionsCase { "Help", "--version -h", "help" },
        OptionsCase { "Version", "--version -f PDFX", "version" },
        OptionsCase {
            "UnknownOptionBeforeHelp", "--help --overwrite", "error: Unknown option 'overwrite'." },
        OptionsCase { "MissingValue", "PLATE.SLDDRW -f", "error: Missing value after '-f'." },
        OptionsCase {
            "UnknownFormatInAList", "-f DXF,PDFX A.SLDDRW", "error: unknown format \"PDFX\"" },
        OptionsCase {
            "FormatGivenTwice", "-f TIF,tiff A.SLDDRW", "error: format \"tiff\" given twice" },
        // A message is one line, whatever the arguments hold.
        OptionsCase {
            "MessageOnOneLine", "-f DXF,P\nDF A.SLDDRW", "error: unknown format \"P DF\"" },
        OptionsCase { "BothDestinationChoices", "--no-dest-dirs --dest-dirs A.SLDDRW",
            "error: --dest-dirs and --no-dest-dirs exclude each other" },
        OptionsCase { "DriveWithoutFolder", "--drive T:=/srv --drive Q:= A.SLDDRW",
            "error: bad drive mapping \"Q:=\" (expected X:=DIR)" },
        OptionsCase { "ReportIsADirectory", "--report %D A.SLDDRW",
            "error: cannot write the report %D: Filename refers to a directory" },
        OptionsCase { "ReportInAMissingDirectory", "--report %D/Gone/run.json A.SLDDRW",
            windowsOr("error: cannot write the report %D/Gone/run.json: Path not found.",
                "error: cannot write the report %D/Gone/run.json: No such file or directory") },
        // The checks run in a fixed order: formats, destination, drives, drawings, report.
        OptionsCase { "FormatsFirst", "--dest-dirs --no-dest-dirs -f PDFX",
            "error: unknown format \"PDFX\"" },
        OptionsCase { "DestinationBeforeDrives", "--drive Q:= --dest-dirs --no-dest-dirs",
            "error: --dest-dirs and --no-dest-dirs exclude each other" },
        OptionsCase { "DrivesBeforeDrawings", "--drive 1:=/srv",
            "error: bad drive mapping \"1:=/srv\" (expected X:=DIR)" },
        OptionsCase { "DrawingsBeforeReport", "--report %D", "error: no drawing given" },
        // The CAD host runs one instance a process: one process unless asked for more.
        OptionsCase { "CadHost", "--host cad PUMP.SLDDRW",
            windowsOr("host cad jobs 1 timeout 300 restart-every 0 | drawings PUMP.SLDDRW",
                "error: --host cad needs Windows, where the CAD host runs") },
        OptionsCase { "CadHostTimeoutRestartsAndJobs",
            "--host cad --timeout 86400 --restart-every 1 -j 2 PUMP.SLDDRW",
            windowsOr("host cad jobs 2 timeout 86400 restart-every 1 | drawings PUMP.SLDDRW",
                "error: --host cad needs Windows, where the CAD host runs") },
        OptionsCase { "StandInHostByName", "--host stand-in PUMP.SLDDRW", "drawings PUMP.SLDDRW" },
        OptionsCase { "UnknownHost", "--host Cad A.SLDDRW",
            "error: unknown host \"Cad\" (expected stand-in or cad)" },
        OptionsCase { "TimeoutIsTheCadHosts", "--timeout 60 A.SLDDRW",
            "error: --timeout goes with --host cad" },
        OptionsCase { "RestartsAreTheCadHosts", "--host stand-in --restart-every 5 A.SLDDRW",
            "error: --restart-every goes with --host cad" },
        OptionsCase { "TimeoutPastADay", "--host cad --timeout 86401 A.SLDDRW",
            "error: bad timeout \"86401\" (expected 1 to 86400 seconds)" },
        OptionsCase { "NoRestartsAtZero", "--host cad --restart-every 0 A.SLDDRW",
            "error: bad number of drawings \"0\" (expected 1 or more)" },
        OptionsCase { "MergeHasNoHost", "--merge-reports --host cad r1.json",
            "error: --host does not go with --merge-reports" }),
    [](const ::testing::TestParamInfo<OptionsCase> &info) { return std::string(info.param.name); });
