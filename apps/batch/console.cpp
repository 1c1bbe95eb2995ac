#include "console.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The console behind a stream, or null when the stream goes to a file or a pipe.
HANDLE consoleOf(std::FILE *stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// The progress line is redrawn with the terminal sequences a Windows console knows only when
// asked to.
bool consoleTakesSequences(HANDLE console)
{
    DWORD mode = 0;
    return console && GetConsoleMode(console, &mode)
        && SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}
#endif

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return consoleTakesSequences(consoleOf(stderr));
#else
    return isatty(STDERR_FILENO);
#endif
}

} // namespace

// A console shows every character in its own encoding. A file or a pipe gets UTF-8 on Windows,
// as the report does: the system's code page would turn the names it lacks into "?".
void writeConsoleText(std::FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    if (HANDLE console = consoleOf(stream)) {
        std::fflush(stream);
        DWORD written = 0;
        WriteConsoleW(console, text.utf16(), DWORD(text.size()), &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toUtf8();
#else
    const QByteArray bytes = text.toLocal8Bit();
#endif
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

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
    // A worker's progress is its call's to show.
    if (!showProgress || captured || text == progress)
        return;
    eraseProgress();
    progress = text;
    writeConsoleText(stderr, progress);
}

void Console::clearProgress()
{
    eraseProgress();
    progress.clear();
}

void Console::print(std::FILE *stream, const QString &line)
{
    if (captured) {
        captured->append({ stream == stderr, line });
        return;
    }
    eraseProgress();
    // One write for the line and its end: standard error is not buffered.
    writeConsoleText(stream, line + QLatin1Char('\n'));
    if (!progress.isEmpty())
        writeConsoleText(stderr, progress);
}

// Back to the start of the line, which is cleared to its end.
void Console::eraseProgress()
{
    if (progress.isEmpty())
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}
