#pragma once

#include "platform/msgbox.h"

// The message box facade's window: a QMessageBox with the message's title, text, icon and
// buttons, shown modally.
int showMessageWindow(const MsgBox::Message &message);

// Makes showMessageWindow the facade's window; tests still replace it with their own presenter.
void installMessageWindow();
