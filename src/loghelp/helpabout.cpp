#include "helpabout.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "platform/manualstarter.h"
#include "platform/moduleinfo.h"
#include "platform/msgbox.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString manualName = QStringLiteral("Quillet_User_Manual.html");
const QString helpProcedure = QStringLiteral("mnuShowHelp");

void showFailure(const QuilletError &error)
{
    MsgBox::show(ErrorText::commandFailure(error, helpProcedure), MsgBox::Icon::Exclamation,
        ErrorText::title());
}

// The opener ended without opening the manual; the user can still open it by hand.
void showNotOpened(const QString &manual)
{
    showFailure(QuilletError(16101,
        QStringLiteral("No program opened the user manual [") + QDir::toNativeSeparators(manual)
            + QStringLiteral("]; open it in a web browser.")));
}

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
    if (!ManualStarter::start(interpreter, manual, [manual] { showNotOpened(manual); }))
        throw PlatformError::make(PlatformError::PathFileAccessError);
}

} // namespace

QString aboutText()
{
    return Quilletmain::productAndVersion() + QLatin1Char(' ') + Quilletmain::legalCopyright
        + QString(7, QLatin1Char(' '))
        + QStringLiteral("\r\n\r\n")
        // A path as long as an installed manual's wraps at its slashes: indented, it would wrap
        // into a ragged column.
        + QUrl::fromLocalFile(QDir(moduleDirectory()).filePath(QStringLiteral("doc/") + manualName))
              .toString(QUrl::FullyEncoded);
}

void showAboutBox()
{
    MsgBox::show(aboutText(), MsgBox::Icon::Information,
        Quilletmain::productAndVersion() + QStringLiteral(" [Copyright]"));
}

void showUserManual(const QString &moduleDir)
{
    Quilletmain::curProcName = helpProcedure;
    try {
        openManual(moduleDir);
    } catch (const QuilletError &error) {
        showFailure(error);
    }
}
