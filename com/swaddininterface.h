#pragma once

#include <oaidl.h>

// The host's add-in interface, as its published type library declares it: derived from IUnknown,
// not dual, two methods after IUnknown's three.
struct ISwAddin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectToSW(
        IDispatch *ThisSW, long Cookie, VARIANT_BOOL *IsConnected)
        = 0;
    virtual HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL *IsDisconnected) = 0;
};

inline constexpr IID IID_ISwAddin
    = { 0xDA306A0D, 0xEAC5, 0x4406, { 0x86, 0x10, 0xB1, 0xDA, 0x80, 0x5D, 0x92, 0x70 } };
