#pragma once

#include "comowners.h"
#include "serverobject.h"

#include <QPointer>

class QObject;

// The methods the host calls by name. They are slots of the object's own vtable as well, so that
// a host that invokes through the type information reaches the same code.
struct QuilletCallbacks : public IDispatch {
    virtual void STDMETHODCALLTYPE showForm() = 0;
    // The enable method the menu item is registered with, named "1": it answers 1, the state of
    // an item that is enabled and not checked.
    virtual LONG STDMETHODCALLTYPE menuState() = 0;
};

// The object the host is given with its callbacks: it answers showForm by name, with type
// information, and calls the add-in's showForm. It holds the add-in weakly: after disconnect the
// add-in is gone and the host's calls do nothing.
class CallbackObject final : public ServerObject<CallbackObject, QuilletCallbacks, IID_IDispatch> {
public:
    static ComPtr<CallbackObject> create(QObject *addIn);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
        DISPPARAMS *parameters, VARIANT *result, EXCEPINFO *exception,
        UINT *wrongArgument) override;

    void STDMETHODCALLTYPE showForm() override;
    LONG STDMETHODCALLTYPE menuState() override;

private:
    friend ServerObject;
    explicit CallbackObject(QObject *addIn);
    ~CallbackObject() = default;
    HRESULT runShowForm(EXCEPINFO *exception);

    QPointer<QObject> addIn;
    ComPtr<ITypeInfo> typeInfo;
};
