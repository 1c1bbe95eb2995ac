#include "hostwindow.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// One command runs at a time, on the host's one user-interface thread.
HostWindow *running = nullptr;
quintptr runningHandle = 0;
QWindow *runningOwner = nullptr;

#ifdef Q_OS_WIN
// Qt's Windows platform takes no window of another toolkit as an owner, and sets a window's owner
// anew whenever it shows it: so the host's window is made the owner after each show, and the
// window is centred over it the first time, where Qt would centre it over a parent of its own.
class OwnedAfterShow : public QObject {
public:
    OwnedAfterShow(QWidget *window, quintptr owner)
        : QObject(window)
        , owner(reinterpret_cast<HWND>(owner))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShowToParent)
            return false;
        const HWND window = reinterpret_cast<HWND>(static_cast<QWidget *>(watched)->winId());
        SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        if (!placed) {
            placed = true;
            centreOverOwner(window);
        }
        return false;
    }

private:
    // Over the owner's middle, inside the work area of the owner's monitor.
    void centreOverOwner(HWND window) const
    {
        RECT ownerRect {};
        RECT windowRect {};
        MONITORINFO monitor {};
        monitor.cbSize = sizeof monitor;
        if (!GetWindowRect(owner, &ownerRect) || !GetWindowRect(window, &windowRect)
            || !GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor))
            return;
        const LONG width = windowRect.right - windowRect.left;
        const LONG height = windowRect.bottom - windowRect.top;
        const RECT &area = monitor.rcWork;
        const LONG x = std::max(area.left,
            std::min((ownerRect.left + ownerRect.right - width) / 2, area.right - width));
        const LONG y = std::max(area.top,
            std::min((ownerRect.top + ownerRect.bottom - height) / 2, area.bottom - height));
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    HWND owner;
    bool placed = false;
};
#endif

} // namespace

HostWindow::HostWindow(quintptr nativeHandle)
    : handle(nativeHandle)
{
    if (handle == 0)
        return;
    running = this;
    runningHandle = handle;
#ifdef Q_OS_WIN
    // EnableWindow answers whether the window was disabled already; a window the host had
    // disabled itself is left so.
    disabled = !EnableWindow(reinterpret_cast<HWND>(handle), FALSE);
#else
    foreign.reset(QWindow::fromWinId(WId(handle)));
    runningOwner = foreign.get();
#endif
}

HostWindow::~HostWindow()
{
    restore();
    if (running == this) {
        running = nullptr;
        runningHandle = 0;
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
    if (!running || !window || window->parentWidget())
        return;
#ifdef Q_OS_WIN
    new OwnedAfterShow(window, runningHandle);
#else
    window->winId();
    if (QWindow *native = window->windowHandle())
        native->setTransientParent(runningOwner);
#endif
}
