#include "addinobject.h"

#include "addin/swaddin.h"
#include "comhost.h"
#include "platform/quilleterror.h"
#include "qtinhost.h"

namespace {

// Hands the host the failure's text as automation error information, so that the host can say
// why the add-in did not connect.
HRESULT failed(const QString &description)
{
    ComPtr<ICreateErrorInfo> creator;
    if (SUCCEEDED(CreateErrorInfo(&creator))) {
        creator->SetSource(const_cast<LPOLESTR>(L"Quillet"));
        Bstr text(description);
        creator->SetDescription(text.get());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(creator.As(&info)))
            SetErrorInfo(0, info.Get());
    }
    return E_FAIL;
}

} // namespace

HRESULT AddInObject::create(REFIID iid, void **object)
{
    return adopt(new AddInObject)->QueryInterface(iid, object);
}

AddInObject::~AddInObject()
{
    // A host that releases the add-in without disconnecting still gets all its references back.
    addIn.reset();
}

HRESULT AddInObject::ConnectToSW(IDispatch *ThisSW, long Cookie, VARIANT_BOOL *IsConnected)
{
    if (IsConnected)
        *IsConnected = VARIANT_FALSE;
    if (!ThisSW)
        return E_POINTER;
    try {
        QtInHost::start();
        addIn = std::make_unique<swAddIn>();
        addIn->SwAddIn_ConnectToSW(std::make_shared<ComApplication>(ThisSW), int(Cookie));
    } catch (const QuilletError &error) {
        // A connect that failed half way holds nothing of the host either.
        addIn.reset();
        return failed(error.description);
    } catch (const std::exception &error) {
        addIn.reset();
        return failed(QString::fromLocal8Bit(error.what()));
    }
    if (IsConnected)
        *IsConnected = VARIANT_TRUE;
    return S_OK;
}

HRESULT AddInObject::DisconnectFromSW(VARIANT_BOOL *IsDisconnected)
{
    if (IsDisconnected)
        *IsDisconnected = VARIANT_FALSE;
    if (!addIn)
        return E_UNEXPECTED;
    // The add-in object goes in every case: it holds the host's objects, and after disconnect
    // nothing of the host may stay.
    const std::unique_ptr<swAddIn> leaving = std::move(addIn);
    try {
        leaving->SwAddIn_DisconnectFromSW();
    } catch (const QuilletError &error) {
        return failed(error.description);
    } catch (const std::exception &error) {
        return failed(QString::fromLocal8Bit(error.what()));
    }
    if (IsDisconnected)
        *IsDisconnected = VARIANT_TRUE;
    return S_OK;
}
