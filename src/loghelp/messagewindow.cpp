#include "messagewindow.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "hostwindow.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(MsgBox::Icon icon)
{
    switch (icon) {
    case MsgBox::Icon::None:
        break;
    case MsgBox::Icon::Information:
        return QMessageBox::Information;
    case MsgBox::Icon::Exclamation:
        return QMessageBox::Warning;
    case MsgBox::Icon::Critical:
        return QMessageBox::Critical;
    case MsgBox::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MsgBox::Buttons buttons)
{
    switch (buttons) {
    case MsgBox::Buttons::Ok:
        break;
    case MsgBox::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgBox::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

} // namespace

int showMessageWindow(const MsgBox::Message &message)
{
    QMessageBox box(boxIcon(message.icon), message.title, message.text, boxButtons(message.buttons),
        QApplication::activeModalWidget());
    // A box with no window of ours above it belongs to the host's window.
    HostWindow::own(&box);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return MsgBox::Cancel;
    case QMessageBox::Yes:
        return MsgBox::Yes;
    case QMessageBox::No:
        return MsgBox::No;
    default:
        return MsgBox::Ok;
    }
}

void installMessageWindow()
{
    MsgBox::setWindowPresenter(showMessageWindow);
}

void showUnhandledFailure(const QuilletError &error)
{
    MsgBox::show(ErrorText::commandFailure(error, Quilletmain::curProcName),
        MsgBox::Icon::Exclamation, ErrorText::title());
}
