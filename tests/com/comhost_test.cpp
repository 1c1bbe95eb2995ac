// The add-in as the real host loads it: found in the registry, created through COM, connected,
// its command called by name and its dialog driven with the keyboard, against a host of our own
// that is strict about every call. Plain Win32 and COM, no Qt: the add-in must bring its own.

#include "quilletversion.h"
#include "stricthost.h"
#include "testprocesses.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

const std::wstring classId = L"" QUILLET_CLSID;
const std::wstring mainDialogTitle
    = L"Quillet 1.00 [Select Output Format and Destination Directory]";
const std::wstring errorTitle = L"Quillet 1.00 [Error]";
const std::wstring storedChoicesKey = L"Software\\VB and VBA Program Settings\\Quillet\\Startup";

std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring environment(const wchar_t *name)
{
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, DWORD(std::size(value)));
    return length && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

// A build machine path as Wine names it.
std::wstring winePath(const std::string &path)
{
    std::wstring result = L"Z:" + wide(path);
    std::replace(result.begin(), result.end(), L'/', L'\\');
    return result;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Runs a program of the system and answers its exit code.
DWORD runProgram(std::wstring commandLine)
{
    return TestProcesses::run(std::move(commandLine), 60000);
}

struct RegistryValue {
    DWORD type = REG_NONE;
    std::wstring text;
    DWORD number = 0;
    bool operator==(const RegistryValue &) const = default;
};

// A value of the 64-bit registry; type REG_NONE when it is not there.
RegistryValue registryValue(HKEY root, const std::wstring &key, const wchar_t *name)
{
    RegistryValue value;
    BYTE data[4096] {};
    DWORD size = sizeof data;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY,
            &value.type, data, &size)
        != ERROR_SUCCESS)
        return {};
    if (value.type == REG_DWORD)
        value.number = *reinterpret_cast<DWORD *>(data);
    else
        value.text = reinterpret_cast<const wchar_t *>(data);
    return value;
}

bool keyExists(HKEY root, const std::wstring &key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// The visible top-level windows of this thread with that title.
std::vector<HWND> windowsTitled(const std::wstring &title)
{
    struct Search {
        const std::wstring &title;
        std::vector<HWND> found;
    } search { title, {} };
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) -> BOOL {
            auto &search = *reinterpret_cast<Search *>(parameter);
            wchar_t text[512];
            const int length = GetWindowTextW(window, text, int(std::size(text)));
            if (IsWindowVisible(window) && std::wstring(text, size_t(length)) == search.title)
                search.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A key pressed on a window of the add-in, as the system delivers it: with the modifiers down in
// the thread's keyboard state while the window handles the key.
void pressKey(HWND window, UINT key, bool alt = false, bool control = false)
{
    BYTE saved[256];
    GetKeyboardState(saved);
    BYTE state[256];
    std::copy(std::begin(saved), std::end(saved), state);
    if (alt)
        state[VK_MENU] = state[VK_LMENU] = 0x80;
    if (control)
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    state[key] = 0x80;
    SetKeyboardState(state);
    const LPARAM scan = LPARAM(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM context = alt ? LPARAM(1) << 29 : 0;
    SendMessageW(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | scan | context);
    state[key] = 0;
    SetKeyboardState(state);
    SendMessageW(window, alt ? WM_SYSKEYUP : WM_KEYUP, key,
        1 | scan | context | (LPARAM(1) << 30) | (LPARAM(1) << 31));
    SetKeyboardState(saved);
}

std::wstring clipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto *chars = static_cast<const wchar_t *>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// What a user does in the add-in's windows while its command runs on the host's thread: each step
// waits until a window of its title is shown, then acts on it once. A timer of the thread runs the
// steps, so they run inside the add-in's own modal loops; steps that never find their window end
// the script after a while, closing what is open, so that a test fails instead of hanging.
class WindowScript {
public:
    struct Step {
        std::wstring title;
        std::function<void(HWND)> action;
    };

    explicit WindowScript(std::vector<Step> steps)
        : steps(std::move(steps))
    {
        current = this;
        started = GetTickCount64();
        timer = SetTimer(nullptr, 0, 200, &WindowScript::tick);
    }
    ~WindowScript()
    {
        KillTimer(nullptr, timer);
        current = nullptr;
    }

    bool finished() const { return next == steps.size(); }
    // The title of the window the script waited for in vain, or of one of the add-in's windows
    // still open after the last step; "" when all went as written.
    std::wstring timedOutOn;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
    {
        WindowScript *script = current;
        if (!script || script->running)
            return;
        if (script->finished()) {
            // Past its last step the script waits for nothing: an error box then, or a window
            // that stays, is a failure of its own, closed so that the command returns.
            if (GetTickCount64() - script->started > 30000 || !windowsTitled(errorTitle).empty())
                script->giveUp();
            return;
        }
        const Step &step = script->steps[script->next];
        const std::vector<HWND> found = windowsTitled(step.title);
        if (found.empty()) {
            if (GetTickCount64() - script->started > 30000)
                script->giveUp();
            return;
        }
        // A step may open a modal loop of its own, inside which the timer goes on ticking.
        script->running = true;
        ++script->next;
        step.action(found.front());
        script->running = false;
    }

    void giveUp()
    {
        for (const std::wstring &title : { errorTitle, mainDialogTitle }) {
            const std::vector<HWND> open = windowsTitled(title);
            if (timedOutOn.empty() && (!finished() || !open.empty()))
                timedOutOn = finished() ? title : steps[next].title;
            for (HWND window : open)
                pressKey(window, VK_ESCAPE);
        }
        next = steps.size();
    }

    static inline WindowScript *current = nullptr;
    std::vector<Step> steps;
    size_t next = 0;
    bool running = false;
    ULONGLONG started = 0;
    UINT_PTR timer = 0;
};

// The test program's own folder of temporary files.
fs::path testRoot()
{
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    return fs::path(temporary) / (L"quillet-com-" + std::to_wstring(GetCurrentProcessId()));
}

// The add-in's installed folder, copied from the build's staged installation (its formats file is
// rewritten by the runs), registered with regsvr32 for the whole test program and unregistered
// at its end.
class RegisteredAddIn : public ::testing::Environment {
public:
    void SetUp() override
    {
        fs::remove_all(testRoot());
        fs::create_directories(testRoot() / L"Quillet");
        fs::copy(winePath(QUILLET_STAGE_DIR), testRoot() / L"Quillet", fs::copy_options::recursive);
        dll = (testRoot() / L"Quillet" / L"QuilletAddIn.dll").wstring();
        ASSERT_EQ(runProgram(L"regsvr32.exe /s \"" + dll + L"\""), 0u);
    }
    void TearDown() override
    {
        runProgram(L"regsvr32.exe /u /s \"" + dll + L"\"");
        std::error_code ignored;
        fs::remove_all(testRoot(), ignored);
    }

    static inline std::wstring dll;
};

class ComAddIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The add-in's stored choices go to a hive of the test's own, which it reads through the
        // same per-user key.
        hiveKey = L"Software\\Quillet tests\\" + std::to_wstring(GetCurrentProcessId()) + L" com";
        RegDeleteTreeW(HKEY_CURRENT_USER, hiveKey.c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, hiveKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &hive, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, hive), ERROR_SUCCESS);

        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = testRoot() / wide(test->name());
        fs::remove_all(folder);
        fs::create_directories(folder / L"out");
        StrictHost::writeTestDrawing(folder.wstring());
        drawing = (folder / L"PLATE.SLDDRW").wstring();
        out = (folder / L"out").wstring();
        storeChoice(L"Path", out);
        storeChoice(L"isDisplayDiags", L"0");
        storeChoice(L"isUseDestDirs", L"0");
        storeChoice(L"SaveSheetSelectionType", L"0");
        storeChoice(L"FilenameFormat.DXF", L"DRWNAME|_|SHEETNAME|_|Revision");
        storeChoice(L"FilenameFormat.SLDDRW", L"DRWNAME|_|SHEETNAME|_|Revision");
    }

    void TearDown() override
    {
        host.reset();
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(hive);
        RegDeleteTreeW(HKEY_CURRENT_USER, hiveKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillet tests");
    }

    void storeChoice(const wchar_t *name, const std::wstring &value)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, storedChoicesKey.c_str(), name, REG_SZ, value.c_str(),
            DWORD((value.size() + 1) * sizeof(wchar_t)));
    }

    // Starts the host with a document open, if one is named, and connects the add-in as the
    // host does at its start.
    void startHost(StrictHost::Options options = {}, const std::wstring &document = {})
    {
        host = std::make_unique<StrictHost::Host>(std::move(options));
        EXPECT_TRUE(document.empty() || host->openDocument(document));
        EXPECT_EQ(host->loadAddIns(), std::vector<std::wstring> { classId });
        EXPECT_EQ(host->loadErrors, std::vector<std::wstring> {});
    }

    // Runs the add-in's command while the script works its windows; true when the script found
    // every window it waited for.
    void runCommand(std::vector<WindowScript::Step> steps)
    {
        WindowScript script(std::move(steps));
        EXPECT_EQ(host->invokeCallback(L"showForm"), S_OK);
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(script.timedOutOn, L"");
    }

    // Disconnects and releases the add-in as the host does at its end; the add-in then holds
    // nothing of the host, its module may go, and the host saw no call it would refuse.
    void unloadAndCheckReleased()
    {
        host->unloadAddIns();
        host->releaseCallbackObject();
        EXPECT_EQ(host->outstandingReferences(), 0);
        using CanUnload = HRESULT(STDAPICALLTYPE *)();
        HMODULE module = GetModuleHandleW(L"QuilletAddIn.dll");
        ASSERT_NE(module, nullptr);
        const auto canUnload = reinterpret_cast<CanUnload>(
            reinterpret_cast<void *>(GetProcAddress(module, "DllCanUnloadNow")));
        EXPECT_EQ(canUnload(), S_OK);
    }

    // Copies the text of the add-in's message box as the box copies it (title and text between
    // separator lines), then closes it.
    static std::vector<WindowScript::Step> copyAndClose(std::wstring &message)
    {
        return { { errorTitle, [](HWND box) { pressKey(box, 'C', false, true); } },
            { errorTitle, [&message](HWND box) {
                 message = clipboardText();
                 pressKey(box, VK_RETURN);
             } } };
    }

    std::vector<std::wstring> membersCalled() const
    {
        std::vector<std::wstring> members;
        for (const StrictHost::Call &call : host->calls)
            members.push_back(call.member);
        return members;
    }

    HKEY hive = nullptr;
    std::wstring hiveKey;
    fs::path folder;
    std::wstring drawing;
    std::wstring out;
    std::unique_ptr<StrictHost::Host> host;
};

} // namespace

TEST(Registration, Regsvr32WritesTheClassAndTheHostsKeysAndRemovesExactlyThose)
{
    const std::wstring classKey = L"SOFTWARE\\Classes\\CLSID\\" + classId;
    const std::wstring addInKey = L"SOFTWARE\\SolidWorks\\AddIns\\" + classId;
    const std::wstring startupKey = L"Software\\SolidWorks\\AddInsStartup\\" + classId;
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, classKey, nullptr),
        (RegistryValue { REG_SZ, L"Quillet" }));
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", nullptr),
        (RegistryValue { REG_SZ, RegisteredAddIn::dll }));
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"ThreadingModel"),
        (RegistryValue { REG_SZ, L"Apartment" }));
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, addInKey, nullptr),
        (RegistryValue { REG_DWORD, L"", 1 }));
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, addInKey, L"Title"),
        (RegistryValue { REG_SZ, L"Quillet" }));
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE, addInKey, L"Description"),
        (RegistryValue { REG_SZ, wide(QUILLET_DESCRIPTION) }));
    EXPECT_EQ(registryValue(HKEY_CURRENT_USER, startupKey, nullptr),
        (RegistryValue { REG_DWORD, L"", 1 }));

    // Another add-in's keys under the host's parents stay.
    const std::wstring other = L"{00000000-1111-2222-3333-444444444444}";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\SolidWorks\\AddIns\\" + other).c_str(),
        L"Title", REG_SZ, L"Other", 12);
    ASSERT_EQ(runProgram(L"regsvr32.exe /u /s \"" + RegisteredAddIn::dll + L"\""), 0u);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, classKey));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, addInKey));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, startupKey));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\SolidWorks\\AddIns\\" + other));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\SolidWorks\\AddIns\\" + other).c_str());
    ASSERT_EQ(runProgram(L"regsvr32.exe /s \"" + RegisteredAddIn::dll + L"\""), 0u);
}

TEST_F(ComAddIn, ConnectAddsTheDrawingCommandAndDisconnectRemovesItAndEveryReference)
{
    startHost();
    EXPECT_EQ(host->callbackCookie, 100);
    EXPECT_EQ(uintptr_t(host->callbackModuleHandle),
        reinterpret_cast<uintptr_t>(GetModuleHandleW(L"QuilletAddIn.dll")));
    ASSERT_EQ(host->menuItems.size(), 1u);
    const StrictHost::MenuItem &item = host->menuItems.front();
    EXPECT_EQ(item.documentType, 3);
    EXPECT_EQ(item.cookie, 100);
    EXPECT_EQ(item.item, L"Quillet 1.00@&Tools");
    EXPECT_EQ(item.position, 0);
    EXPECT_EQ(item.callback, L"showForm");
    EXPECT_EQ(item.enableMethod, L"1");
    EXPECT_EQ(item.hint, wide(QUILLET_DESCRIPTION));
    EXPECT_EQ(host->statusTexts, std::vector<std::wstring> { L"Quillet 1.00 " QUILLET_COPYRIGHT });

    // The host may find the callbacks through the type information, and asks the enable method
    // for the item's state: 1, enabled.
    EXPECT_EQ(host->callbackTypeInfoNames(), (std::vector<std::wstring> { L"showForm", L"1" }));
    long state = -1;
    EXPECT_EQ(host->invokeCallback(L"1", &state), S_OK);
    EXPECT_EQ(state, 1);

    unloadAndCheckReleased();
    EXPECT_TRUE(host->menuItems.empty());
    EXPECT_EQ(host->statusTexts.back(), L"Thank you for using Quillet 1.00");
    EXPECT_EQ(host->disconnectResults, std::vector<bool> { true });
}

TEST_F(ComAddIn, TheMainDialogSavesEverySheetAsDxfOwnedByTheHostWindowWhichKeepsPainting)
{
    storeChoice(L"OutputFormatIndex", L"1");
    startHost({}, drawing);
    HWND owner = nullptr;
    bool hostEnabled = true;
    int paintsBefore = 0;
    runCommand({ { mainDialogTitle,
                     [&](HWND dialog) {
                         owner = GetWindow(dialog, GW_OWNER);
                         hostEnabled = IsWindowEnabled(host->mainWindow());
                         paintsBefore = host->paintCount;
                         InvalidateRect(host->mainWindow(), nullptr, TRUE);
                         SetForegroundWindow(dialog);
                     } },
        // All Sheets by its mnemonic, then GO!, the default button.
        { mainDialogTitle, [](HWND dialog) { pressKey(dialog, 'A', true); } },
        { mainDialogTitle, [](HWND dialog) { pressKey(dialog, VK_RETURN); } } });
    EXPECT_EQ(owner, host->mainWindow());
    EXPECT_FALSE(hostEnabled);
    EXPECT_TRUE(IsWindowEnabled(host->mainWindow()));
    EXPECT_GT(host->paintCount, paintsBefore);

    const std::vector<std::wstring> sheets { L"Sheet1", L"Sheet2", L"Detail A" };
    ASSERT_EQ(host->saves.size(), sheets.size());
    for (size_t index = 0; index < sheets.size(); ++index) {
        const StrictHost::Save &save = host->saves[index];
        const std::wstring path = out + L"\\PLATE_" + sheets[index] + L"_B.DXF";
        EXPECT_EQ(save.path, path);
        EXPECT_EQ(save.version, 0);
        EXPECT_EQ(save.options, 3);
        EXPECT_EQ(save.sheet, sheets[index]);
        EXPECT_EQ(readFile(path),
            "document=" + std::string(drawing.begin(), drawing.end())
                + "\r\nsheet=" + std::string(sheets[index].begin(), sheets[index].end()) + "\r\n");
    }
    // One rebuild of everything before the first sheet; the drawing is active again at the end.
    const std::vector<std::wstring> members = membersCalled();
    const auto rebuild = std::find(members.begin(), members.end(), L"Rebuild");
    ASSERT_NE(rebuild, members.end());
    EXPECT_EQ(
        host->calls[size_t(rebuild - members.begin())].args, std::vector<std::wstring> { L"1" });
    EXPECT_LT(rebuild, std::find(members.begin(), members.end(), L"ActivateSheet"));
    EXPECT_EQ(std::count(members.begin(), members.end(), L"Rebuild"), 1);
    EXPECT_EQ(host->activeDocumentPath(), drawing);
    EXPECT_EQ(host->statusTexts.back(), L"Quillet 1.00: Files output to [" + out + L"\\]");

    unloadAndCheckReleased();
}

TEST_F(ComAddIn, WithoutADrawingTheCommandShowsTheErrorAndSavesNothing)
{
    const struct {
        const wchar_t *document;
        const wchar_t *message;
    } cases[] = {
        { nullptr, L"Exit on Error. No active document in SolidWorks. Error #10101.       " },
        { L"BRACKET.SLDPRT",
            L"Exit on Error. Document open in SolidWorks is not a drawing. Error #10201.       " },
    };
    for (const auto &row : cases) {
        startHost({}, row.document ? (folder / row.document).wstring() : std::wstring());
        std::wstring message;
        runCommand(copyAndClose(message));
        EXPECT_NE(message.find(std::wstring(L"\n") + row.message), std::wstring::npos) << message;
        EXPECT_TRUE(host->saves.empty());
        EXPECT_TRUE(windowsTitled(mainDialogTitle).empty());
        unloadAndCheckReleased();
    }
}

TEST_F(ComAddIn, TheNativeFormatReplacesTheOpenDrawingByTheLastCopySaved)
{
    storeChoice(L"OutputFormatIndex", L"0");
    startHost({}, drawing);
    runCommand({ { mainDialogTitle, [&](HWND dialog) { pressKey(dialog, VK_RETURN); } } });

    // The current sheet, named from the model's revision, which the copy carries as its own.
    ASSERT_EQ(host->saves.size(), 1u);
    const std::wstring last = out + L"\\PLATE_Sheet1_C.SLDDRW";
    EXPECT_EQ(host->saves.back().path, last);
    const std::vector<std::wstring> members = membersCalled();
    const auto close = std::find(members.begin(), members.end(), L"CloseDoc");
    ASSERT_NE(close, members.end());
    EXPECT_EQ(
        host->calls[size_t(close - members.begin())].args, std::vector<std::wstring> { drawing });
    const auto open = std::find(close, members.end(), L"OpenDoc6");
    ASSERT_NE(open, members.end());
    EXPECT_EQ(host->calls[size_t(open - members.begin())].args,
        (std::vector<std::wstring> { last, L"3", L"1", L"", L"&", L"&" }));
    const auto activate = std::find(open, members.end(), L"ActivateDoc3");
    ASSERT_NE(activate, members.end());
    EXPECT_EQ(host->calls[size_t(activate - members.begin())].args.front(), last);
    EXPECT_EQ(host->activeDocumentPath(), last);
    EXPECT_NE(readFile(last).find("property=|Revision|C"), std::string::npos);

    unloadAndCheckReleased();
}

TEST_F(ComAddIn, AnOlderHostIsServedThroughItsOlderMembers)
{
    storeChoice(L"OutputFormatIndex", L"0");
    startHost({ false, {}, {} }, drawing);
    runCommand({ { mainDialogTitle, [&](HWND dialog) { pressKey(dialog, VK_RETURN); } } });
    ASSERT_EQ(host->saves.size(), 1u);
    EXPECT_EQ(host->saves.front().path, out + L"\\PLATE_Sheet1_C.SLDDRW");
    const std::vector<std::wstring> members = membersCalled();
    for (const wchar_t *older :
        { L"SetAddinCallbackInfo", L"AddMenuItem2", L"SaveAs", L"OpenDocSilent", L"ActivateDoc2" })
        EXPECT_NE(std::find(members.begin(), members.end(), older), members.end()) << older;
    unloadAndCheckReleased();
}

TEST_F(ComAddIn, AMemberTheHostLacksOrThatFailsIsNamedInTheError)
{
    const struct {
        StrictHost::Options options;
        const wchar_t *message;
    } cases[] = {
        { { true, { L"GetSheetCount" }, {} },
            L"Exit on Error. The host does not offer GetSheetCount. Error #438.       " },
        { { true, {}, { { L"GetSheetNames", L"The drawing is being rebuilt" } } },
            L"Exit on Error. GetSheetNames: The drawing is being rebuilt. Error #-2147467259.  "
            L"     " },
    };
    for (const auto &row : cases) {
        startHost(row.options, drawing);
        std::wstring message;
        runCommand(copyAndClose(message));
        EXPECT_NE(message.find(std::wstring(L"\n") + row.message), std::wstring::npos) << message;
        EXPECT_TRUE(host->saves.empty());
        unloadAndCheckReleased();
    }
}

// The installer's case: the add-in registered by the MSI and loaded from Program Files, whose
// folder the user cannot write, with no Qt on the path. Run by the installer test only.
class InstalledAddIn : public ComAddIn { };

TEST_F(InstalledAddIn, LoadsFromItsFolderAndKeepsTheFormatsFileInTheUsersOwnFolder)
{
    if (environment(L"QUILLET_INSTALLED_TEST").empty())
        GTEST_SKIP() << "runs on an installation from the MSI";
    const fs::path installed = fs::path(environment(L"ProgramFiles")) / L"Quillet";
    EXPECT_EQ(registryValue(HKEY_LOCAL_MACHINE,
                  L"SOFTWARE\\Classes\\CLSID\\" + classId + L"\\InprocServer32", nullptr)
                  .text,
        (installed / L"QuilletAddIn.dll").wstring());
    const std::string installedFormats = readFile(installed / L"Quillet.FMT");
    storeChoice(L"OutputFormatIndex", L"1");
    startHost({}, drawing);
    runCommand({ { mainDialogTitle, [&](HWND dialog) { pressKey(dialog, VK_RETURN); } } });
    EXPECT_EQ(host->saves.size(), 1u);
    EXPECT_TRUE(fs::exists(out + L"\\PLATE_Sheet1_B.DXF"));
    EXPECT_EQ(readFile(installed / L"Quillet.FMT"), installedFormats);
    const std::string perUser
        = readFile(fs::path(environment(L"LOCALAPPDATA")) / L"Quillet" / L"Quillet.FMT");
    EXPECT_EQ(perUser.substr(0, 16), "# Quillet 1.00, ");
    unloadAndCheckReleased();
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    if (environment(L"QUILLET_INSTALLED_TEST").empty())
        ::testing::AddGlobalTestEnvironment(new RegisteredAddIn);
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
