#include "msgbox.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace {

MsgBox::Presenter &currentPresenter()
{
    static MsgBox::Presenter presenter;
    return presenter;
}

int showWindow(const MsgBox::Message &message)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        // Without a window system the text still reaches the user.
        std::fprintf(stderr, "%s\n", qUtf8Printable(message.text));
        return MsgBox::Ok;
    }
    QMessageBox box;
    box.setWindowTitle(message.title);
    box.setText(message.text);
    switch (message.icon) {
    case MsgBox::Icon::None:
        break;
    case MsgBox::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgBox::Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgBox::Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgBox::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (message.buttons) {
    case MsgBox::Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgBox::Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgBox::Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
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

} // namespace

int MsgBox::show(const QString &text, Icon icon, const QString &title, Buttons buttons)
{
    const Message message { title, text, icon, buttons };
    const Presenter &presenter = currentPresenter();
    return presenter ? presenter(message) : showWindow(message);
}

MsgBox::Presenter MsgBox::setPresenter(Presenter presenter)
{
    return std::exchange(currentPresenter(), std::move(presenter));
}
