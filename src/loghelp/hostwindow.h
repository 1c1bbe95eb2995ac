#pragma once

#include <QtGlobal>
#include <memory>

class QWidget;
class QWindow;

// The host's main window while a command of the add-in runs, when the host's windows are not the
// add-in's toolkit's: the add-in's top-level windows are owned by it, so they stay in front of it,
// and it takes no input until the command ends, as with the host's own modal dialogs. A handle of
// 0 (a host whose windows are Qt's) changes nothing.
class HostWindow {
public:
    explicit HostWindow(quintptr nativeHandle);
    ~HostWindow();
    HostWindow(const HostWindow &) = delete;
    HostWindow &operator=(const HostWindow &) = delete;

    // Gives the host window its input back and makes it active again; the destructor does it at
    // the latest.
    void restore();

    // Makes a window of the add-in that has no parent owned by the host window of the running
    // command.
    static void own(QWidget *window);

private:
    quintptr handle;
    bool disabled = false;
    std::unique_ptr<QWindow> foreign;
};
