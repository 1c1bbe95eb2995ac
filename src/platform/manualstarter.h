#pragma once

#include <QString>
#include <functional>

// Starting the user manual: the program that hands an HTML file to the desktop's viewer. On
// Windows that is the command interpreter under WINDIR, elsewhere xdg-open found on PATH.
namespace ManualStarter {

// The program's name as the user knows it: "cmd.exe" or "xdg-open".
QString interpreterName();
// The program's full path, or "" when it is missing.
QString findInterpreter();
// Starts the program on the manual (a native path) with no window, without waiting; false when it
// could not be started. When the program ends later with a status other than 0, or crashes, it
// has opened nothing (no viewer for HTML files, for one): failed is then called, from the event
// loop.
bool start(
    const QString &interpreter, const QString &manualPath, const std::function<void()> &failed);

} // namespace ManualStarter
