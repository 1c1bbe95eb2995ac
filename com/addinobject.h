#pragma once

#include "serverobject.h"
#include "swaddininterface.h"

#include <memory>

class swAddIn;

// The object of the add-in's COM class: the host creates it, connects it and disconnects it.
// Connect starts Qt when the host has none and makes the add-in object over the host's
// application; disconnect ends the add-in object and with it every reference to the host.
class AddInObject final : public ServerObject<AddInObject, ISwAddin, IID_ISwAddin> {
public:
    static HRESULT create(REFIID iid, void **object);

    HRESULT STDMETHODCALLTYPE ConnectToSW(
        IDispatch *ThisSW, long Cookie, VARIANT_BOOL *IsConnected) override;
    HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL *IsDisconnected) override;

private:
    friend ServerObject;
    AddInObject() = default;
    ~AddInObject();

    std::unique_ptr<swAddIn> addIn;
};
