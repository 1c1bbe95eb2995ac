#include "helpabout.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "platform/manualstarter.h"
#include "platform/msgbox.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The maker's web address, shown in the About box.
const QString makerAddress = QStringLiteral("https://quillet.example.org");

const QString manualName = QStringLiteral("Quillet_User_Manual.html");

void openManual(const QString &moduleDir)
{
    const QString interpreter = ManualStarter::findInterpreter();
    if (interpreter.isEmpty())
        throw QuilletError(15001, ManualStarter::interpreterName() + QStringLiteral(" not found."));
    const QString manual = QDir(moduleDir).filePath(QStringLiteral("doc/") + manualName);
    if (!QFileInfo(manual).isFile()) {
        throw QuilletError(
            16001, QStringLiteral("Help file [") + manualName + QStringLiteral("] not found."));
    }
    if (!ManualStarter::startDetached(interpreter, manual))
        throw PlatformError::make(PlatformError::PathFileAccessError);
}

} // namespace

QString aboutText()
{
    return Quilletmain::productAndVersion() + QLatin1Char(' ') + Quilletmain::legalCopyright
        + QString(7, QLatin1Char(' ')) + QStringLiteral("\r\n\r\n") + QString(32, QLatin1Char(' '))
        + makerAddress;
}

void showAboutBox()
{
    MsgBox::show(aboutText(), MsgBox::Icon::Information,
        Quilletmain::productAndVersion() + QStringLiteral(" [Copyright]"));
}

void showUserManual(const QString &moduleDir)
{
    Quilletmain::curProcName = QStringLiteral("mnuShowHelp");
    try {
        openManual(moduleDir);
    } catch (const QuilletError &error) {
        MsgBox::show(ErrorText::commandFailure(error, Quilletmain::curProcName),
            MsgBox::Icon::Exclamation, ErrorText::title());
    }
}
