// The module's entry points as an in-process COM server: the host's COM runtime asks for the
// class factory and whether the module may go, regsvr32 registers and unregisters it.

#include "addinobject.h"
#include "comowners.h"
#include "moduleobjects.h"
#include "platform/moduleinfo.h"
#include "qtinhost.h"
#include "registration.h"
#include "serverobject.h"

#include <olectl.h>
#include <string>

namespace {

std::wstring modulePath()
{
    const HMODULE module = reinterpret_cast<HMODULE>(moduleHandle());
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

class ClassFactory final : public ServerObject<ClassFactory, IClassFactory, IID_IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return AddInObject::create(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        ModuleObjects::lock(lock != FALSE);
        return S_OK;
    }
};

CLSID addInClass()
{
    CLSID id {};
    CLSIDFromString(Registration::classId().c_str(), &id);
    return id;
}

} // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (id != addInClass())
        return CLASS_E_CLASSNOTAVAILABLE;
    return adopt(new ClassFactory)->QueryInterface(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    if (!ModuleObjects::none())
        return S_FALSE;
    // The module is about to go: Qt, if the add-in started it, goes first, outside the loader's
    // lock.
    QtInHost::stop();
    return S_OK;
}

HRESULT STDAPICALLTYPE DllRegisterServer()
{
    const std::wstring path = modulePath();
    if (path.empty())
        return SELFREG_E_CLASS;
    return Registration::registerServer(path) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return Registration::unregisterServer() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}
}
