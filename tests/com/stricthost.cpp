#include "stricthost.h"

#include "hostprivate.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>

using Microsoft::WRL::ComPtr;

namespace StrictHost {

namespace {

    std::wstring hex(HRESULT hr)
    {
        wchar_t text[16];
        swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }

    // What a raised exception hands back, freed when its description has been read.
    struct ExceptionInfo : EXCEPINFO {
        ExceptionInfo()
            : EXCEPINFO {}
        {
        }
        ~ExceptionInfo()
        {
            SysFreeString(bstrSource);
            SysFreeString(bstrDescription);
            SysFreeString(bstrHelpFile);
        }
        ExceptionInfo(const ExceptionInfo &) = delete;
        ExceptionInfo &operator=(const ExceptionInfo &) = delete;
    };

    LRESULT CALLBACK frameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            if (auto *count = reinterpret_cast<int *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
                ++*count;
            return 0;
        }
        // The main window lives as long as the host does.
        if (message == WM_CLOSE)
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND createFrameWindow(int *paints)
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = frameProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"StrictHostFrame";
        // A second host in the same process finds the class registered already.
        RegisterClassExW(&windowClass);
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Strict Host",
            WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
            windowClass.hInstance, nullptr);
        if (window) {
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(paints));
            ShowWindow(window, SW_SHOWNORMAL);
            UpdateWindow(window);
        }
        return window;
    }

    const wchar_t *const togglesKey = L"Software\\Quillet Test Host\\Toggles";

    // A toggle never set is off.
    bool toggle(long number)
    {
        DWORD value = 0;
        DWORD size = sizeof value;
        const LSTATUS read = RegGetValueW(HKEY_CURRENT_USER, togglesKey,
            std::to_wstring(number).c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
        if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)
            throw std::runtime_error("cannot read a toggle");
        return read == ERROR_SUCCESS && value != 0;
    }

    void setToggle(long number, bool on)
    {
        const DWORD value = on ? 1 : 0;
        if (RegSetKeyValueW(HKEY_CURRENT_USER, togglesKey, std::to_wstring(number).c_str(),
                REG_DWORD, &value, sizeof value)
            != ERROR_SUCCESS)
            throw std::runtime_error("cannot store a toggle");
    }

    const wchar_t *const menuNames[]
        = { L"&File", L"&Edit", L"&View", L"&Insert", L"&Tools", L"&Window", L"&Help" };

    class ApplicationObject final : public StrictDispatch {
    public:
        explicit ApplicationObject(HostPrivate *host)
            : StrictDispatch(host, L"SldWorks", 1000)
        {
            using enum Param;
            using enum MemberKind;
            // A module handle above 2 GB needs the current member's 64-bit argument.
            addCurrent(Method, L"SetAddinCallbackInfo2", { LongLong, Object, Long },
                [host](Invocation &c) {
                    c.answerFlag(registerCallback(host, c.bigNumber(0), c.object(1), c.number(2)));
                });
            add(Method, L"SetAddinCallbackInfo", { Long, Object, Long }, [host](Invocation &c) {
                c.answerFlag(registerCallback(host, c.number(0), c.object(1), c.number(2)));
            });
            add(Method, L"GetLocalizedMenuName", { Long }, [](Invocation &c) {
                const long id = c.number(0);
                c.answer(std::wstring(id >= 0 && id < 7 ? menuNames[id] : L""));
            });
            addCurrent(Method, L"AddMenuItem5",
                { Long, Long, String, Long, String, String, String, Any },
                [host](Invocation &c) { c.answer(addMenuItem(host, L"AddMenuItem5", c)); });
            add(Method, L"AddMenuItem2", { Long, Long, String, Long, String, String, String },
                [host](Invocation &c) { c.answerFlag(addMenuItem(host, L"AddMenuItem2", c) > 0); });
            add(Method, L"RemoveMenu", { Long, String, String }, [host](Invocation &c) {
                auto &items = host->q.menuItems;
                const auto item = std::find_if(items.begin(), items.end(), [&c](const auto &item) {
                    return item.documentType == c.number(0) && item.item == c.text(1)
                        && item.callback == c.text(2);
                });
                c.answerFlag(item != items.end());
                if (item != items.end())
                    items.erase(item);
            });
            add(Method, L"Frame", {}, [host](Invocation &c) { c.answer(host->frame); });
            add(Get, L"ActiveDoc", {}, [host](Invocation &c) {
                if (host->active)
                    c.answer(host->active->object);
            });
            addCurrent(
                Method, L"ActivateDoc3", { String, Bool, Long, LongOut }, activator(host, 3));
            add(Method, L"ActivateDoc2", { String, Bool, LongOut }, activator(host, 2));
            add(Method, L"CloseDoc", { String }, [host](Invocation &c) {
                // An empty name closes the active document.
                HostDocument *document
                    = c.text(0).empty() ? host->active : host->findOpen(c.text(0));
                if (document)
                    host->close(document);
            });
            addCurrent(Method, L"OpenDoc6", { String, Long, Long, String, LongOut, LongOut },
                opener(host, 4));
            add(Method, L"OpenDocSilent", { String, Long, LongOut }, opener(host, 2));
            addKnown(
                { L"AddMenuItem4", L"AddMenuItem3", L"AddMenuItem", L"AddMenu", L"RemoveUserMenu",
                    L"RemoveFromMenu", L"IActiveDoc2", L"ActivateDoc", L"OpenDoc7", L"OpenDoc" });
            addSession(host);
        }

    private:
        // What a program that drives the host from outside uses: to see that it is ready, to
        // keep it quiet, and to end it.
        void addSession(HostPrivate *host)
        {
            using enum Param;
            using enum MemberKind;
            add(Get, L"Visible", {}, [host](Invocation &c) {
                c.answerFlag(host->window && IsWindowVisible(host->window));
            });
            add(Put, L"Visible", { Bool }, [host](Invocation &c) {
                if (host->window)
                    ShowWindow(host->window, c.flag(0) ? SW_SHOW : SW_HIDE);
            });
            addFlag(L"UserControl", &host->userControl);
            addFlag(L"UserControlBackground", &host->userControlBackground);
            addFlag(L"CommandInProgress", &host->commandInProgress);
            add(Get, L"FrameState", {}, [host](Invocation &c) { c.answer(host->frameState); });
            add(Put, L"FrameState", { Long },
                [host](Invocation &c) { host->frameState = c.number(0); });
            add(Method, L"DocumentVisible", { Bool, Long },
                [host](Invocation &c) { host->documentVisible[c.number(1)] = c.flag(0); });
            add(Method, L"GetDocumentVisible", { Long }, [host](Invocation &c) {
                const auto found = host->documentVisible.find(c.number(0));
                c.answerFlag(found == host->documentVisible.end() || found->second);
            });
            add(Get, L"StartupProcessCompleted", {}, [host](Invocation &c) {
                c.answerFlag(GetTickCount64() - host->created >= host->options.startupMilliseconds);
            });
            add(Method, L"GetProcessID", {},
                [](Invocation &c) { c.answer(long(GetCurrentProcessId())); });
            add(Method, L"RevisionNumber", {},
                [](Invocation &c) { c.answer(std::wstring(L"33.0.0")); });
            add(Method, L"CloseAllDocuments", { Bool },
                [host](Invocation &c) { c.answerFlag(host->closeAll(c.flag(0))); });
            // Closes without saving, as CloseDoc does in this host.
            add(Method, L"QuitDoc", { String }, [host](Invocation &c) {
                HostDocument *document
                    = c.text(0).empty() ? host->active : host->findOpen(c.text(0));
                if (document)
                    host->close(document);
            });
            // The host's message loop ends; the call's answer still reaches the caller.
            add(Method, L"ExitApp", {}, [](Invocation &) { PostQuitMessage(0); });
            add(Method, L"SetUserPreferenceToggle", { Long, Bool },
                [](Invocation &c) { setToggle(c.number(0), c.flag(1)); });
            add(Method, L"GetUserPreferenceToggle", { Long },
                [](Invocation &c) { c.answerFlag(toggle(c.number(0))); });
        }

        void addFlag(const wchar_t *name, bool *value)
        {
            add(MemberKind::Get, name, {}, [value](Invocation &c) { c.answerFlag(*value); });
            add(MemberKind::Put, name, { Param::Bool },
                [value](Invocation &c) { *value = c.flag(0); });
        }

        static bool registerCallback(
            HostPrivate *host, long long moduleHandle, IDispatch *object, long cookie)
        {
            if (!object)
                return false;
            host->callback = object;
            host->q.callbackModuleHandle = moduleHandle;
            host->q.callbackCookie = cookie;
            return true;
        }

        // The menus call back into the object registered under the cookie: an item added
        // under another cookie, or before any registration, could never be called.
        static long addMenuItem(HostPrivate *host, const std::wstring &member, Invocation &c)
        {
            const long cookie = c.number(1);
            if (!host->callback || cookie != host->q.callbackCookie) {
                host->violation(member + L": cookie " + std::to_wstring(cookie)
                    + L" is not the one registered with the callback object");
                return -1;
            }
            host->q.menuItems.push_back(
                { c.number(0), cookie, c.text(2), c.number(3), c.text(4), c.text(5), c.text(6) });
            return host->nextCommandId++;
        }

        // Activates an open document by name, or opens the file of that path.
        static Handler activator(HostPrivate *host, size_t errorsAt)
        {
            return [host, errorsAt](Invocation &c) {
                HostDocument *document = host->findOpen(c.text(0));
                if (document)
                    host->active = document;
                else
                    document = host->open(c.text(0));
                c.answer(document ? document->object : nullptr);
                c.setOut(errorsAt, document ? 0 : 1);
            };
        }

        // The warnings, when the member reports them, follow the errors.
        static Handler opener(HostPrivate *host, size_t errorsAt)
        {
            return [host, errorsAt](Invocation &c) {
                long errors = 0;
                long warnings = 0;
                HostDocument *document = host->open(c.text(0), c.number(1), &errors, &warnings);
                if (document)
                    applyFault(host, document->fault);
                c.answer(document ? document->object : nullptr);
                c.setOut(errorsAt, errors);
                if (errorsAt == 4)
                    c.setOut(5, warnings);
            };
        }

        // A hung or slow host does not pump messages: no other call gets in meanwhile.
        static void applyFault(HostPrivate *host, const HostFault &fault)
        {
            switch (fault.kind) {
            case HostFault::Hang:
                for (;;)
                    Sleep(INFINITE);
            case HostFault::Crash:
                TerminateProcess(GetCurrentProcess(), 3);
                break;
            case HostFault::Slow:
                Sleep(fault.milliseconds);
                break;
            case HostFault::Busy:
                host->q.busyUntil = GetTickCount64() + fault.milliseconds;
                break;
            case HostFault::None:
                break;
            }
        }
    };

    class FrameObject final : public StrictDispatch {
    public:
        explicit FrameObject(HostPrivate *host)
            : StrictDispatch(host, L"Frame", 2000)
        {
            add(MemberKind::Method, L"SetStatusBarText", { Param::String },
                [host](Invocation &c) { host->q.statusTexts.push_back(c.text(0)); });
            add(MemberKind::Method, L"GetHWnd", {}, [host](Invocation &c) {
                c.answer(long(reinterpret_cast<LONG_PTR>(host->window)));
            });
            addKnown({ L"GetHWndx64" });
        }
    };

} // namespace

HostPrivate::HostPrivate(Host &q, Options options)
    : q(q)
    , options(std::move(options))
{
    created = GetTickCount64();
    application = create<ApplicationObject>(this);
    frame = create<FrameObject>(this);
    window = createFrameWindow(&q.paintCount);
}

HostPrivate::~HostPrivate()
{
    if (window)
        DestroyWindow(window);
}

bool HostPrivate::offers(const std::wstring &member, bool current) const
{
    return !options.missing.count(member) && (options.currentMembers || !current);
}

const std::wstring *HostPrivate::failure(const std::wstring &member) const
{
    const auto found = options.throwing.find(member);
    return found != options.throwing.end() ? &found->second : nullptr;
}

std::wstring HostPrivate::connect(const CLSID &clsid, ComPtr<ISwAddin> &addIn)
{
    ComPtr<IUnknown> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
        reinterpret_cast<void **>(object.GetAddressOf()));
    if (FAILED(hr))
        return L"CoCreateInstance " + hex(hr);
    hr = object->QueryInterface(IID_ISwAddin, reinterpret_cast<void **>(addIn.GetAddressOf()));
    if (FAILED(hr))
        return L"QueryInterface(ISwAddin) " + hex(hr);
    VARIANT_BOOL isConnected = VARIANT_FALSE;
    hr = addIn->ConnectToSW(application, nextCookie++, &isConnected);
    if (FAILED(hr))
        return L"ConnectToSW " + hex(hr);
    return isConnected != VARIANT_FALSE ? L"" : L"ConnectToSW answered false";
}

Host::Host(Options options)
    : d(std::make_unique<HostPrivate>(*this, std::move(options)))
{
}

Host::~Host()
{
    // Like the host at exit: add-ins hear of it before anything of theirs is released.
    unloadAddIns();
}

HWND Host::mainWindow()
{
    return d->window;
}

IDispatch *Host::application()
{
    return d->application;
}

bool Host::openDocument(const std::wstring &path)
{
    return d->open(path) != nullptr;
}

std::wstring Host::activeDocumentPath() const
{
    return d->active ? d->active->path : std::wstring();
}

std::vector<std::wstring> Host::loadAddIns()
{
    std::vector<std::wstring> connected;
    HKEY rawKey = nullptr;
    const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\SolidWorks\\AddIns", 0,
        KEY_READ | KEY_WOW64_64KEY, &rawKey);
    if (opened != ERROR_SUCCESS) {
        if (opened != ERROR_FILE_NOT_FOUND)
            loadErrors.push_back(L"AddIns key: RegOpenKeyEx " + hex(HRESULT_FROM_WIN32(opened)));
        return connected;
    }
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> addInsKey(
        rawKey, &RegCloseKey);
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD index = 0;
         RegEnumKeyExW(addInsKey.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr)
         == ERROR_SUCCESS;
         ++index, length = 256) {
        CLSID clsid;
        const bool braced = length > 2 && name[0] == L'{' && name[length - 1] == L'}';
        const HRESULT parsed = braced ? CLSIDFromString(name, &clsid) : CO_E_CLASSSTRING;
        if (FAILED(parsed)) {
            loadErrors.push_back(std::wstring(name) + L": not a CLSID in braces " + hex(parsed));
            continue;
        }
        wchar_t canonical[40];
        StringFromGUID2(clsid, canonical, 40);
        const std::wstring clsidText = canonical;

        DWORD enabled = 0;
        DWORD size = sizeof enabled;
        const LSTATUS read = RegGetValueW(addInsKey.get(), name, nullptr,
            RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &enabled, &size);
        if (read != ERROR_SUCCESS) {
            loadErrors.push_back(
                clsidText + L": default DWORD value " + hex(HRESULT_FROM_WIN32(read)));
            continue;
        }
        // 0 is an add-in the user switched off: it stays unloaded.
        if (enabled != 1
            || std::any_of(d->addIns.begin(), d->addIns.end(),
                [&clsidText](const auto &addIn) { return addIn.first == clsidText; }))
            continue;

        ComPtr<ISwAddin> addIn;
        if (const std::wstring failure = d->connect(clsid, addIn); !failure.empty()) {
            loadErrors.push_back(clsidText + L": " + failure);
            continue;
        }
        d->addIns.emplace_back(clsidText, addIn);
        connected.push_back(clsidText);
    }
    return connected;
}

void Host::unloadAddIns()
{
    for (const auto &[clsid, addIn] : d->addIns) {
        VARIANT_BOOL isDisconnected = VARIANT_FALSE;
        const HRESULT hr = addIn->DisconnectFromSW(&isDisconnected);
        disconnectResults.push_back(isDisconnected != VARIANT_FALSE);
        if (FAILED(hr))
            loadErrors.push_back(clsid + L": DisconnectFromSW " + hex(hr));
    }
    d->addIns.clear();
}

HRESULT Host::invokeCallback(const std::wstring &name, long *result)
{
    if (!d->callback)
        return E_POINTER;
    Bstr methodName(name);
    LPOLESTR names[] = { methodName.get() };
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d->callback->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS params = {};
    Variant answer;
    ExceptionInfo exception;
    UINT argumentError = 0;
    hr = d->callback->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
        answer.get(), &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION)
        violations.push_back(
            L"callback " + name + L" raised: " + textOf(exception.bstrDescription));
    if (FAILED(hr) || !result)
        return hr;
    const VARIANT *value = answer.get();
    if (value->vt != VT_I4 || value->lVal < 0 || value->lVal > 3) {
        violations.push_back(L"enable method " + name + L" answered "
            + (value->vt == VT_I4 ? std::to_wstring(value->lVal) : typeName(value->vt))
            + L", expected VT_I4 0..3");
        return DISP_E_TYPEMISMATCH;
    }
    *result = value->lVal;
    return hr;
}

std::vector<std::wstring> Host::callbackTypeInfoNames()
{
    std::vector<std::wstring> names;
    UINT count = 0;
    ComPtr<ITypeInfo> info;
    TYPEATTR *rawAttributes = nullptr;
    if (!d->callback || FAILED(d->callback->GetTypeInfoCount(&count)) || count == 0
        || FAILED(d->callback->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.GetAddressOf())) || !info
        || FAILED(info->GetTypeAttr(&rawAttributes)))
        return names;
    const auto releaseAttributes = [&info](TYPEATTR *value) { info->ReleaseTypeAttr(value); };
    const std::unique_ptr<TYPEATTR, decltype(releaseAttributes)> attributes(
        rawAttributes, releaseAttributes);
    const auto releaseDescription = [&info](FUNCDESC *value) { info->ReleaseFuncDesc(value); };
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC *rawDescription = nullptr;
        if (FAILED(info->GetFuncDesc(i, &rawDescription)))
            continue;
        const std::unique_ptr<FUNCDESC, decltype(releaseDescription)> description(
            rawDescription, releaseDescription);
        Bstr name;
        UINT found = 0;
        if (SUCCEEDED(info->GetNames(description->memid, name.out(), 1, &found)) && found == 1)
            names.push_back(textOf(name.get()));
    }
    return names;
}

void Host::releaseCallbackObject()
{
    d->callback.Reset();
}

long Host::outstandingReferences() const
{
    long outstanding = 0;
    for (const auto &object : d->objects)
        outstanding += object->references() - 1;
    return outstanding;
}

} // namespace StrictHost
