#include "callbackobject.h"

#include "addin/swaddin.h"
#include "platform/quilleterror.h"

#include <QMetaObject>
#include <QObject>
#include <array>
#include <cwchar>

namespace {

enum : DISPID { ShowFormId = 1, MenuStateId = 2 };

struct Method {
    const wchar_t *name;
    DISPID id;
    VARTYPE result;
};

// In vtable order after IDispatch's seven slots.
constexpr std::array<Method, 2> methods { {
    { L"showForm", ShowFormId, VT_EMPTY },
    { L"1", MenuStateId, VT_I4 },
} };
constexpr UINT firstSlot = 7;

ComPtr<ITypeInfo> makeTypeInfo()
{
    // The descriptions are read while the type information is made, and copied into it.
    std::array<METHODDATA, methods.size()> data {};
    for (size_t index = 0; index < methods.size(); ++index) {
        data[index].szName = const_cast<OLECHAR *>(methods[index].name);
        data[index].dispid = methods[index].id;
        data[index].iMeth = UINT(firstSlot + index);
        data[index].cc = CC_STDCALL;
        data[index].wFlags = DISPATCH_METHOD;
        data[index].vtReturn = methods[index].result;
    }
    INTERFACEDATA description { data.data(), UINT(data.size()) };
    // The system describes a class whose one interface has the methods; a caller of
    // GetTypeInfo expects the interface itself.
    ComPtr<ITypeInfo> classInfo;
    HREFTYPE interfaceRef = 0;
    ComPtr<ITypeInfo> interfaceInfo;
    if (FAILED(CreateDispTypeInfo(&description, LOCALE_SYSTEM_DEFAULT, &classInfo))
        || FAILED(classInfo->GetRefTypeOfImplType(0, &interfaceRef))
        || FAILED(classInfo->GetRefTypeInfo(interfaceRef, &interfaceInfo)))
        return nullptr;
    return interfaceInfo;
}

} // namespace

ComPtr<CallbackObject> CallbackObject::create(QObject *addIn)
{
    return adopt(new CallbackObject(addIn));
}

CallbackObject::CallbackObject(QObject *addIn)
    : addIn(addIn)
    , typeInfo(makeTypeInfo())
{
}

HRESULT CallbackObject::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = typeInfo ? 1 : 0;
    return S_OK;
}

HRESULT CallbackObject::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    if (!typeInfo)
        return E_NOTIMPL;
    return typeInfo.CopyTo(info);
}

HRESULT CallbackObject::GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    if (!names || !ids)
        return E_POINTER;
    HRESULT result = S_OK;
    for (UINT index = 0; index < count; ++index) {
        ids[index] = DISPID_UNKNOWN;
        // Only the first name is a method's; the others would name its parameters, of which
        // there are none.
        if (index == 0) {
            for (const Method &method : methods) {
                // Names are not case-sensitive in automation.
                if (_wcsicmp(names[index], method.name) == 0)
                    ids[index] = method.id;
            }
        }
        if (ids[index] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT CallbackObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *parameters,
    VARIANT *result, EXCEPINFO *exception, UINT *)
{
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (parameters && parameters->cArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    switch (id) {
    case ShowFormId:
        if (result)
            VariantInit(result);
        return runShowForm(exception);
    case MenuStateId:
        if (result) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = menuState();
        }
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CallbackObject::runShowForm(EXCEPINFO *exception)
{
    if (!addIn)
        return E_UNEXPECTED;
    // A failure of the command is shown to the user and goes back to the host as the failure of
    // its call; nothing may unwind into the host.
    QuilletError failure(51, QStringLiteral("Internal error"));
    try {
        QMetaObject::invokeMethod(addIn, "showForm", Qt::DirectConnection);
        return S_OK;
    } catch (const QuilletError &error) {
        failure = error;
    } catch (const std::exception &) {
    }
    swAddIn::showCommandFailure(failure);
    if (exception) {
        *exception = EXCEPINFO {};
        exception->bstrSource = Bstr(QStringLiteral("Quillet")).release();
        exception->bstrDescription = Bstr(failure.description).release();
        exception->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

void CallbackObject::showForm()
{
    runShowForm(nullptr);
}

LONG CallbackObject::menuState()
{
    return 1;
}
