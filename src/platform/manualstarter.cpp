#include "manualstarter.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <string>
#include <windows.h>
#endif

namespace ManualStarter {

QString interpreterName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("cmd.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

QString findInterpreter()
{
#ifdef Q_OS_WIN
    const QString cmd = qEnvironmentVariable("WINDIR") + QStringLiteral("\\system32\\cmd.exe");
    return QFileInfo(cmd).isFile() ? cmd : QString();
#else
    return QStandardPaths::findExecutable(interpreterName());
#endif
}

bool startDetached(const QString &interpreter, const QString &manualPath)
{
    QProcess process;
    process.setProgram(interpreter);
#ifdef Q_OS_WIN
    // The whole command line as the interpreter reads it: both paths quoted, so blanks in them are
    // safe; the interpreter's console stays hidden.
    std::wstring commandLine = (QLatin1Char('"') + QDir::toNativeSeparators(interpreter)
        + QStringLiteral("\" /C \"") + QDir::toNativeSeparators(manualPath) + QLatin1Char('"'))
                                   .toStdWString();
    // The process is started before this function returns, while the text still lives.
    process.setCreateProcessArgumentsModifier(
        [&commandLine](QProcess::CreateProcessArguments *arguments) {
            arguments->arguments = commandLine.data();
            arguments->flags |= CREATE_NO_WINDOW;
            arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            arguments->startupInfo->wShowWindow = SW_HIDE;
        });
#else
    process.setArguments({ QDir::toNativeSeparators(manualPath) });
#endif
    return process.startDetached();
}

} // namespace ManualStarter
