#pragma once

#include <functional>
#include <map>
#include <memory>
#include <oaidl.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

namespace StrictHost {

// The add-in interface the host drives, declared from its published contract alone: the vtable
// is QueryInterface, AddRef, Release, ConnectToSW, DisconnectFromSW.
struct ISwAddin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectToSW(
        IDispatch *thisSW, long cookie, VARIANT_BOOL *isConnected)
        = 0;
    virtual HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL *isDisconnected) = 0;
};

inline constexpr IID IID_ISwAddin
    = { 0xda306a0d, 0xeac5, 0x4406, { 0x86, 0x10, 0xb1, 0xda, 0x80, 0x5d, 0x92, 0x70 } };

// One call that passed the checks. object: the kind ("SldWorks", "Frame", "ModelDoc",
// "ModelDocExtension", "Sheet", "View", "SelectionMgr"), for documents ":" + the file name, e.g.
// "ModelDoc:PLATE.SLDDRW"; args in call order: BSTR as is, I4/I8 decimal, BOOL "true"/"false",
// null or empty object "null", object "object", an array "array", by-reference "&".
struct Call {
    std::wstring object;
    std::wstring member;
    std::vector<std::wstring> args;
};

struct MenuItem {
    long documentType;
    long cookie;
    std::wstring item;
    long position;
    std::wstring callback;
    std::wstring enableMethod;
    std::wstring hint;
};

// A file written by a save: the full path written, the version and options passed, and the
// sheet active then ("" for a part).
struct Save {
    std::wstring path;
    long version;
    long options;
    std::wstring sheet;
};

// OLE compares member names without regard to case; so do paths and property names here.
bool sameText(const std::wstring &a, const std::wstring &b);
struct FoldedLess {
    bool operator()(const std::wstring &a, const std::wstring &b) const;
};

struct Options {
    // false: members with an older twin answer only by the older name, as an older host does.
    bool currentMembers = true;
    // Members this host does not offer at all.
    std::set<std::wstring, FoldedLess> missing;
    // Member name -> the description of the exception it raises.
    std::map<std::wstring, std::wstring, FoldedLess> throwing;
    // For so long after the host is made, StartupProcessCompleted answers false.
    unsigned long startupMilliseconds = 0;
    // Told of each call and each violation as it happens, for a record that must outlive a host
    // that may be killed.
    std::function<void(const Call &)> callObserver = nullptr;
    std::function<void(const std::wstring &)> violationObserver = nullptr;
};

class HostPrivate;

// A CAD host's object model, strict about member names, argument counts, VARIANT types and
// invocation kinds. Documents live on disk as small UTF-8 text files, one "key=value" line each
// ('%', '|', CR and LF in values written as %25, %7C, %0D, %0A):
//   type=drawing | type=part          (first line)
//   configuration=<name>              (parts)
//   property=<configuration>|<name>|<value>   ("" configuration: the file's own properties)
//   sheet=<name>                      (drawings, in order)
//   view=<view name>|<model path>|<configuration>   (of the sheet above)
//   active=<sheet>  activeview=<view name of the active sheet>
//   fault=hang | fault=crash | fault=slow=<ms> | fault=busy=<ms>
// A fault acts when the document is opened by OpenDoc6 or OpenDocSilent: the call never returns
// (it sleeps without pumping messages), the process ends at once with status 3, the call sleeps
// that long first, or the host is busy for that long after the call returns (busyUntil).
// Nothing is ever selected in its documents. System options (GetUserPreferenceToggle) are kept
// per user, as DWORDs named by their number in HKCU\Software\Quillet Test Host\Toggles, so
// that hosts side by side share them.
class Host {
public:
    // The caller has initialised COM (single-threaded apartment) already.
    explicit Host(Options options = {});
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    HWND mainWindow();
    // The application object, as the host hands it to add-ins and to other processes.
    IDispatch *application();

    // Opens (or finds open) and activates; false if the file is not a readable host document.
    bool openDocument(const std::wstring &path);
    // "" when none.
    std::wstring activeDocumentPath() const;

    // Finds add-ins as the host does: the 64-bit view of HKLM\SOFTWARE\SolidWorks\AddIns, each
    // subkey a CLSID in braces whose default DWORD value is 1; creates each in process, queries
    // ISwAddin and connects it with cookies counting up from 100. Returns the CLSIDs ("{...}",
    // upper case) that connected, in key order; failures go to loadErrors with their HRESULT.
    std::vector<std::wstring> loadAddIns();
    // DisconnectFromSW on each connected add-in, then releases them.
    void unloadAddIns();

    // Calls a menu callback as the host's menus do: by name, as a method without arguments.
    // With result, the method is an enable method and must answer VT_I4 0..3.
    HRESULT invokeCallback(const std::wstring &name, long *result = nullptr);
    // Every function name the callback object's type information lists, in order.
    std::vector<std::wstring> callbackTypeInfoNames();
    void releaseCallbackObject();

    // References the add-in holds on host objects; 0 when it holds none.
    long outstandingReferences() const;

    std::vector<Call> calls;
    std::vector<std::wstring> violations;
    std::vector<MenuItem> menuItems;
    std::vector<std::wstring> statusTexts;
    std::vector<Save> saves;
    std::vector<std::wstring> loadErrors;
    std::vector<bool> disconnectResults;
    // What SetAddinCallbackInfo(2) registered; 0 until then.
    long long callbackModuleHandle = 0;
    long callbackCookie = 0;
    // WM_PAINT messages the main window handled.
    int paintCount = 0;
    // Until this GetTickCount64() the host is busy: a host serving other processes asks their
    // calls to be retried later.
    unsigned long long busyUntil = 0;

private:
    std::unique_ptr<HostPrivate> d;
};

// Writes PLATE.SLDPRT, PLATE.SLDDRW (three sheets whose views show PLATE.SLDPRT) and
// BRACKET.SLDPRT into folder.
void writeTestDrawing(const std::wstring &folder);

} // namespace StrictHost

__CRT_UUID_DECL(StrictHost::ISwAddin, 0xda306a0d, 0xeac5, 0x4406, 0x86, 0x10, 0xb1, 0xda, 0x80,
    0x5d, 0x92, 0x70)
