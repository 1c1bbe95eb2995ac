#include "stopsignals.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<int> stopRequest { 0 };

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD event)
{
    // Ctrl+C is the interrupt; the others end the console's programs, as SIGTERM does.
    stopRequest.store(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}
#else
extern "C" void onSignal(int signal)
{
    stopRequest.store(signal);
}
#endif

} // namespace

namespace StopSignals {

void install()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A blocking read in a worker returns on the signal, so the request is seen at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

int received()
{
    return stopRequest.load();
}

void request(int signal)
{
    stopRequest.store(signal);
}

} // namespace StopSignals
