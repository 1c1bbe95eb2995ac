#include "addin/quilletmain.h"
#include "batchreport.h"
#include "batchrun.h"
#include "console.h"
#include "formats/outputformats.h"
#include "platform/commandline.h"
#include "platform/filesystemobject.h"
#include "quilletversion.h"
#include "sheetexport.h"
#include "standinhost.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Only the log, status texts and messages reach the streams.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
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
    const BatchCommandLine parsed = BatchCommandLine::parse(commandLineArguments(argc, argv));
    switch (parsed.outcome) {
    case BatchCommandLine::Outcome::Help:
        writeConsoleText(stdout, parsed.text);
        return BatchStatus::Saved;
    case BatchCommandLine::Outcome::Version:
        writeConsoleText(stdout, parsed.text + QLatin1Char('\n'));
        return BatchStatus::Saved;
    case BatchCommandLine::Outcome::UsageError:
        writeConsoleText(
            stderr, QStringLiteral("quillet-batch: ") + parsed.text + QLatin1Char('\n'));
        return BatchStatus::Usage;
    case BatchCommandLine::Outcome::Run:
        break;
    }
    const BatchOptions &options = parsed.options;
    for (const auto &[letter, root] : options.drives)
        FileSystemObject::setDrive(letter, root);
    // Only a painting run gets the GUI application: on leaving, the GUI application loads the
    // font configuration only to release it, even when nothing was painted, which takes as
    // long as saving a dozen drawings.
    const std::unique_ptr<QCoreApplication> app = runPaints(options)
        ? std::make_unique<QGuiApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    auto host = StandInApplication::create();
    return runBatch(*host, options);
}
