#pragma once

#include "platform/msgbox.h"
#include "platform/quilleterror.h"

#include <concepts>
#include <utility>

// The message box facade's window: a QMessageBox with the message's title, text, icon and
// buttons, shown modally.
int showMessageWindow(const MsgBox::Message &message);

// Makes showMessageWindow the facade's window; tests still replace it with their own presenter.
void installMessageWindow();

// Shows a failure that the handler of a user action did not handle itself: one error box with
// the procedure recorded last.
void showUnhandledFailure(const QuilletError &error);

// A handler of a user action that never lets a failure reach the event loop, which cannot take
// one: what the handler does not handle itself is shown in one error box.
template <typename Handler> auto guarded(Handler handler)
{
    // Constrained, so that a signal's extra arguments are dropped as for a plain slot.
    return [handler = std::move(handler)](
        auto &&...arguments) requires std::invocable<const Handler &, decltype(arguments)...>
    {
        try {
            handler(std::forward<decltype(arguments)>(arguments)...);
        } catch (const QuilletError &error) {
            showUnhandledFailure(error);
        } catch (const std::exception &) {
            showUnhandledFailure(QuilletError(51, QStringLiteral("Internal error")));
        }
    };
}
