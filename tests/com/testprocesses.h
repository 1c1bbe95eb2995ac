#pragma once

#include <string>
#include <vector>
#include <windows.h>

// After windows.h, whose types it uses.
#include <tlhelp32.h>

// Processes the COM tests start and look for: programs run to their end, and the test host's
// SLDWORKS.exe, of which none may outlive a test.
namespace TestProcesses {

// Runs the command line and answers its exit code; -1 when it could not start or did not end
// within milliseconds.
inline DWORD run(std::wstring commandLine, DWORD milliseconds)
{
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
            &startup, &process))
        return DWORD(-1);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The process ids of the test host's processes now running.
inline std::vector<DWORD> hosts()
{
    std::vector<DWORD> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"SLDWORKS.exe") == 0)
            found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

// Ends every test host process that a failed test left.
inline void killHosts()
{
    for (const DWORD id : hosts()) {
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

} // namespace TestProcesses
