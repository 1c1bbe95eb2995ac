#include "strictdispatch.h"

#include <memory>
#include <wrl/client.h>

namespace StrictHost {

std::wstring textOf(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

namespace {

    int compareText(const std::wstring &a, const std::wstring &b)
    {
        return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE);
    }

    std::wstring flagsName(WORD flags)
    {
        static const std::map<WORD, std::wstring> names
            = { { DISPATCH_METHOD, L"a method" }, { DISPATCH_PROPERTYGET, L"a property get" },
                  { DISPATCH_METHOD | DISPATCH_PROPERTYGET, L"a method or property get" },
                  { DISPATCH_PROPERTYPUT, L"a property put" },
                  { DISPATCH_PROPERTYPUTREF, L"a property putref" } };
        const auto found = names.find(flags);
        return found != names.end() ? found->second : L"flags " + std::to_wstring(flags);
    }

    bool typeMatches(Param param, VARTYPE type)
    {
        if (param == Param::Any)
            return type == VT_EMPTY || type == VT_NULL || (type & ~VT_TYPEMASK) == VT_ARRAY;
        return type == VARTYPE(param);
    }

    // As the call log shows an argument.
    std::wstring rendered(VARIANT &value)
    {
        if (value.vt & VT_BYREF)
            return L"&";
        if (value.vt & VT_ARRAY)
            return L"array";
        if (value.vt == VT_BOOL)
            return value.boolVal != VARIANT_FALSE ? L"true" : L"false";
        if (value.vt == VT_DISPATCH)
            return value.pdispVal ? L"object" : L"null";
        // Numbers in decimal, text as it is.
        Variant text;
        if (value.vt == VT_EMPTY || FAILED(VariantChangeType(text.get(), &value, 0, VT_BSTR)))
            return L"null";
        return textOf(text.get()->bstrVal);
    }

} // namespace

bool sameText(const std::wstring &a, const std::wstring &b)
{
    return compareText(a, b) == CSTR_EQUAL;
}

bool FoldedLess::operator()(const std::wstring &a, const std::wstring &b) const
{
    return compareText(a, b) == CSTR_LESS_THAN;
}

std::wstring typeName(VARTYPE type)
{
    // The types an automation client may plausibly send; others by number.
    static const std::map<VARTYPE, std::wstring> names = { { VT_EMPTY, L"VT_EMPTY" },
        { VT_NULL, L"VT_NULL" }, { VT_I2, L"VT_I2" }, { VT_I4, L"VT_I4" }, { VT_R8, L"VT_R8" },
        { VT_BSTR, L"VT_BSTR" }, { VT_DISPATCH, L"VT_DISPATCH" }, { VT_BOOL, L"VT_BOOL" },
        { VT_VARIANT, L"VT_VARIANT" }, { VT_UNKNOWN, L"VT_UNKNOWN" }, { VT_UI4, L"VT_UI4" },
        { VT_I8, L"VT_I8" }, { VT_INT, L"VT_INT" } };
    const auto found = names.find(type & VT_TYPEMASK);
    return std::wstring(type & VT_BYREF ? L"VT_BYREF|" : L"")
        + (type & VT_ARRAY ? L"VT_ARRAY|" : L"")
        + (found != names.end() ? found->second : L"VT_" + std::to_wstring(type & VT_TYPEMASK));
}

void Invocation::answer(long value)
{
    result->vt = VT_I4;
    result->lVal = value;
}

void Invocation::answer(const std::wstring &text)
{
    result->vt = VT_BSTR;
    result->bstrVal = Bstr(text).detach();
}

void Invocation::answer(IDispatch *object)
{
    result->vt = VT_DISPATCH;
    result->pdispVal = Microsoft::WRL::ComPtr<IDispatch>(object).Detach();
}

void Invocation::answerFlag(bool value, VARIANT_BOOL trueValue)
{
    result->vt = VT_BOOL;
    result->boolVal = value ? trueValue : VARIANT_FALSE;
}

void Invocation::answerTexts(const std::vector<std::wstring> &texts, VARTYPE elementType)
{
    std::unique_ptr<SAFEARRAY, decltype(&SafeArrayDestroy)> array(
        SafeArrayCreateVector(elementType, 0, ULONG(texts.size())), &SafeArrayDestroy);
    if (!array)
        throw std::bad_alloc();
    for (LONG i = 0; i < LONG(texts.size()); ++i) {
        Bstr text(texts[i]);
        VARIANT element;
        element.vt = VT_BSTR;
        element.bstrVal = text.get();
        void *stored = elementType == VT_VARIANT ? static_cast<void *>(&element) : text.get();
        if (FAILED(SafeArrayPutElement(array.get(), &i, stored)))
            throw std::bad_alloc();
    }
    result->vt = VT_ARRAY | elementType;
    result->parray = array.release();
}

StrictDispatch::StrictDispatch(StrictContext *context, std::wstring kind, DISPID firstId)
    : context(context)
    , kind(std::move(kind))
    , nextId(firstId)
{
}

HRESULT STDMETHODCALLTYPE StrictDispatch::QueryInterface(REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object
        = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch *>(this) : nullptr;
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE StrictDispatch::Release()
{
    const ULONG left = --refs;
    if (left == 0)
        delete this;
    return left;
}

void StrictDispatch::add(
    MemberKind memberKind, const std::wstring &name, std::vector<Param> params, Handler handler)
{
    // Every kind of access to one name shares its DISPID.
    DISPID id = nextId;
    for (const Member &member : members) {
        if (member.name == name)
            id = member.id;
    }
    if (id == nextId)
        ++nextId;
    members.push_back({ id, name, memberKind, std::move(params), std::move(handler), false });
}

void StrictDispatch::addCurrent(
    MemberKind memberKind, const std::wstring &name, std::vector<Param> params, Handler handler)
{
    add(memberKind, name, std::move(params), std::move(handler));
    members.back().current = true;
}

void StrictDispatch::addKnown(
    std::initializer_list<const wchar_t *> names, const std::wstring &misplaced)
{
    for (const wchar_t *name : names)
        known.emplace(name, misplaced);
}

const StrictDispatch::Member *StrictDispatch::named(DISPID id) const
{
    for (const Member &member : members) {
        if (member.id == id)
            return &member;
    }
    return nullptr;
}

const StrictDispatch::Member *StrictDispatch::findMember(DISPID id, WORD flags) const
{
    // The combined flags are how Visual Basic reads; only a read without arguments may.
    const bool read = flags == (DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    for (const Member &member : members) {
        const WORD memberFlags = WORD(member.kind);
        if (member.id == id
            && (memberFlags == flags
                || (read && memberFlags != DISPATCH_PROPERTYPUT && member.params.empty())))
            return &member;
    }
    return nullptr;
}

bool StrictDispatch::offered(DISPID id) const
{
    for (const Member &member : members) {
        if (member.id == id && context->offers(member.name, member.current))
            return true;
    }
    return false;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::GetIDsOfNames(
    REFIID iid, LPOLESTR *requested, UINT count, LCID, DISPID *result)
{
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
    DISPID id = DISPID_UNKNOWN;
    for (const Member &member : members) {
        if (sameText(member.name, first))
            id = member.id;
    }
    if (id != DISPID_UNKNOWN && offered(id)) {
        result[0] = id;
        return S_OK;
    }
    const auto found = known.find(first);
    if (found != known.end() && !found->second.empty())
        context->violation(found->second);
    else if (id == DISPID_UNKNOWN && found == known.end())
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
        const UINT position = UINT(count - 1 - i);
        const VARIANT &value = params.rgvarg[position];
        const Param param = member.params[i];
        const bool typed = typeMatches(param, value.vt);
        // A by-reference argument or an array must point somewhere before the host uses it.
        if (typed && !((value.vt & (VT_BYREF | VT_ARRAY)) && !value.byref))
            continue;
        const std::wstring expected
            = param == Param::Any ? L"VT_EMPTY, VT_NULL or an array" : typeName(VARTYPE(param));
        context->violation(member.name + L": argument " + std::to_wstring(i + 1) + L" is "
            + typeName(value.vt) + (typed ? L" with a null pointer" : L", expected " + expected));
        if (argumentError)
            *argumentError = position;
        return typed ? E_POINTER : DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StrictDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags,
    DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argumentError)
{
    if (!named(id) || !offered(id)) {
        context->violation(
            L"Invoke of unknown DISPID " + std::to_wstring(id) + L" on " + displayName());
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring &name = named(id)->name;
    if (iid != IID_NULL) {
        context->violation(name + L": invoked with an interface id other than IID_NULL");
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!params) {
        context->violation(name + L": invoked without DISPPARAMS");
        return E_POINTER;
    }
    const Member *member = findMember(id, flags);
    if (!member) {
        std::wstring kinds;
        for (const Member &candidate : members) {
            if (candidate.id == id)
                kinds += (kinds.empty() ? L"" : L" and ") + flagsName(WORD(candidate.kind));
        }
        context->violation(name + L": invoked as " + flagsName(flags) + L", but it is " + kinds);
        return DISP_E_MEMBERNOTFOUND;
    }
    if (member->kind == MemberKind::Put
        && (params->cNamedArgs != 1 || !params->rgdispidNamedArgs
            || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
        context->violation(
            name + L": property put without DISPID_PROPERTYPUT as its one named argument");
        return DISP_E_MEMBERNOTFOUND;
    }
    if (member->kind != MemberKind::Put && params->cNamedArgs != 0) {
        context->violation(name + L": " + std::to_wstring(params->cNamedArgs)
            + L" named arguments, expected none");
        return DISP_E_MEMBERNOTFOUND;
    }
    const HRESULT checked = checkArguments(*member, *params, argumentError);
    if (FAILED(checked))
        return checked;

    std::vector<std::wstring> args;
    for (size_t i = 0; i < member->params.size(); ++i)
        args.push_back(rendered(params->rgvarg[params->cArgs - 1 - i]));
    context->logCall(logName(), name, std::move(args));
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
    Invocation invocation(*params, target);
    try {
        member->handler(invocation);
    } catch (const std::exception &) {
        VariantClear(target);
        context->violation(name + L": the host failed to answer");
        return E_UNEXPECTED;
    }
    return S_OK;
}

} // namespace StrictHost
