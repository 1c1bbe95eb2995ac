#include "msgbox.h"

#include <cstdio>

namespace {

MsgBox::Presenter &currentPresenter()
{
    static MsgBox::Presenter presenter;
    return presenter;
}

MsgBox::Presenter &windowPresenter()
{
    static MsgBox::Presenter presenter;
    return presenter;
}

// Without a window system the text still reaches the user.
int printMessage(const MsgBox::Message &message)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(message.text));
    return MsgBox::Ok;
}

} // namespace

int MsgBox::show(const QString &text, Icon icon, const QString &title, Buttons buttons)
{
    const Message message { title, text, icon, buttons };
    if (const Presenter &presenter = currentPresenter())
        return presenter(message);
    if (const Presenter &window = windowPresenter())
        return window(message);
    return printMessage(message);
}

MsgBox::Presenter MsgBox::setPresenter(Presenter presenter)
{
    return std::exchange(currentPresenter(), std::move(presenter));
}

void MsgBox::setWindowPresenter(Presenter presenter)
{
    windowPresenter() = std::move(presenter);
}
