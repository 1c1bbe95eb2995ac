#include "manualstarter.h"

#include <QCoreApplication>
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

bool start(
    const QString &interpreter, const QString &manualPath, const std::function<void()> &failed)
{
    // The application owns the process until it ends, so that its end can still be heard after
    // the dialog that asked for the manual has gone.
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(interpreter);
    // The viewer it starts may outlive the add-in: it gets no pipe of ours to write into.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
#ifdef Q_OS_WIN
    // The whole command line as the interpreter reads it: both paths quoted, so blanks in them are
    // safe; the interpreter's console stays hidden.
    std::wstring commandLine = (QLatin1Char('"') + QDir::toNativeSeparators(interpreter)
        + QStringLiteral("\" /C \"") + QDir::toNativeSeparators(manualPath) + QLatin1Char('"'))
                                   .toStdWString();
    // The process is started before this function returns, while the text still lives.
    process->setCreateProcessArgumentsModifier(
        [&commandLine](QProcess::CreateProcessArguments *arguments) {
            arguments->arguments = commandLine.data();
            arguments->flags |= CREATE_NO_WINDOW;
            arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            arguments->startupInfo->wShowWindow = SW_HIDE;
        });
#else
    process->setArguments({ QDir::toNativeSeparators(manualPath) });
#endif
    QObject::connect(process, &QProcess::finished, process,
        [process, failed](int exitCode, QProcess::ExitStatus exitStatus) {
            process->deleteLater();
            if (exitStatus != QProcess::NormalExit || exitCode != 0)
                failed();
        });
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

} // namespace ManualStarter
