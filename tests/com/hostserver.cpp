// SLDWORKS.exe for the tests: the strict host as a program of its own, which other processes
// start, find in the running object table by its process id and drive from outside, as they
// drive the real host. A console program, so that what goes wrong in it reaches the console of
// the test or batch that started it.

#include "hostserver.h"

#include "stricthost.h"

#include <cstdio>
#include <cwchar>
#include <objbase.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include <windows.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring environment(const wchar_t *name)
{
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, DWORD(std::size(value)));
    return length && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

std::string toUtf8(const std::wstring &text)
{
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(),
        int(bytes.size()), nullptr, nullptr));
    return bytes;
}

int fail(const std::wstring &what, long code)
{
    fwprintf(stderr, L"SLDWORKS: %ls (0x%08lX)\n", what.c_str(), static_cast<unsigned long>(code));
    return 1;
}

// The host's record for the tests, one line at a time straight to the file, so that it holds
// everything up to the moment the process is killed. Appended, so that hosts sharing a name
// write whole lines.
class Record {
public:
    Record()
    {
        const std::wstring folder = environment(HostServer::logVariable);
        if (folder.empty())
            return;
        std::wstring name = environment(HostServer::nameVariable);
        // Process ids come round again soon under Wine: the start time tells hosts apart.
        if (name.empty())
            name = L"host-" + std::to_wstring(GetCurrentProcessId()) + L"-"
                + std::to_wstring(GetTickCount64());
        file = CreateFileW((folder + L"\\" + name + L".log").c_str(), FILE_APPEND_DATA,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~Record()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    Record(const Record &) = delete;
    Record &operator=(const Record &) = delete;

    bool failed() const
    {
        return !environment(HostServer::logVariable).empty() && file == INVALID_HANDLE_VALUE;
    }

    void line(const std::wstring &text)
    {
        if (file == INVALID_HANDLE_VALUE)
            return;
        const std::string bytes = toUtf8(text) + "\n";
        DWORD written = 0;
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    }

private:
    HANDLE file = INVALID_HANDLE_VALUE;
};

// Objects of the program's own that live as long as it serves: COM's references do not own them.
template <class Interface> class Resident : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = iid == IID_IUnknown || iid == __uuidof(Interface) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Every client that creates the class gets the one application object of this process.
class ApplicationFactory final : public Resident<IClassFactory> {
public:
    explicit ApplicationFactory(IDispatch *application)
        : application(application)
    {
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : application->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    IDispatch *application;
};

// While the host is busy, incoming calls are to be tried again later.
class BusyFilter final : public Resident<IMessageFilter> {
public:
    explicit BusyFilter(const StrictHost::Host &host)
        : host(host)
    {
    }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return GetTickCount64() < host.busyUntil ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
    }
    // The host calls no other process.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    const StrictHost::Host &host;
};

struct ClassKey {
    std::wstring key; // under HKLM\SOFTWARE\Classes
    std::wstring value; // the default value
};

std::vector<ClassKey> classKeys()
{
    wchar_t program[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, program, DWORD(std::size(program)));
    const std::wstring clsidKey = L"CLSID\\" + std::wstring(HostServer::classId);
    return { { HostServer::versionedProgId + std::wstring(L"\\CLSID"), HostServer::classId },
        { HostServer::progId + std::wstring(L"\\CLSID"), HostServer::classId },
        { HostServer::progId + std::wstring(L"\\CurVer"), HostServer::versionedProgId },
        { clsidKey + L"\\LocalServer32", L"\"" + std::wstring(program, length) + L"\"" },
        { clsidKey + L"\\ProgID", HostServer::versionedProgId } };
}

const std::wstring classesKey = L"SOFTWARE\\Classes\\";

// The keys a client looks the host up by, in the 64-bit view as a 64-bit host has them.
int registerServer()
{
    for (const ClassKey &entry : classKeys()) {
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (classesKey + entry.key).c_str(), 0,
            nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, nullptr, 0, REG_SZ,
                reinterpret_cast<const BYTE *>(entry.value.c_str()),
                DWORD((entry.value.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS)
            return fail(L"cannot write HKLM\\" + classesKey + entry.key, status);
    }
    return 0;
}

// A parent key goes with the keys written under it, unless something else is kept there.
LSTATUS removeIfEmpty(const std::wstring &name)
{
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(
        HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (status == ERROR_SUCCESS) {
        status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
            &values, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS || subkeys > 0 || values > 0)
        return status;
    return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), KEY_WOW64_64KEY, 0);
}

int unregisterServer()
{
    for (const ClassKey &entry : classKeys()) {
        const std::wstring name = classesKey + entry.key;
        LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), KEY_WOW64_64KEY, 0);
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
            status = removeIfEmpty(name.substr(0, name.rfind(L'\\')));
        if (status != ERROR_SUCCESS)
            return fail(L"cannot remove HKLM\\" + name, status);
    }
    return 0;
}

int serve()
{
    Record record;
    if (record.failed())
        return fail(L"cannot open the record in " + environment(HostServer::logVariable),
            long(GetLastError()));
    record.line(L"start " + std::to_wstring(GetCurrentProcessId()));

    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        return fail(L"CoInitializeEx", hr);
    int status = 0;
    {
        StrictHost::Options options;
        options.startupMilliseconds
            = wcstoul(environment(HostServer::startupVariable).c_str(), nullptr, 10);
        options.callObserver = [&record](const StrictHost::Call &call) {
            record.line(L"call " + call.object + L"." + call.member);
        };
        options.violationObserver
            = [&record](const std::wstring &text) { record.line(L"violation " + text); };
        StrictHost::Host host(std::move(options));

        ComPtr<IRunningObjectTable> table;
        ComPtr<IMoniker> moniker;
        DWORD tableCookie = 0;
        DWORD classCookie = 0;
        ApplicationFactory factory(host.application());
        BusyFilter filter(host);
        ComPtr<IMessageFilter> previousFilter;
        CLSID clsid;
        const std::wstring monikerName
            = L"SolidWorks_PID_" + std::to_wstring(GetCurrentProcessId());
        if (FAILED(hr = GetRunningObjectTable(0, table.GetAddressOf())))
            status = fail(L"GetRunningObjectTable", hr);
        else if (FAILED(hr = CreateFileMoniker(monikerName.c_str(), moniker.GetAddressOf())))
            status = fail(L"CreateFileMoniker", hr);
        else if (FAILED(hr = table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, host.application(),
                            moniker.Get(), &tableCookie)))
            status = fail(L"registering " + monikerName + L" in the running object table", hr);
        else if (FAILED(hr = CLSIDFromString(HostServer::classId, &clsid)))
            status = fail(L"CLSIDFromString", hr);
        else if (FAILED(hr = CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER,
                            REGCLS_MULTIPLEUSE, &classCookie)))
            status = fail(L"CoRegisterClassObject", hr);
        else if (FAILED(hr = CoRegisterMessageFilter(&filter, previousFilter.GetAddressOf())))
            status = fail(L"CoRegisterMessageFilter", hr);

        if (status == 0) {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            record.line(L"exit");
            CoRegisterMessageFilter(previousFilter.Get(), nullptr);
        }
        if (classCookie)
            CoRevokeClassObject(classCookie);
        if (tableCookie)
            table->Revoke(tableCookie);
    }
    CoUninitialize();
    return status;
}

} // namespace

int main()
{
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> given(arguments + (count > 0 ? 1 : 0), arguments + count);
    LocalFree(arguments);
    // Everything else a host is started with (/r, -Embedding, /Embedding) changes nothing here.
    for (const std::wstring &argument : given) {
        if (_wcsicmp(argument.c_str(), L"/regserver") == 0)
            return registerServer();
        if (_wcsicmp(argument.c_str(), L"/unregserver") == 0)
            return unregisterServer();
    }
    return serve();
}
