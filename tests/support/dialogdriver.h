#pragma once

#include "platform/msgbox.h"

#include <QList>
#include <QStringList>
#include <functional>

class QWidget;

// Runs steps on the modal window that the next blocking call opens, once its event loop runs;
// the window must carry the given objectName.
void whileModal(const char *objectName, std::function<void(QWidget &)> steps);

// Clicks the named button of a window near its left edge, where an option button's indicator and
// caption are.
void press(QWidget &window, const char *name);

// While it lives, message boxes are recorded instead of shown, each answered Ok.
class RecordedMessages {
public:
    RecordedMessages();
    ~RecordedMessages();
    RecordedMessages(const RecordedMessages &) = delete;
    RecordedMessages &operator=(const RecordedMessages &) = delete;

    // "title|text" of each box, in order.
    QStringList texts() const;

    QList<MsgBox::Message> shown;

private:
    MsgBox::Presenter saved;
};
