#pragma once

class QKeyEvent;
class QWidget;

// Shift+F10 and the Menu key ask for the context menu of the widget with the keyboard focus, as
// a right click asks the widget under the pointer. Some platforms turn them into that request
// themselves, others do not; a window that offers context menus sends it for the keys that reach
// it unhandled.
bool isContextMenuKey(const QKeyEvent &event);

// Sends widget the keyboard's request for its context menu, placed at its caret or current item;
// a widget without a menu of its own passes it on to its parents, as for a right click.
void requestContextMenu(QWidget *widget);
