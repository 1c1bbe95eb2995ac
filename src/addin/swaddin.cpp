#include "swaddin.h"

#include "addin/quilletmain.h"
#include "loghelp/hostwindow.h"
#include "loghelp/logform.h"
#include "loghelp/messagewindow.h"
#include "maindialog/usrform.h"
#include "platform/moduleinfo.h"

bool swAddIn::SwAddIn_ConnectToSW(std::shared_ptr<CadApplication> ThisSW, int Cookie)
{
    Quilletmain::fillFromVersionResource();
    installMessageWindow();
    swInst = std::move(ThisSW);
    Quilletmain::hostApp = swInst;
    swInst->RegisterCallbacks(moduleHandle(), this, Cookie);
    menuItemPath = Quilletmain::productAndVersion() + QLatin1Char('@')
        + swInst->StandardMenuName(CadCode::MenuTools);
    swInst->AddCommandItem(CadCode::DocDrawing, Cookie, menuItemPath, 0, callbackName,
        QStringLiteral("1"), Quilletmain::fileDescription);
    swInst->MainFrame()->SetStatusBarText(
        Quilletmain::productAndVersion() + QLatin1Char(' ') + Quilletmain::legalCopyright);
    return true;
}

bool swAddIn::SwAddIn_DisconnectFromSW()
{
    // Whatever fails below, nothing of the host is held afterwards: a reference kept past
    // disconnect keeps the host's process alive when it exits.
    struct Release {
        swAddIn &addIn;
        ~Release()
        {
            addIn.swInst.reset();
            Quilletmain::hostApp.reset();
        }
    } release { *this };
    // A log window left hidden by a run without diagnostics goes with the add-in.
    logForm::unload();
    // The path kept from connect, whatever the host calls its menu now.
    swInst->RemoveCommandItem(CadCode::DocDrawing, menuItemPath, callbackName);
    swInst->MainFrame()->SetStatusBarText(
        QStringLiteral("Thank you for using ") + Quilletmain::productAndVersion());
    return true;
}

bool swAddIn::showForm()
{
    // After disconnect there is no host to work on.
    if (!Quilletmain::hostApp)
        return false;
    // The host's own window owns the command's windows and waits for them.
    HostWindow hostWindow(Quilletmain::hostApp->MainFrame()->WindowHandle());
    // A fresh dialog for every command; nothing of the last one survives.
    auto form = std::make_unique<usrForm>(Quilletmain::hostApp);
    if (form->loaded()) {
        HostWindow::own(form.get());
        form->exec();
    }
    hostWindow.restore();
    return true;
}

void swAddIn::showCommandFailure(const QuilletError &error)
{
    showUnhandledFailure(error);
}
