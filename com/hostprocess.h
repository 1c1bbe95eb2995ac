#pragma once

#include "comowners.h"

#include <QString>
#include <windows.h>

// One instance of the CAD host that this process started for itself, never a session the user
// has open: its process sits in a job object that ends it when this process ends, however that
// happens, and its application object is the one the running object table lists under its own
// process id.
class HostProcess {
public:
    // The command that starts the host's local server, as the registry's 64-bit view names it
    // for the host's class (its newest version first); empty, with the reason in why, when no
    // host is registered.
    static QString registeredServer(QString *why);

    // Starts program and waits up to startSeconds for its application object to appear and its
    // start-up to complete; throws QuilletError naming what failed, leaving no process behind.
    HostProcess(const QString &program, int startSeconds);
    ~HostProcess();
    HostProcess(const HostProcess &) = delete;
    HostProcess &operator=(const HostProcess &) = delete;

    IDispatch *application() const { return app.Get(); }
    bool running() const;
    // The process's exit status once it has ended.
    DWORD exitCode() const;
    // Ends the process at once, from any thread.
    void kill();
    // Asks the host to end, releases every reference to it and, when it has not ended within
    // seconds, kills it.
    void end(int seconds);

private:
    ComPtr<IDispatch> findInRunningObjects() const;

    HANDLE job = nullptr;
    HANDLE process = nullptr;
    DWORD processId = 0;
    ComPtr<IDispatch> app;
};
