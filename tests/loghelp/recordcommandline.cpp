// Stands in for the command interpreter: writes the command line it was started with, and how it
// was asked to show its window, into the file that QUILLET_RECORD_FILE names.
#include <string>
#include <windows.h>

int main()
{
    wchar_t file[MAX_PATH * 4];
    if (GetEnvironmentVariableW(L"QUILLET_RECORD_FILE", file, MAX_PATH * 4) == 0)
        return 1;
    STARTUPINFOW startup {};
    GetStartupInfoW(&startup);
    const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_HIDE;
    const std::wstring text
        = std::wstring(GetCommandLineW()) + (hidden ? L"\nhidden\n" : L"\nshown\n");
    const int size
        = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();
    const HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(out);
    return 0;
}
