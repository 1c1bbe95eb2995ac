#include "batchoptions.h"

#include "batchreport.h"
#include "formats/outputformats.h"
#include "platform/filesystemobject.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

// One parser for the arguments and the help, so the help names every option there is.
struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Names and saves the sheets of stand-in drawings with the Quillet save pipeline, "
            "without dialogs. Options left out take the choices stored by the main dialog.\n"
            "Exit status: 0 every file saved, 1 a save failed, 2 a drawing could not be saved, "
            "64 bad usage; with several drawings or formats the highest."));
        parser.addOptions({ format, filenameFormat, sheets, output, destDirs, noDestDirs,
            singleFile, quiet, dryRun, report });
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

QString readDrawings(const Parser &p, BatchOptions &options)
{
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
    for (const auto check :
        { readFormats, readDestination, readDrives, readDrawings, readReport }) {
        if (const QString why = check(p, commandLine.options); !why.isEmpty())
            return usageError(why);
    }
    return commandLine;
}
