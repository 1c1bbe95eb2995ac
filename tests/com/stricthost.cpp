#include "stricthost.h"

#include "hostprivate.h"

#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace StrictHost {

namespace {

    std::wstring hex(HRESULT hr)
    {
        wchar_t text[16];
        swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }

    class RegistryKey {
    public:
        RegistryKey() = default;
        ~RegistryKey()
        {
            if (key)
                RegCloseKey(key);
        }
        RegistryKey(const RegistryKey &) = delete;
        RegistryKey &operator=(const RegistryKey &) = delete;
        HKEY get() const { return key; }
        HKEY *out() { return &key; }

    private:
        HKEY key = nullptr;
    };

    class ExceptionInfo {
    public:
        ExceptionInfo() = default;
        ~ExceptionInfo()
        {
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        ExceptionInfo(const ExceptionInfo &) = delete;
        ExceptionInfo &operator=(const ExceptionInfo &) = delete;
        EXCEPINFO *get() { return &info; }
        std::wstring description() const
        {
            return info.bstrDescription ? info.bstrDescription : L"";
        }

    private:
        EXCEPINFO info = {};
    };

    class TypeAttributes {
    public:
        TypeAttributes(ITypeInfo *info, TYPEATTR *attributes)
            : info(info)
            , attributes(attributes)
        {
        }
        ~TypeAttributes() { info->ReleaseTypeAttr(attributes); }
        TypeAttributes(const TypeAttributes &) = delete;
        TypeAttributes &operator=(const TypeAttributes &) = delete;
        const TYPEATTR *operator->() const { return attributes; }

    private:
        ITypeInfo *info;
        TYPEATTR *attributes;
    };

    class FunctionDescription {
    public:
        FunctionDescription(ITypeInfo *info, FUNCDESC *description)
            : info(info)
            , description(description)
        {
        }
        ~FunctionDescription() { info->ReleaseFuncDesc(description); }
        FunctionDescription(const FunctionDescription &) = delete;
        FunctionDescription &operator=(const FunctionDescription &) = delete;
        const FUNCDESC *operator->() const { return description; }

    private:
        ITypeInfo *info;
        FUNCDESC *description;
    };

    const wchar_t frameClass[] = L"StrictHostFrame";

    LRESULT CALLBACK frameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_NCCREATE: {
            const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
            SetWindowLongPtrW(
                window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (HDC dc = BeginPaint(window, &paint)) {
                FillRect(dc, &paint.rcPaint, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
                EndPaint(window, &paint);
            }
            if (auto *count = reinterpret_cast<int *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
                ++*count;
            return 0;
        }
        case WM_CLOSE:
            // The main window lives as long as the host does.
            return 0;
        default:
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND createFrameWindow(int *paints)
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = frameProcedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = frameClass;
        // A second host in the same process finds the class registered already.
        RegisterClassExW(&windowClass);
        HWND window = CreateWindowExW(0, frameClass, L"Strict Host", WS_OVERLAPPEDWINDOW,
            CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, paints);
        if (window) {
            ShowWindow(window, SW_SHOWNORMAL);
            UpdateWindow(window);
        }
        return window;
    }

    const wchar_t *const menuNames[]
        = { L"&File", L"&Edit", L"&View", L"&Insert", L"&Tools", L"&Window", L"&Help" };

    class ApplicationObject final : public StrictDispatch {
    public:
        explicit ApplicationObject(HostPrivate *host)
            : StrictDispatch(host, L"SldWorks", 1000)
        {
            using enum Param;
            const auto method = MemberKind::Method;
            add(
                L"SetAddinCallbackInfo2", method, { LongLong, Object, Long },
                [host](const Arguments &a, Result &r) {
                    r.setFlag(registerCallback(host, a.bigNumber(0), a.object(1), a.number(2)));
                },
                true);
            add(L"SetAddinCallbackInfo", method, { Long, Object, Long },
                [host](const Arguments &a, Result &r) {
                    r.setFlag(registerCallback(host, a.number(0), a.object(1), a.number(2)));
                });
            add(L"GetLocalizedMenuName", method, { Long }, [](const Arguments &a, Result &r) {
                const long id = a.number(0);
                r.setText(id >= 0 && id < 7 ? menuNames[id] : L"");
            });
            add(
                L"AddMenuItem5", method, { Long, Long, String, Long, String, String, String, Any },
                [this, host](const Arguments &a, Result &r) {
                    r.setNumber(addMenuItem(host, L"AddMenuItem5", a));
                },
                true);
            add(L"AddMenuItem2", method, { Long, Long, String, Long, String, String, String },
                [this, host](const Arguments &a, Result &r) {
                    r.setFlag(addMenuItem(host, L"AddMenuItem2", a) > 0);
                });
            add(L"RemoveMenu", method, { Long, String, String },
                [host](const Arguments &a, Result &r) {
                    auto &items = host->q.menuItems;
                    for (auto item = items.begin(); item != items.end(); ++item) {
                        if (item->documentType == a.number(0) && item->item == a.text(1)
                            && item->callback == a.text(2)) {
                            items.erase(item);
                            r.setFlag(true);
                            return;
                        }
                    }
                    r.setFlag(false);
                });
            add(L"Frame", method, {},
                [host](const Arguments &, Result &r) { r.setObject(host->frame); });
            add(L"ActiveDoc", MemberKind::Get, {}, [host](const Arguments &, Result &r) {
                if (host->active)
                    r.setObject(host->active->object);
            });
            add(
                L"ActivateDoc3", method, { String, Bool, Long, LongOut },
                [host](const Arguments &a, Result &r) {
                    long errors = 0;
                    r.setObject(activateDocument(host, a.text(0), &errors));
                    a.setNumber(3, errors);
                },
                true);
            add(L"ActivateDoc2", method, { String, Bool, LongOut },
                [host](const Arguments &a, Result &r) {
                    long errors = 0;
                    r.setObject(activateDocument(host, a.text(0), &errors));
                    a.setNumber(2, errors);
                });
            add(L"CloseDoc", method, { String }, [host](const Arguments &a, Result &) {
                const std::wstring name = a.text(0);
                // An empty name closes the active document.
                HostDocument *document = name.empty() ? host->active : host->findOpen(name);
                if (document)
                    host->close(document);
            });
            add(
                L"OpenDoc6", method, { String, Long, Long, String, LongOut, LongOut },
                [host](const Arguments &a, Result &r) {
                    long errors = 0;
                    long warnings = 0;
                    r.setObject(openDocument(host, a.text(0), a.number(1), &errors, &warnings));
                    a.setNumber(4, errors);
                    a.setNumber(5, warnings);
                },
                true);
            add(L"OpenDocSilent", method, { String, Long, LongOut },
                [host](const Arguments &a, Result &r) {
                    long errors = 0;
                    long warnings = 0;
                    r.setObject(openDocument(host, a.text(0), a.number(1), &errors, &warnings));
                    a.setNumber(2, errors);
                });
            add(L"RevisionNumber", method, {}, [host](const Arguments &, Result &r) {
                r.setText(host->options.currentMembers ? L"31.2.0" : L"22.5.0");
            });
            addKnown({ L"AddMenuItem4", L"AddMenuItem3", L"AddMenuItem", L"AddMenu",
                L"RemoveUserMenu", L"RemoveFromMenu", L"IActiveDoc2", L"ActivateDoc", L"QuitDoc",
                L"OpenDoc7", L"OpenDoc", L"ExitApp" });
        }

    private:
        static bool registerCallback(
            HostPrivate *host, long long moduleHandle, IDispatch *object, long cookie)
        {
            if (!object)
                return false;
            host->callback = object;
            host->callbackHandle = moduleHandle;
            host->callbackCookie = cookie;
            return true;
        }

        // The menus call back into the object registered under the cookie: an item added
        // under another cookie, or before any registration, could never be called.
        long addMenuItem(HostPrivate *host, const std::wstring &member, const Arguments &a)
        {
            const long cookie = a.number(1);
            if (!host->callback || cookie != host->callbackCookie) {
                host->violation(member + L": cookie " + std::to_wstring(cookie)
                    + L" is not the one registered with the callback object");
                return -1;
            }
            host->q.menuItems.push_back(
                { a.number(0), cookie, a.text(2), a.number(3), a.text(4), a.text(5), a.text(6) });
            return host->nextCommandId++;
        }

        static IDispatch *activateDocument(
            HostPrivate *host, const std::wstring &name, long *errors)
        {
            HostDocument *document = host->findOpen(name);
            if (!document && GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
                long openErrors = 0;
                long warnings = 0;
                document = host->open(fullPath(name), 0, &openErrors, &warnings);
            }
            if (!document) {
                *errors = 1;
                return nullptr;
            }
            host->activate(document);
            *errors = 0;
            return document->object;
        }

        static IDispatch *openDocument(
            HostPrivate *host, const std::wstring &name, long type, long *errors, long *warnings)
        {
            HostDocument *document = host->open(fullPath(name), type, errors, warnings);
            if (!document)
                return nullptr;
            host->activate(document);
            return document->object;
        }
    };

    class FrameObject final : public StrictDispatch {
    public:
        explicit FrameObject(HostPrivate *host)
            : StrictDispatch(host, L"Frame", 2000)
        {
            add(L"SetStatusBarText", MemberKind::Method, { Param::String },
                [host](const Arguments &a, Result &) { host->q.statusTexts.push_back(a.text(0)); });
            add(L"GetHWnd", MemberKind::Method, {}, [host](const Arguments &, Result &r) {
                r.setNumber(static_cast<long>(reinterpret_cast<LONG_PTR>(host->window)));
            });
            addKnown({ L"GetHWndx64" });
        }
    };

} // namespace

HostPrivate::HostPrivate(Host &q, Options options)
    : q(q)
    , options(std::move(options))
{
    application = create<ApplicationObject>(this);
    frame = create<FrameObject>(this);
    window = createFrameWindow(&paints);
}

HostPrivate::~HostPrivate()
{
    callback.Reset();
    // Objects the add-in still holds outlive the host; they answer nothing from now on.
    for (const auto &object : objects)
        object->detach();
    objects.clear();
    if (window)
        DestroyWindow(window);
}

void HostPrivate::violation(const std::wstring &text)
{
    q.violations.push_back(text);
}

void HostPrivate::logCall(
    const std::wstring &object, const std::wstring &member, std::vector<std::wstring> args)
{
    q.calls.push_back({ object, member, std::move(args) });
}

bool HostPrivate::offers(const std::wstring &member, bool hasOlderName) const
{
    for (const std::wstring &missing : options.missing) {
        if (sameText(missing, member))
            return false;
    }
    return options.currentMembers || !hasOlderName;
}

const std::wstring *HostPrivate::failure(const std::wstring &member) const
{
    for (const auto &[name, description] : options.throwing) {
        if (sameText(name, member))
            return &description;
    }
    return nullptr;
}

Host::Host(Options options)
    : d(std::make_unique<HostPrivate>(*this, std::move(options)))
{
}

Host::~Host()
{
    // Like the host at exit: add-ins hear of it before anything of theirs is released.
    if (!d->addIns.empty())
        unloadAddIns();
}

IDispatch *Host::application()
{
    return d->application;
}

HWND Host::mainWindow()
{
    return d->window;
}

int Host::paintCount() const
{
    return d->paints;
}

bool Host::openDocument(const std::wstring &path)
{
    long errors = 0;
    long warnings = 0;
    HostDocument *document = d->open(fullPath(path), 0, &errors, &warnings);
    if (document)
        d->activate(document);
    return document != nullptr;
}

void Host::closeAllDocuments()
{
    for (const auto &document : d->documents) {
        if (document->state != DocumentState::Closed)
            d->close(document.get());
    }
}

std::wstring Host::activeDocumentPath() const
{
    return d->active ? d->active->path : std::wstring();
}

std::vector<std::wstring> Host::openDocumentPaths() const
{
    std::vector<std::wstring> paths;
    for (const auto &document : d->documents) {
        if (document->state == DocumentState::Open)
            paths.push_back(document->path);
    }
    return paths;
}

std::vector<std::wstring> Host::loadAddIns()
{
    std::vector<std::wstring> connected;
    RegistryKey addInsKey;
    const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\SolidWorks\\AddIns", 0,
        KEY_READ | KEY_WOW64_64KEY, addInsKey.out());
    if (opened == ERROR_FILE_NOT_FOUND)
        return connected;
    if (opened != ERROR_SUCCESS) {
        loadErrors.push_back(L"AddIns key: RegOpenKeyEx " + hex(HRESULT_FROM_WIN32(opened)));
        return connected;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        const LSTATUS enumerated = RegEnumKeyExW(
            addInsKey.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (enumerated == ERROR_NO_MORE_ITEMS)
            break;
        if (enumerated != ERROR_SUCCESS) {
            loadErrors.push_back(
                L"AddIns key: RegEnumKeyEx " + hex(HRESULT_FROM_WIN32(enumerated)));
            break;
        }
        const std::wstring keyName(name, length);
        CLSID clsid;
        const bool braced = length > 2 && name[0] == L'{' && name[length - 1] == L'}';
        const HRESULT parsed = braced ? CLSIDFromString(name, &clsid) : CO_E_CLASSSTRING;
        if (FAILED(parsed)) {
            loadErrors.push_back(keyName + L": not a CLSID in braces " + hex(parsed));
            continue;
        }
        wchar_t canonical[40];
        StringFromGUID2(clsid, canonical, 40);
        const std::wstring clsidText = canonical;

        RegistryKey addInKey;
        DWORD enabled = 0;
        DWORD type = 0;
        DWORD size = sizeof enabled;
        LSTATUS read = RegOpenKeyExW(
            addInsKey.get(), name, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, addInKey.out());
        if (read == ERROR_SUCCESS)
            read = RegQueryValueExW(
                addInKey.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE *>(&enabled), &size);
        if (read == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof enabled))
            read = ERROR_INVALID_DATA;
        if (read != ERROR_SUCCESS) {
            loadErrors.push_back(
                clsidText + L": default DWORD value " + hex(HRESULT_FROM_WIN32(read)));
            continue;
        }
        // 0 is an add-in the user switched off: it stays unloaded.
        if (enabled != 1)
            continue;
        bool loaded = false;
        for (const auto &addIn : d->addIns)
            loaded = loaded || addIn.clsid == clsidText;
        if (loaded)
            continue;

        ComPtr<IUnknown> object;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
            reinterpret_cast<void **>(object.GetAddressOf()));
        if (FAILED(hr)) {
            loadErrors.push_back(clsidText + L": CoCreateInstance " + hex(hr));
            continue;
        }
        ComPtr<ISwAddin> addIn;
        hr = object->QueryInterface(IID_ISwAddin, reinterpret_cast<void **>(addIn.GetAddressOf()));
        if (FAILED(hr)) {
            loadErrors.push_back(clsidText + L": QueryInterface(ISwAddin) " + hex(hr));
            continue;
        }
        VARIANT_BOOL isConnected = VARIANT_FALSE;
        hr = addIn->ConnectToSW(d->application, d->nextCookie++, &isConnected);
        connectResults.push_back(isConnected != VARIANT_FALSE);
        if (FAILED(hr)) {
            loadErrors.push_back(clsidText + L": ConnectToSW " + hex(hr));
            continue;
        }
        if (isConnected == VARIANT_FALSE) {
            loadErrors.push_back(clsidText + L": ConnectToSW answered false");
            continue;
        }
        d->addIns.push_back({ clsidText, addIn });
        connected.push_back(clsidText);
    }
    return connected;
}

void Host::unloadAddIns()
{
    for (const auto &addIn : d->addIns) {
        VARIANT_BOOL isDisconnected = VARIANT_FALSE;
        const HRESULT hr = addIn.addIn->DisconnectFromSW(&isDisconnected);
        disconnectResults.push_back(isDisconnected != VARIANT_FALSE);
        if (FAILED(hr))
            loadErrors.push_back(addIn.clsid + L": DisconnectFromSW " + hex(hr));
    }
    d->addIns.clear();
}

IDispatch *Host::callbackObject() const
{
    return d->callback.Get();
}

long long Host::callbackModuleHandle() const
{
    return d->callbackHandle;
}

long Host::callbackCookie() const
{
    return d->callbackCookie;
}

HRESULT Host::invokeCallback(const std::wstring &name, long *result)
{
    if (!d->callback)
        return E_POINTER;
    std::wstring method = name;
    Variant argument;
    DISPPARAMS params = {};
    // "Func(text)" registers a callback that receives text as its one string argument.
    const size_t open = name.find(L'(');
    if (open != std::wstring::npos && name.back() == L')') {
        method = name.substr(0, open);
        argument.get()->vt = VT_BSTR;
        argument.get()->bstrVal = Bstr(name.substr(open + 1, name.size() - open - 2)).detach();
        params.rgvarg = argument.get();
        params.cArgs = 1;
    }
    Bstr methodName(method);
    LPOLESTR names[] = { methodName.get() };
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d->callback->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    Variant answer;
    ExceptionInfo exception;
    UINT argumentError = 0;
    hr = d->callback->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
        answer.get(), exception.get(), &argumentError);
    if (hr == DISP_E_EXCEPTION)
        violations.push_back(L"callback " + method + L" raised: " + exception.description());
    if (FAILED(hr) || !result)
        return hr;
    const VARIANT *value = answer.get();
    if (value->vt != VT_I4 || value->lVal < 0 || value->lVal > 3) {
        violations.push_back(L"enable method " + method + L" answered "
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
    if (!d->callback || FAILED(d->callback->GetTypeInfoCount(&count)) || count == 0)
        return names;
    ComPtr<ITypeInfo> info;
    TYPEATTR *rawAttributes = nullptr;
    if (FAILED(d->callback->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.GetAddressOf())) || !info
        || FAILED(info->GetTypeAttr(&rawAttributes)))
        return names;
    const TypeAttributes attributes(info.Get(), rawAttributes);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC *rawDescription = nullptr;
        if (FAILED(info->GetFuncDesc(i, &rawDescription)))
            continue;
        const FunctionDescription description(info.Get(), rawDescription);
        Bstr name;
        UINT found = 0;
        if (SUCCEEDED(info->GetNames(description->memid, name.out(), 1, &found)) && found == 1)
            names.push_back(name.text());
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
