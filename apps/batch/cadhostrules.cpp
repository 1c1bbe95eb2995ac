#include "cadhostrules.h"

#include <QStringList>
#include <utility>

namespace CadHostRules {

QString serverExecutable(const QString &localServer32)
{
    const QString command = localServer32.trimmed();
    if (command.startsWith(QLatin1Char('"'))) {
        const qsizetype end = command.indexOf(QLatin1Char('"'), 1);
        return end > 1 ? command.mid(1, end - 1) : QString();
    }
    // Unquoted, the path may hold blanks ("C:\Program Files\...\SLDWORKS.exe /automation").
    const QLatin1String extension(".exe");
    const qsizetype end = command.indexOf(extension, 0, Qt::CaseInsensitive);
    return end > 0 ? command.left(end + extension.size()) : QString();
}

int retryDelay(std::uint32_t rejectType, std::uint32_t elapsedMs, std::uint32_t deadlineMs)
{
    constexpr std::uint32_t retryLater = 2;
    // Long enough for the host to finish what it is busy with, short enough to go on soon after.
    constexpr int wait = 250;
    if (rejectType != retryLater || elapsedMs >= deadlineMs)
        return -1;
    return wait;
}

namespace {

    // The causes a user can act on, in the order they are named.
    const std::pair<long, const char *> openErrors[] = {
        { 2, "file not found" },
        { 1024, "not a file the host can open" },
        { 8192, "saved by a later version of the host" },
        { 65536, "a document of the same name is open" },
        { 131072, "the file is encrypted" },
        { 262144, "the host is low on memory or handles" },
        { 2097152, "the file needs repairing" },
        { 4194304, "the file's data is damaged" },
        { 8388608, "the host is busy" },
    };

} // namespace

QString openErrorText(long errors)
{
    QStringList causes;
    for (const auto &[bit, text] : openErrors) {
        if (errors & bit)
            causes.append(QLatin1String(text));
    }
    return causes.join(QStringLiteral(", "));
}

bool hostUnwell(long errors)
{
    constexpr long lowResources = 262144;
    constexpr long applicationBusy = 8388608;
    return errors & (lowResources | applicationBusy);
}

QString stoppedText(const QString &drawing, int timeoutSeconds)
{
    return QStringLiteral("the host did not finish %1 within %2 s and was stopped")
        .arg(drawing)
        .arg(timeoutSeconds);
}

QString endedText(const QString &drawing)
{
    return QStringLiteral("the host ended while it had %1 open").arg(drawing);
}

} // namespace CadHostRules
