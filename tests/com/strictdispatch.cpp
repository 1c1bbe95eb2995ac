#include "strictdispatch.h"

#include <wrl/client.h>

namespace StrictHost {

Bstr::Bstr(const std::wstring &text)
    : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{
}

Bstr::~Bstr()
{
    SysFreeString(value);
}

BSTR *Bstr::out()
{
    SysFreeString(value);
    value = nullptr;
    return &value;
}

BSTR Bstr::detach()
{
    BSTR detached = value;
    value = nullptr;
    return detached;
}

std::wstring Bstr::text() const
{
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

Variant::Variant()
{
    VariantInit(&value);
}

Variant::~Variant()
{
    VariantClear(&value);
}

VARIANT *Variant::out()
{
    VariantClear(&value);
    return &value;
}

SafeArray::~SafeArray()
{
    if (value)
        SafeArrayDestroy(value);
}

SAFEARRAY *SafeArray::detach()
{
    SAFEARRAY *detached = value;
    value = nullptr;
    return detached;
}

std::wstring folded(const std::wstring &text)
{
    std::wstring result = text;
    if (!result.empty())
        CharUpperBuffW(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

bool sameText(const std::wstring &a, const std::wstring &b)
{
    return folded(a) == folded(b);
}

bool FoldedLess::operator()(const std::wstring &a, const std::wstring &b) const
{
    return folded(a) < folded(b);
}

std::wstring typeName(VARTYPE type)
{
    std::wstring prefix;
    if (type & VT_BYREF)
        prefix += L"VT_BYREF|";
    if (type & VT_ARRAY)
        prefix += L"VT_ARRAY|";
    static const std::map<VARTYPE, std::wstring> base = {
        { VT_EMPTY, L"VT_EMPTY" },
        { VT_NULL, L"VT_NULL" },
        { VT_I2, L"VT_I2" },
        { VT_I4, L"VT_I4" },
        { VT_R4, L"VT_R4" },
        { VT_R8, L"VT_R8" },
        { VT_CY, L"VT_CY" },
        { VT_DATE, L"VT_DATE" },
        { VT_BSTR, L"VT_BSTR" },
        { VT_DISPATCH, L"VT_DISPATCH" },
        { VT_ERROR, L"VT_ERROR" },
        { VT_BOOL, L"VT_BOOL" },
        { VT_VARIANT, L"VT_VARIANT" },
        { VT_UNKNOWN, L"VT_UNKNOWN" },
        { VT_I1, L"VT_I1" },
        { VT_UI1, L"VT_UI1" },
        { VT_UI2, L"VT_UI2" },
        { VT_UI4, L"VT_UI4" },
        { VT_I8, L"VT_I8" },
        { VT_UI8, L"VT_UI8" },
        { VT_INT, L"VT_INT" },
        { VT_UINT, L"VT_UINT" },
    };
    const VARTYPE plain = type & VT_TYPEMASK;
    const auto found = base.find(plain);
    return prefix + (found != base.end() ? found->second : L"VT_" + std::to_wstring(plain));
}

namespace {

    std::wstring expectedName(Param param)
    {
        switch (param) {
        case Param::Long:
            return L"VT_I4";
        case Param::LongLong:
            return L"VT_I8";
        case Param::String:
            return L"VT_BSTR";
        case Param::Bool:
            return L"VT_BOOL";
        case Param::Object:
            return L"VT_DISPATCH";
        case Param::Any:
            return L"VT_EMPTY, VT_NULL or an array";
        case Param::LongOut:
            return L"VT_BYREF|VT_I4";
        case Param::StringOut:
            return L"VT_BYREF|VT_BSTR";
        case Param::BoolOut:
            return L"VT_BYREF|VT_BOOL";
        }
        return {};
    }

    bool typeMatches(Param param, VARTYPE type)
    {
        switch (param) {
        case Param::Long:
            return type == VT_I4;
        case Param::LongLong:
            return type == VT_I8;
        case Param::String:
            return type == VT_BSTR;
        case Param::Bool:
            return type == VT_BOOL;
        case Param::Object:
            return type == VT_DISPATCH;
        case Param::Any:
            return type == VT_EMPTY || type == VT_NULL || (type & ~VT_TYPEMASK) == VT_ARRAY;
        case Param::LongOut:
            return type == (VT_BYREF | VT_I4);
        case Param::StringOut:
            return type == (VT_BYREF | VT_BSTR);
        case Param::BoolOut:
            return type == (VT_BYREF | VT_BOOL);
        }
        return false;
    }

    bool isReference(Param param)
    {
        return param == Param::LongOut || param == Param::StringOut || param == Param::BoolOut;
    }

    // A by-reference argument or an array must point somewhere before the host writes or reads.
    bool pointerMissing(const VARIANT &value)
    {
        if (value.vt & VT_BYREF)
            return value.byref == nullptr;
        if (value.vt & VT_ARRAY)
            return value.parray == nullptr;
        return false;
    }

    std::wstring kindName(MemberKind kind)
    {
        switch (kind) {
        case MemberKind::Method:
            return L"a method";
        case MemberKind::Get:
            return L"a property get";
        case MemberKind::Put:
            return L"a property put";
        }
        return {};
    }

    std::wstring flagsName(WORD flags)
    {
        switch (flags) {
        case DISPATCH_METHOD:
            return L"a method";
        case DISPATCH_PROPERTYGET:
            return L"a property get";
        case DISPATCH_METHOD | DISPATCH_PROPERTYGET:
            return L"a method or property get";
        case DISPATCH_PROPERTYPUT:
            return L"a property put";
        case DISPATCH_PROPERTYPUTREF:
            return L"a property putref";
        default:
            return L"flags " + std::to_wstring(flags);
        }
    }

} // namespace

std::wstring Arguments::text(size_t index) const
{
    const BSTR value = at(index).bstrVal;
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

void Result::setNumber(long value)
{
    target->vt = VT_I4;
    target->lVal = value;
}

void Result::setFlag(bool value, VARIANT_BOOL trueValue)
{
    target->vt = VT_BOOL;
    target->boolVal = value ? trueValue : VARIANT_FALSE;
}

void Result::setText(const std::wstring &value)
{
    Bstr text(value);
    target->vt = VT_BSTR;
    target->bstrVal = text.detach();
}

void Result::setObject(IDispatch *object)
{
    Microsoft::WRL::ComPtr<IDispatch> reference(object);
    target->vt = VT_DISPATCH;
    target->pdispVal = reference.Detach();
}

void Result::setTexts(const std::vector<std::wstring> &values, VARTYPE elementType)
{
    SafeArray array(SafeArrayCreateVector(elementType, 0, static_cast<ULONG>(values.size())));
    if (!array.get())
        throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        Bstr text(values[i]);
        HRESULT hr;
        if (elementType == VT_VARIANT) {
            VARIANT element;
            element.vt = VT_BSTR;
            element.bstrVal = text.get();
            hr = SafeArrayPutElement(array.get(), &i, &element);
        } else {
            hr = SafeArrayPutElement(array.get(), &i, text.get());
        }
        if (FAILED(hr))
            throw std::bad_alloc();
    }
    target->vt = VT_ARRAY | elementType;
    target->parray = array.detach();
}

StrictDispatch::StrictDispatch(StrictContext *context, std::wstring kind, DISPID firstId)
    : context(context)
    , kind(std::move(kind))
    , firstId(firstId)
{
}

HRESULT STDMETHODCALLTYPE StrictDispatch::QueryInterface(REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE StrictDispatch::AddRef()
{
    return ++refs;
}

ULONG STDMETHODCALLTYPE StrictDispatch::Release()
{
    const ULONG left = --refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::GetTypeInfo(UINT, LCID, ITypeInfo **info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

void StrictDispatch::add(const std::wstring &name, MemberKind memberKind, std::vector<Param> params,
    Handler handler, bool hasOlderName)
{
    if (!ids.count(name)) {
        ids.emplace(name, firstId + static_cast<DISPID>(names.size()));
        names.push_back(name);
    }
    members.push_back({ name, memberKind, std::move(params), std::move(handler), hasOlderName });
}

void StrictDispatch::addKnown(std::initializer_list<const wchar_t *> knownNames)
{
    for (const wchar_t *name : knownNames)
        known.insert(name);
}

void StrictDispatch::addMisplaced(const std::wstring &name, const std::wstring &text)
{
    misplaced.emplace(name, text);
}

const StrictDispatch::Member *StrictDispatch::findMember(DISPID id, MemberKind memberKind) const
{
    for (const Member &member : members) {
        if (member.kind == memberKind && ids.at(member.name) == id)
            return &member;
    }
    return nullptr;
}

bool StrictDispatch::offered(DISPID id) const
{
    for (const Member &member : members) {
        if (ids.at(member.name) == id && context->offers(member.name, member.hasOlderName))
            return true;
    }
    return false;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::GetIDsOfNames(
    REFIID iid, LPOLESTR *requested, UINT count, LCID, DISPID *result)
{
    if (!context)
        return CO_E_OBJNOTCONNECTED;
    if (!requested || !result)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        result[i] = DISPID_UNKNOWN;
    const std::wstring first = count > 0 && requested[0] ? requested[0] : L"";
    if (iid != IID_NULL) {
        context->violation(L"GetIDsOfNames of " + first + L" on " + displayName()
            + L" with an interface id other than IID_NULL");
        return DISP_E_UNKNOWNINTERFACE;
    }
    // Parameter names are never asked for by an automation client of this host.
    if (count != 1) {
        context->violation(L"GetIDsOfNames asked for " + std::to_wstring(count)
            + L" names at once (" + first + L") on " + displayName());
        return E_INVALIDARG;
    }
    if (!requested[0])
        return E_POINTER;
    const auto found = ids.find(first);
    if (found != ids.end() && offered(found->second)) {
        result[0] = found->second;
        return S_OK;
    }
    const auto wrongPlace = misplaced.find(first);
    if (wrongPlace != misplaced.end())
        context->violation(wrongPlace->second);
    else if (found == ids.end() && !known.count(first))
        context->violation(L"unknown member " + first + L" on " + displayName());
    return DISP_E_UNKNOWNNAME;
}

HRESULT StrictDispatch::checkArguments(
    const Member &member, const DISPPARAMS &params, UINT *argumentError)
{
    const size_t count = member.params.size();
    if (params.cArgs != count) {
        context->violation(member.name + L": " + std::to_wstring(params.cArgs)
            + L" arguments, expected " + std::to_wstring(count));
        return DISP_E_BADPARAMCOUNT;
    }
    if (count > 0 && !params.rgvarg) {
        context->violation(member.name + L": arguments missing");
        return E_POINTER;
    }
    for (size_t i = 0; i < count; ++i) {
        const UINT position = static_cast<UINT>(count - 1 - i);
        const VARIANT &value = params.rgvarg[position];
        const std::wstring argument = member.name + L": argument " + std::to_wstring(i + 1);
        if (!typeMatches(member.params[i], value.vt)) {
            context->violation(argument + L" is " + typeName(value.vt) + L", expected "
                + expectedName(member.params[i]));
            if (argumentError)
                *argumentError = position;
            return DISP_E_TYPEMISMATCH;
        }
        if (pointerMissing(value)) {
            context->violation(argument + L" is " + typeName(value.vt) + L" with a null pointer");
            if (argumentError)
                *argumentError = position;
            return E_POINTER;
        }
    }
    return S_OK;
}

std::vector<std::wstring> StrictDispatch::renderArguments(
    const Member &member, const DISPPARAMS &params) const
{
    const Arguments args(params, member.params.size());
    std::vector<std::wstring> rendered;
    for (size_t i = 0; i < member.params.size(); ++i) {
        const VARIANT &value = params.rgvarg[member.params.size() - 1 - i];
        if (isReference(member.params[i])) {
            rendered.push_back(L"&");
            continue;
        }
        switch (member.params[i]) {
        case Param::Long:
            rendered.push_back(std::to_wstring(args.number(i)));
            break;
        case Param::LongLong:
            rendered.push_back(std::to_wstring(args.bigNumber(i)));
            break;
        case Param::String:
            rendered.push_back(args.text(i));
            break;
        case Param::Bool:
            rendered.push_back(args.flag(i) ? L"true" : L"false");
            break;
        case Param::Object:
            rendered.push_back(args.object(i) ? L"object" : L"null");
            break;
        default:
            rendered.push_back(value.vt & VT_ARRAY ? L"array" : L"null");
            break;
        }
    }
    return rendered;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags,
    DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argumentError)
{
    if (!context)
        return CO_E_OBJNOTCONNECTED;
    if (id < firstId || id >= firstId + static_cast<DISPID>(names.size()) || !offered(id)) {
        context->violation(
            L"Invoke of unknown DISPID " + std::to_wstring(id) + L" on " + displayName());
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring &name = names[id - firstId];
    if (iid != IID_NULL) {
        context->violation(name + L": invoked with an interface id other than IID_NULL");
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!params) {
        context->violation(name + L": invoked without DISPPARAMS");
        return E_POINTER;
    }

    const Member *member = nullptr;
    if (flags == DISPATCH_METHOD) {
        member = findMember(id, MemberKind::Method);
    } else if (flags == DISPATCH_PROPERTYGET) {
        member = findMember(id, MemberKind::Get);
    } else if (flags == DISPATCH_PROPERTYPUT) {
        member = findMember(id, MemberKind::Put);
    } else if (flags == (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) {
        // The combined flags are how Visual Basic reads; only a read without arguments may.
        member = findMember(id, MemberKind::Method);
        if (!member)
            member = findMember(id, MemberKind::Get);
        if (member && !member->params.empty())
            member = nullptr;
    }
    if (!member) {
        std::wstring kinds;
        for (const Member &candidate : members) {
            if (candidate.name == name)
                kinds += (kinds.empty() ? L"" : L" and ") + kindName(candidate.kind);
        }
        context->violation(name + L": invoked as " + flagsName(flags) + L", but it is " + kinds);
        return DISP_E_MEMBERNOTFOUND;
    }
    if (member->kind == MemberKind::Put) {
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs
            || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            context->violation(name
                + L": property put without DISPID_PROPERTYPUT as its one "
                  L"named argument");
            return DISP_E_MEMBERNOTFOUND;
        }
    } else if (params->cNamedArgs != 0) {
        context->violation(name + L": " + std::to_wstring(params->cNamedArgs)
            + L" named arguments, expected none");
        return DISP_E_MEMBERNOTFOUND;
    }
    const HRESULT checked = checkArguments(*member, *params, argumentError);
    if (FAILED(checked))
        return checked;

    context->logCall(logName(), name, renderArguments(*member, *params));
    if (const std::wstring *failure = context->failure(name)) {
        if (exception) {
            *exception = {};
            exception->scode = E_FAIL;
            exception->bstrSource = Bstr(L"Host").detach();
            exception->bstrDescription = Bstr(*failure).detach();
        }
        return DISP_E_EXCEPTION;
    }

    Variant local;
    VARIANT *target = result ? result : local.get();
    VariantInit(target);
    Result answer(target);
    try {
        member->handler(Arguments(*params, member->params.size()), answer);
    } catch (const std::exception &) {
        VariantClear(target);
        context->violation(name + L": the host failed to answer");
        return E_UNEXPECTED;
    }
    return S_OK;
}

} // namespace StrictHost
