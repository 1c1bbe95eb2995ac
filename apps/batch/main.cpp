#include "addin/quilletmain.h"
#include "batchreport.h"
#include "batchrun.h"
#include "formats/outputformats.h"
#include "platform/filesystemobject.h"
#include "quilletversion.h"
#include "sheetexport.h"
#include "standinhost.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Every message is one line on standard error, so a caller can read it as one.
[[noreturn]] void usageError(const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "quillet-batch: %s\n", qPrintable(line));
    std::exit(BatchStatus::Usage);
}

// The parser's usage line names the program as it was started, often a long path; the help
// shows the name users type.
[[noreturn]] void showHelp(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')),
        QStringLiteral("Usage: quillet-batch [options] DRAWING..."));
    std::fputs(qPrintable(text), stdout);
    std::exit(BatchStatus::Saved);
}

// Only the log, status texts and messages reach the streams.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

BatchOptions parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Names and saves the sheets of stand-in drawings with the Quillet save pipeline, without "
        "dialogs. Options left out take the choices stored by the main dialog.\n"
        "Exit status: 0 every file saved, 1 a save failed, 2 a drawing could not be saved, "
        "64 bad usage; with several drawings or formats the highest."));
    const QCommandLineOption format({ "f", "format" },
        "SLDDRW | DXF | DWG | eDrawing | EDRW | JPG | TIFF | TIF | PDF "
        "(caption or extension, any case), or several separated by commas, run one after "
        "another; default: the stored choice.",
        "F");
    const QCommandLineOption filenameFormat({ "n", "filename-format" },
        "Fields separated by \"|\"; default: the stored current format of that output format.",
        "S");
    const QCommandLineOption sheets(
        { "s", "sheets" }, "current | all | NAME[,NAME...]; default: the stored choice.", "W");
    const QCommandLineOption output({ "o", "output" },
        "Output base directory (a native path); default: the stored "
        "\"Path\".",
        "DIR");
    const QCommandLineOption destDirs(
        "dest-dirs", "Save into the file destination directories; default: the stored choice.");
    const QCommandLineOption noDestDirs("no-dest-dirs", "Save into the output base directory.");
    const QCommandLineOption singleFile(
        "single-file", "PDF as one single file (default: the PDF writer's value).");
    const QCommandLineOption quiet(
        { "q", "quiet" }, "Diagnostics off: the log is not printed; the status text is.");
    const QCommandLineOption dryRun("dry-run",
        "Everything but saving: no file or directory is written; what a run would write is listed "
        "after the log.");
    const QCommandLineOption report(
        "report", "Write a JSON report of the options and every sheet to FILE at the end.", "FILE");
    const QCommandLineOption drive(
        "drive", "Map a drive, for example C:=/srv/cad (repeatable).", "X:=DIR");
    // Help and version are ours, without Qt's extra "-v" and "--help-all".
    const QCommandLineOption help({ "h", "help" }, "Displays this help.");
    const QCommandLineOption version("version", "Displays the version.");
    parser.addOptions({ format, filenameFormat, sheets, output, destDirs, noDestDirs, singleFile,
        quiet, dryRun, report, drive, help, version });
    parser.addPositionalArgument("DRAWING",
        "Stand-in drawings (.SLDDRW) to save, or folders: every drawing below one, in path order.",
        "DRAWING...");

    if (!parser.parse(arguments))
        usageError(parser.errorText());
    if (parser.isSet(help))
        showHelp(parser);
    if (parser.isSet(version)) {
        std::printf("quillet-batch %s\n", qPrintable(QCoreApplication::applicationVersion()));
        std::exit(BatchStatus::Saved);
    }

    BatchOptions options;
    if (parser.isSet(format)) {
        QString why;
        options.outFmtIndexes = parseFormatList(parser.value(format), &why);
        if (options.outFmtIndexes.isEmpty())
            usageError(why);
    }
    if (parser.isSet(filenameFormat))
        options.filenameFormat = parser.value(filenameFormat);
    if (parser.isSet(sheets))
        options.sheets = parser.value(sheets);
    if (parser.isSet(output))
        options.output = parser.value(output);
    if (parser.isSet(destDirs) && parser.isSet(noDestDirs))
        usageError(QStringLiteral("--dest-dirs and --no-dest-dirs exclude each other"));
    if (parser.isSet(destDirs) || parser.isSet(noDestDirs))
        options.useDestDirs = parser.isSet(destDirs);
    options.singleFile = parser.isSet(singleFile);
    options.quiet = parser.isSet(quiet);
    options.dryRun = parser.isSet(dryRun);
    for (const QString &mapping : parser.values(drive)) {
        QChar letter;
        QString root;
        if (!FileSystemObject::parseDriveMapping(mapping, &letter, &root))
            usageError(QStringLiteral("bad drive mapping \"%1\" (expected X:=DIR)").arg(mapping));
        FileSystemObject::setDrive(letter, root);
    }
    options.drawings = parser.positionalArguments();
    if (options.drawings.isEmpty())
        usageError(QStringLiteral("no drawing given"));
    if (parser.isSet(report)) {
        // Found now rather than after every drawing has been saved.
        QString why;
        if (!canWriteReport(parser.value(report), &why)) {
            usageError(
                QStringLiteral("cannot write the report %1: %2").arg(parser.value(report), why));
        }
        options.report = parser.value(report);
    }
    return options;
}

// The application is made after the options are read, so the arguments are decoded as it
// would decode them.
QStringList commandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// Formats left to the stored choice may paint.
bool runPaints(const BatchOptions &options)
{
    if (options.outFmtIndexes.isEmpty())
        return true;
    return std::any_of(options.outFmtIndexes.cbegin(), options.outFmtIndexes.cend(),
        [](int index) { return exportPaints(OutputFormats::tag(index)); });
}

} // namespace

int main(int argc, char **argv)
{
    // Sheets are painted and PDFs written without any window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-batch"));
    QCoreApplication::setApplicationVersion(
        Quilletmain::formatVersion(QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR));
    const BatchOptions options = parseOptions(commandLine(argc, argv));
    // Only a painting run gets the GUI application: on leaving, the GUI application loads the
    // font configuration only to release it, even when nothing was painted, which takes as
    // long as saving a dozen drawings.
    const std::unique_ptr<QCoreApplication> app = runPaints(options)
        ? std::make_unique<QGuiApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    auto host = StandInApplication::create();
    return runBatch(*host, options);
}
