#pragma once

#include <QString>
#include <functional>

// Every message box of the add-in goes through here, so that tests and the batch tool can
// replace the blocking window. The window itself belongs to the dialogs, which install it; until
// then a message is printed on standard error.
class MsgBox {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    struct Message {
        QString title;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };
    using Presenter = std::function<int(const Message &)>;

    static int show(
        const QString &text, Icon icon, const QString &title, Buttons buttons = Buttons::Ok);
    // Returns the presenter it replaces; an empty presenter restores the default window.
    static Presenter setPresenter(Presenter presenter);
    // The toolkit's message window, used while no other presenter is set.
    static void setWindowPresenter(Presenter presenter);
};
