// SLDWORKS.exe, the test host as a program of its own, driven from outside as a batch drives the
// real host: registered, started, found in the running object table by its process id, hidden,
// made to open drawings that hang or crash it, ended, and its record read back.

#include "hostserver.h"
#include "strictdispatch.h"
#include "stricthost.h"
#include "testprocesses.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <thread>
#include <windows.h>
#include <wrl/client.h>

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using StrictHost::Variant;

namespace {

const std::wstring clsid = L"{6E3C4A1B-8F2D-4C57-9B0E-2D7A51C3E944}";

fs::path hostProgram()
{
    wchar_t self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, self, DWORD(std::size(self)));
    return fs::path(std::wstring(self, length)).parent_path() / L"SLDWORKS.exe";
}

// Runs the host program with the arguments and answers its exit code.
DWORD runHost(const std::wstring &arguments)
{
    return TestProcesses::run(L"\"" + hostProgram().wstring() + L"\" " + arguments, 10000);
}

// The default value of a key of the 64-bit view, "" when there is none.
std::wstring defaultValue(const std::wstring &key)
{
    wchar_t data[1024] {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr,
            RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, data, &size)
        != ERROR_SUCCESS)
        return L"";
    return data;
}

bool keyExists(const std::wstring &key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle)
        != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// Arguments in call order, owned until the call is done.
class Arguments {
public:
    Arguments() = default;
    Arguments(const Arguments &) = delete;
    Arguments &operator=(const Arguments &) = delete;
    ~Arguments()
    {
        for (VARIANT &value : values)
            VariantClear(&value);
    }

    Arguments &text(const std::wstring &value)
    {
        add(VT_BSTR).bstrVal = StrictHost::Bstr(value).detach();
        return *this;
    }
    Arguments &number(long value)
    {
        add(VT_I4).lVal = value;
        return *this;
    }
    Arguments &flag(bool value)
    {
        add(VT_BOOL).boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return *this;
    }
    Arguments &out(long *target)
    {
        add(VT_BYREF | VT_I4).plVal = target;
        return *this;
    }

    // rgvarg holds them last first.
    std::vector<VARIANT> reversed() const { return { values.rbegin(), values.rend() }; }

private:
    VARIANT &add(VARTYPE type)
    {
        VARIANT &value = values.emplace_back();
        VariantInit(&value);
        value.vt = type;
        return value;
    }

    std::vector<VARIANT> values;
};

HRESULT invoke(
    IDispatch *object, const wchar_t *name, WORD kind, const Arguments &arguments, VARIANT *result)
{
    StrictHost::Bstr member(name);
    LPOLESTR names[] = { member.get() };
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    std::vector<VARIANT> values = arguments.reversed();
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params { values.data(), kind == DISPATCH_PROPERTYPUT ? &putId : nullptr,
        UINT(values.size()), kind == DISPATCH_PROPERTYPUT ? 1u : 0u };
    return object->Invoke(
        id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
}

HRESULT call(IDispatch *object, const wchar_t *name, const Arguments &arguments = {},
    VARIANT *result = nullptr)
{
    return invoke(object, name, DISPATCH_METHOD, arguments, result);
}

// The VT_BOOL a member answers.
bool flagOf(IDispatch *object, const wchar_t *name, WORD kind = DISPATCH_PROPERTYGET,
    const Arguments &arguments = {})
{
    Variant value;
    EXPECT_EQ(invoke(object, name, kind, arguments, value.get()), S_OK) << name;
    EXPECT_EQ(value.get()->vt, VT_BOOL) << name;
    return value.get()->boolVal != VARIANT_FALSE;
}

void put(IDispatch *object, const wchar_t *name, bool value)
{
    EXPECT_EQ(invoke(object, name, DISPATCH_PROPERTYPUT, Arguments().flag(value), nullptr), S_OK)
        << name;
}

// The application object registered under that display name, as a batch finds its own host.
ComPtr<IDispatch> registeredAs(const std::wstring &displayName)
{
    ComPtr<IRunningObjectTable> table;
    ComPtr<IEnumMoniker> entries;
    ComPtr<IBindCtx> context;
    if (FAILED(GetRunningObjectTable(0, table.GetAddressOf()))
        || FAILED(table->EnumRunning(entries.GetAddressOf()))
        || FAILED(CreateBindCtx(0, context.GetAddressOf())))
        return nullptr;
    ComPtr<IMoniker> moniker;
    while (entries->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        LPOLESTR name = nullptr;
        if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)))
            continue;
        const bool found = displayName == name;
        CoTaskMemFree(name);
        ComPtr<IUnknown> object;
        ComPtr<IDispatch> application;
        if (found && SUCCEEDED(table->GetObject(moniker.Get(), object.GetAddressOf()))
            && SUCCEEDED(object.As(&application)))
            return application;
    }
    return nullptr;
}

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class HostProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temporary[MAX_PATH];
        GetTempPathW(MAX_PATH, temporary);
        folder = fs::path(temporary)
            / (L"quillet-testhost-" + std::to_wstring(GetCurrentProcessId()))
            / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder);
        StrictHost::writeTestDrawing(folder.wstring());
        drawing = (folder / L"PLATE.SLDDRW").wstring();
    }

    void TearDown() override
    {
        application.Reset();
        if (process.hProcess) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
                ADD_FAILURE() << "the host still ran at the end of the case";
                TerminateProcess(process.hProcess, 1);
                WaitForSingleObject(process.hProcess, 5000);
            }
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        EXPECT_EQ(TestProcesses::hosts(), std::vector<DWORD>());
        std::error_code ignored;
        fs::remove_all(folder.parent_path(), ignored);
    }

    // Starts the host as a batch does and waits until it is in the running object table.
    void start(const std::wstring &startupMilliseconds = L"")
    {
        SetEnvironmentVariableW(HostServer::logVariable, folder.c_str());
        SetEnvironmentVariableW(HostServer::nameVariable, L"host");
        SetEnvironmentVariableW(HostServer::startupVariable,
            startupMilliseconds.empty() ? nullptr : startupMilliseconds.c_str());
        std::wstring commandLine = L"\"" + hostProgram().wstring() + L"\" /r";
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        started = Clock::now();
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            nullptr, &startup, &process));
        for (const wchar_t *name :
            { HostServer::logVariable, HostServer::nameVariable, HostServer::startupVariable })
            SetEnvironmentVariableW(name, nullptr);
        const std::wstring displayName = L"SolidWorks_PID_" + std::to_wstring(process.dwProcessId);
        while (!(application = registeredAs(displayName))
            && WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT
            && millisecondsSince(started) < 10000) { }
        ASSERT_TRUE(application) << "no " << std::string(displayName.begin(), displayName.end())
                                 << " in the running object table";
    }

    DWORD exitCode(DWORD timeout = 5000)
    {
        if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    std::vector<std::string> record() const
    {
        std::ifstream in(folder / L"host.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string startLine() const { return "start " + std::to_string(process.dwProcessId); }

    // A copy of the test drawing that suffers the fault when it is opened.
    std::wstring faultyDrawing(const std::string &fault)
    {
        const fs::path copy = folder / L"FAULTY.SLDDRW";
        fs::copy_file(drawing, copy);
        std::ofstream(copy, std::ios::binary | std::ios::app) << "fault=" << fault << "\r\n";
        return copy.wstring();
    }

    HRESULT openDrawing(IDispatch *host, const std::wstring &path, Variant &document)
    {
        long errors = -1;
        long warnings = -1;
        const HRESULT hr = call(host, L"OpenDoc6",
            Arguments().text(path).number(3).number(1).text(L"").out(&errors).out(&warnings),
            document.get());
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(errors, 0);
            EXPECT_EQ(warnings, 0);
        }
        return hr;
    }

    fs::path folder;
    std::wstring drawing;
    PROCESS_INFORMATION process {};
    Clock::time_point started;
    ComPtr<IDispatch> application;
};

} // namespace

TEST(Registration, RegserverWritesTheClassKeysInThe64BitViewAndUnregserverRemovesExactlyThose)
{
    const std::wstring classes = L"SOFTWARE\\Classes\\";
    ASSERT_EQ(runHost(L"/regserver"), 0u);
    EXPECT_EQ(defaultValue(classes + L"SldWorks.Application.33\\CLSID"), clsid);
    EXPECT_EQ(defaultValue(classes + L"SldWorks.Application\\CLSID"), clsid);
    EXPECT_EQ(defaultValue(classes + L"SldWorks.Application\\CurVer"), L"SldWorks.Application.33");
    EXPECT_EQ(defaultValue(classes + L"CLSID\\" + clsid + L"\\LocalServer32"),
        L"\"" + hostProgram().wstring() + L"\"");
    EXPECT_EQ(defaultValue(classes + L"CLSID\\" + clsid + L"\\ProgID"), L"SldWorks.Application.33");

    // What another program keeps beside the host's keys stays.
    const std::wstring other = classes + L"SldWorks.Application\\Other";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, other.c_str(), 0, nullptr, 0,
                  KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(runHost(L"/unregserver"), 0u);
    EXPECT_FALSE(keyExists(classes + L"SldWorks.Application.33"));
    EXPECT_FALSE(keyExists(classes + L"SldWorks.Application\\CLSID"));
    EXPECT_FALSE(keyExists(classes + L"SldWorks.Application\\CurVer"));
    EXPECT_FALSE(keyExists(classes + L"CLSID\\" + clsid));
    EXPECT_TRUE(keyExists(other));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"SldWorks.Application").c_str());
    // Removing what is not there is no failure.
    EXPECT_EQ(runHost(L"/unregserver"), 0u);
}

TEST_F(HostProcess, IsFoundInTheRunningObjectTableByItsProcessIdWhichItAnswers)
{
    start();
    Variant id;
    ASSERT_EQ(call(application.Get(), L"GetProcessID", {}, id.get()), S_OK);
    EXPECT_EQ(id.get()->vt, VT_I4);
    EXPECT_EQ(DWORD(id.get()->lVal), process.dwProcessId);

    // Creating the class reaches the host that runs, not a new one.
    ComPtr<IDispatch> created;
    CLSID classId;
    CLSIDFromString(clsid.c_str(), &classId);
    ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                  reinterpret_cast<void **>(created.GetAddressOf())),
        S_OK);
    Variant createdId;
    ASSERT_EQ(call(created.Get(), L"GetProcessID", {}, createdId.get()), S_OK);
    EXPECT_EQ(DWORD(createdId.get()->lVal), process.dwProcessId);
    created.Reset();
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(HostProcess, StartupIsCompletedOnlyOnceTheTimeTheEnvironmentGivesHasPassed)
{
    start(L"2000");
    ASSERT_LT(millisecondsSince(started), 2000) << "the host took too long to start to tell";
    EXPECT_FALSE(flagOf(application.Get(), L"StartupProcessCompleted"));
    while (
        !flagOf(application.Get(), L"StartupProcessCompleted") && millisecondsSince(started) < 5000)
        Sleep(50);
    const long long completed = millisecondsSince(started);
    EXPECT_GE(completed, 2000);
    EXPECT_LT(completed, 3000);
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(HostProcess, VisibleFalseHidesTheMainWindowAndTrueShowsIt)
{
    start();
    Variant frame;
    ASSERT_EQ(call(application.Get(), L"Frame", {}, frame.get()), S_OK);
    ASSERT_EQ(frame.get()->vt, VT_DISPATCH);
    Variant handle;
    ASSERT_EQ(call(frame.get()->pdispVal, L"GetHWnd", {}, handle.get()), S_OK);
    const HWND window = reinterpret_cast<HWND>(LONG_PTR(handle.get()->lVal));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, process.dwProcessId);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(flagOf(application.Get(), L"Visible"));

    put(application.Get(), L"Visible", false);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(flagOf(application.Get(), L"Visible"));
    put(application.Get(), L"Visible", true);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(HostProcess, TogglesAreKeptInTheUsersRegistryWhereEveryHostFindsThem)
{
    const std::wstring toggles = L"Software\\Quillet Test Host\\Toggles";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, toggles.c_str(), L"334");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, toggles.c_str(), L"353");
    start();
    const auto stored = [&toggles](const wchar_t *name) {
        DWORD value = 7;
        DWORD size = sizeof value;
        return RegGetValueW(HKEY_CURRENT_USER, toggles.c_str(), name, RRF_RT_REG_DWORD, nullptr,
                   &value, &size)
                == ERROR_SUCCESS
            ? long(value)
            : -1L;
    };
    EXPECT_FALSE(flagOf(
        application.Get(), L"GetUserPreferenceToggle", DISPATCH_METHOD, Arguments().number(334)));
    EXPECT_EQ(
        call(application.Get(), L"SetUserPreferenceToggle", Arguments().number(334).flag(true)),
        S_OK);
    EXPECT_EQ(stored(L"334"), 1);
    EXPECT_EQ(stored(L"353"), -1);
    EXPECT_TRUE(flagOf(
        application.Get(), L"GetUserPreferenceToggle", DISPATCH_METHOD, Arguments().number(334)));
    EXPECT_EQ(
        call(application.Get(), L"SetUserPreferenceToggle", Arguments().number(334).flag(false)),
        S_OK);
    EXPECT_EQ(stored(L"334"), 0);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, toggles.c_str(), L"334");
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(HostProcess, OpensADrawingAndEndsWithExitAppRecordingEveryCallAndViolation)
{
    start();
    Variant document;
    ASSERT_EQ(openDrawing(application.Get(), drawing, document), S_OK);
    ASSERT_EQ(document.get()->vt, VT_DISPATCH);
    ASSERT_TRUE(document.get()->pdispVal);
    Variant sheets;
    ASSERT_EQ(call(document.get()->pdispVal, L"GetSheetCount", {}, sheets.get()), S_OK);
    EXPECT_EQ(sheets.get()->lVal, 3);
    long errors = 0;
    EXPECT_EQ(call(application.Get(), L"OpenDoc6",
                  Arguments().text(drawing).number(3).number(1).text(L"").out(&errors)),
        DISP_E_BADPARAMCOUNT);

    // A drawing changed and not saved stays open unless its changes may go.
    EXPECT_EQ(invoke(document.get()->pdispVal, L"CustomInfo2", DISPATCH_PROPERTYPUT,
                  Arguments().text(L"").text(L"Revision").text(L"C"), nullptr),
        S_OK);
    const auto activeDocument = [this] {
        Variant active;
        EXPECT_EQ(
            invoke(application.Get(), L"ActiveDoc", DISPATCH_PROPERTYGET, {}, active.get()), S_OK);
        return active.get()->vt == VT_DISPATCH && active.get()->pdispVal;
    };
    EXPECT_FALSE(
        flagOf(application.Get(), L"CloseAllDocuments", DISPATCH_METHOD, Arguments().flag(false)));
    EXPECT_TRUE(activeDocument());
    EXPECT_TRUE(
        flagOf(application.Get(), L"CloseAllDocuments", DISPATCH_METHOD, Arguments().flag(true)));
    EXPECT_FALSE(activeDocument());
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
    EXPECT_EQ(record(),
        (std::vector<std::string> { startLine(), "call SldWorks.OpenDoc6",
            "call ModelDoc:PLATE.SLDDRW.GetSheetCount",
            "violation OpenDoc6: 5 arguments, expected 6", "call ModelDoc:PLATE.SLDDRW.CustomInfo2",
            "call SldWorks.CloseAllDocuments", "call SldWorks.ActiveDoc",
            "call SldWorks.CloseAllDocuments", "call SldWorks.ActiveDoc", "call SldWorks.ExitApp",
            "exit" }));
}

TEST_F(HostProcess, ACrashOpeningADrawingEndsTheProcessWithStatus3AndFailsTheCall)
{
    const std::wstring faulty = faultyDrawing("crash");
    start();
    Variant document;
    const HRESULT hr = openDrawing(application.Get(), faulty, document);
    EXPECT_TRUE(hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)
        || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED))
        << std::hex << hr;
    std::cout << "crash: OpenDoc6 answered 0x" << std::hex << hr << std::dec << "\n";
    EXPECT_EQ(exitCode(), 3u);
    EXPECT_EQ(record(), (std::vector<std::string> { startLine(), "call SldWorks.OpenDoc6" }));
}

TEST_F(HostProcess, ASlowOpenAnswersOnlyAfterItsTime)
{
    const std::wstring faulty = faultyDrawing("slow=800");
    start();
    Variant document;
    const Clock::time_point called = Clock::now();
    ASSERT_EQ(openDrawing(application.Get(), faulty, document), S_OK);
    EXPECT_GE(millisecondsSince(called), 800);
    EXPECT_EQ(document.get()->vt, VT_DISPATCH);
    EXPECT_EQ(call(application.Get(), L"ExitApp"), S_OK);
    EXPECT_EQ(exitCode(), 0u);
}

// The call waits on a thread of its own, as a batch's host thread does, while a watchdog on
// another kills the host.
TEST_F(HostProcess, AHungOpenReturnsOnlyWhenTheHostIsKilled)
{
    const std::wstring faulty = faultyDrawing("hang");
    start();
    const std::wstring displayName = L"SolidWorks_PID_" + std::to_wstring(process.dwProcessId);
    std::atomic<HRESULT> answered = S_OK;
    std::atomic<bool> returned = false;
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (ComPtr<IDispatch> host = registeredAs(displayName)) {
            Variant document;
            answered = openDrawing(host.Get(), faulty, document);
        } else {
            answered = E_NOINTERFACE;
        }
        returned = true;
        CoUninitialize();
    });
    Sleep(1500);
    EXPECT_FALSE(returned);
    const Clock::time_point killed = Clock::now();
    TerminateProcess(process.hProcess, 1);
    while (!returned && millisecondsSince(killed) < 10000)
        Sleep(10);
    const long long delay = millisecondsSince(killed);
    EXPECT_TRUE(returned);
    EXPECT_LT(delay, 3000);
    std::cout << "hang: OpenDoc6 answered 0x" << std::hex << HRESULT(answered) << std::dec << " "
              << delay << " ms after TerminateProcess\n";
    EXPECT_TRUE(answered == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)
        || answered == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED))
        << std::hex << HRESULT(answered);
    if (returned)
        caller.join();
    else
        caller.detach();
    EXPECT_EQ(record(), (std::vector<std::string> { startLine(), "call SldWorks.OpenDoc6" }));
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The thread of every call, as a batch's host thread is.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
