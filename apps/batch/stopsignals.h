#pragma once

// Ctrl+C and SIGTERM (on Windows: Ctrl+C, Ctrl+Break and closing the console) as a request to
// stop after the sheet being saved: outputs are renamed into place, so nothing half-written
// stays, and the report can still list what was saved.
namespace StopSignals {

// From here on the signals set the request instead of ending the process.
void install();
// The signal that asked to stop (SIGINT 2, SIGTERM 15), or 0.
int received();
// Asks to stop as that signal would; for a test to play a signal where it cannot send one.
void request(int signal);
// The exit status of a batch stopped by that signal: 128 plus its number.
inline int exitStatus(int signal)
{
    return 128 + signal;
}

} // namespace StopSignals
