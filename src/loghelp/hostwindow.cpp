#include "hostwindow.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// One command runs at a time, on the host's one user-interface thread.
HostWindow *running = nullptr;
QWindow *runningOwner = nullptr;

} // namespace

HostWindow::HostWindow(quintptr nativeHandle)
    : handle(nativeHandle)
{
    if (handle == 0)
        return;
    foreign.reset(QWindow::fromWinId(WId(handle)));
    running = this;
    runningOwner = foreign.get();
#ifdef Q_OS_WIN
    // EnableWindow answers whether the window was disabled already; a window the host had
    // disabled itself is left so.
    disabled = !EnableWindow(reinterpret_cast<HWND>(handle), FALSE);
#endif
}

HostWindow::~HostWindow()
{
    restore();
    if (running == this) {
        running = nullptr;
        runningOwner = nullptr;
    }
}

void HostWindow::restore()
{
    if (!disabled)
        return;
    disabled = false;
#ifdef Q_OS_WIN
    // Enabled before the add-in's last window goes, the system hands activation back to the
    // host instead of to some other program.
    EnableWindow(reinterpret_cast<HWND>(handle), TRUE);
    SetActiveWindow(reinterpret_cast<HWND>(handle));
#endif
}

void HostWindow::own(QWidget *window)
{
    // A window with a parent of ours is owned by that parent already.
    if (!runningOwner || !window || window->parentWidget())
        return;
    window->winId();
    QWindow *native = window->windowHandle();
    if (!native)
        return;
    native->setTransientParent(runningOwner);
#ifdef Q_OS_WIN
    // Qt's Windows platform takes no window of another toolkit as an owner, and sets the owner
    // anew whenever a window is shown: so the host's window is made the owner after each show.
    class OwnerAfterShow : public QObject {
    public:
        OwnerAfterShow(QWidget *window, quintptr owner)
            : QObject(window)
            , owner(owner)
        {
            window->installEventFilter(this);
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::ShowToParent)
                SetWindowLongPtrW(reinterpret_cast<HWND>(static_cast<QWidget *>(watched)->winId()),
                    GWLP_HWNDPARENT, LONG_PTR(owner));
            return false;
        }

    private:
        quintptr owner;
    };
    new OwnerAfterShow(window, running->handle);
#endif
}
