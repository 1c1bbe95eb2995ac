#include "workbenchoptions.h"

#include "addin/quilletmain.h"
#include "platform/filesystemobject.h"
#include "quilletversion.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

// One parser for the arguments and the help, so the help names every option there is.
struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "The stand-in CAD host as a desktop application: opens stand-in drawings, parts and "
            "assemblies and DXF drawings, and connects the add-ins found beside the program."));
#ifndef Q_OS_WIN
        // On Windows the drives are the system's.
        parser.addOption(drive);
#endif
        parser.addOptions({ help, version });
        parser.addPositionalArgument(QStringLiteral("DOCUMENT"),
            QStringLiteral("Documents (.SLDDRW, .dxf, .SLDPRT, .SLDASM) to open."),
            QStringLiteral("[DOCUMENT...]"));
    }

    QCommandLineParser parser;
    const QCommandLineOption drive { QStringLiteral("drive"),
        QStringLiteral("Map a drive, for example C:=/srv/cad (repeatable)."),
        QStringLiteral("X:=DIR") };
    // Help and version are ours, without Qt's extra "-v" and "--help-all".
    const QCommandLineOption help { { QStringLiteral("h"), QStringLiteral("help") },
        QStringLiteral("Displays this help.") };
    const QCommandLineOption version { QStringLiteral("version"),
        QStringLiteral("Displays the version.") };
};

} // namespace

WorkbenchOptions WorkbenchOptions::parse(const QStringList &arguments)
{
    Parser p;
    WorkbenchOptions options;
    if (!p.parser.parse(arguments)) {
        options.error = p.parser.errorText();
        return options;
    }
    options.showHelp = p.parser.isSet(p.help);
    options.showVersion = p.parser.isSet(p.version);
#ifndef Q_OS_WIN
    for (const QString &mapping : p.parser.values(p.drive)) {
        QChar letter;
        QString root;
        if (!FileSystemObject::parseDriveMapping(mapping, &letter, &root)) {
            options.error
                = QStringLiteral("bad drive mapping \"%1\" (expected X:=DIR)").arg(mapping);
            return options;
        }
        // The variable that carries the map to the add-ins separates its entries with ";".
        if (root.contains(QLatin1Char(';'))) {
            options.error
                = QStringLiteral("a mapped directory cannot contain \";\": \"%1\"").arg(mapping);
            return options;
        }
        options.drives.append(mapping);
    }
#endif
    options.documents = p.parser.positionalArguments();
    return options;
}

QString WorkbenchOptions::helpText()
{
    // The parser's usage line names the program as it was started, often a long path.
    QString text = Parser().parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')),
        QStringLiteral("Usage: quillet-workbench [options] [DOCUMENT...]"));
    return text;
}

QString WorkbenchOptions::version()
{
    return Quilletmain::formatVersion(QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR);
}

QStringList addInDirectories(const QString &programDirectory)
{
    return { programDirectory,
        QDir::cleanPath(programDirectory + QLatin1Char('/') + QStringLiteral(QUILLET_ADDIN_DIR)) };
}

void applyDriveMappings(const QStringList &mappings)
{
    for (const QString &mapping : mappings) {
        QChar letter;
        QString root;
        if (FileSystemObject::parseDriveMapping(mapping, &letter, &root))
            FileSystemObject::setDrive(letter, root);
    }
    qputenv("QUILLET_DRIVES", driveVariableText(FileSystemObject::drives()).toLocal8Bit());
}

QString driveVariableText(const QMap<QChar, QString> &drives)
{
    QStringList entries;
    for (auto it = drives.cbegin(); it != drives.cend(); ++it)
        entries.append(QString(it.key()) + QStringLiteral(":=") + it.value());
    return entries.join(QLatin1Char(';'));
}
