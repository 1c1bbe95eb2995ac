#pragma once

#include "moduleobjects.h"

#include <atomic>
#include <unknwn.h>

// What every COM object of the module shares: it answers IUnknown and its one interface, counts
// its references, is deleted with the last one, and keeps the module loaded while it lives. The
// derived class names this base its friend, so that only its last reference deletes it.
template <typename Derived, typename Interface, const IID &interfaceId>
class ServerObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != interfaceId) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references;
        if (left == 0)
            delete static_cast<Derived *>(this);
        return left;
    }

protected:
    ServerObject() { ModuleObjects::created(); }
    ~ServerObject() { ModuleObjects::destroyed(); }

private:
    // Born with the reference its creator takes over.
    std::atomic<ULONG> references { 1 };
};
