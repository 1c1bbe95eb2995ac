#include "console.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return isatty(STDERR_FILENO);
#endif
}

} // namespace

QString messageLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

Console::Console(bool progressWanted)
    : showProgress(progressWanted && standardErrorIsTerminal())
{
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
    // One write for the line and its end: standard error is not buffered.
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
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
