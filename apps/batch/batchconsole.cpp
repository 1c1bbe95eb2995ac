#include "batchconsole.h"

Console::Console(bool showProgress)
    : showProgress(showProgress)
{
}

QString messageLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

void Console::setProgress(const QString &text)
{
    if (!showProgress || text == progress)
        return;
    eraseProgress();
    progress = text;
    std::fputs(qPrintable(progress), stderr);
    std::fflush(stderr);
}

void Console::clearProgress()
{
    eraseProgress();
    progress.clear();
}

void Console::print(std::FILE *stream, const QString &line)
{
    eraseProgress();
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    if (!progress.isEmpty()) {
        std::fputs(qPrintable(progress), stderr);
        std::fflush(stderr);
    }
}

// Back to the start of the line, which is cleared to its end.
void Console::eraseProgress()
{
    if (progress.isEmpty())
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}

ConsoleSurroundings::ConsoleSurroundings(
    Console &console, bool quiet, int drawing, int drawings, QList<SheetSave> &sheets)
    : console(console)
    , quiet(quiet)
    , drawing(drawing)
    , drawings(drawings)
    , sheets(sheets)
{
}

void ConsoleSurroundings::showProgress(int sheetsDone, int sheetCount)
{
    // The sheet in work, or the last one once all are done.
    console.setProgress(QStringLiteral("drawing %1 of %2, sheet %3 of %4")
                            .arg(drawing)
                            .arg(drawings)
                            .arg(qMin(sheetsDone + 1, sheetCount))
                            .arg(sheetCount));
}

void ConsoleSurroundings::sheetSaved(const SheetSave &save)
{
    sheets.append(save);
}

void ConsoleSurroundings::lineAppended(const QString &line)
{
    if (!quiet)
        console.printLog(line);
}
