#pragma once

#include "stricthost.h"

#include <atomic>
#include <functional>
#include <initializer_list>
#include <map>
#include <oaidl.h>
#include <oleauto.h>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace StrictHost {

std::wstring textOf(BSTR text);

// Owners of the OLE Automation resources: the only places that free them.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring &text)
        : value(SysAllocStringLen(text.data(), UINT(text.size())))
    {
    }
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;

    BSTR get() const { return value; }
    BSTR *out()
    {
        SysFreeString(std::exchange(value, nullptr));
        return &value;
    }
    BSTR detach() { return std::exchange(value, nullptr); }

private:
    BSTR value = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;

    VARIANT *get() { return &value; }

private:
    VARIANT value;
};

std::wstring typeName(VARTYPE type);

// Parameter types as the host's API lists them; no coercion between them.
enum class Param : VARTYPE {
    Long = VT_I4,
    LongLong = VT_I8,
    String = VT_BSTR,
    Bool = VT_BOOL,
    Object = VT_DISPATCH, // null meaning none
    Any = VT_VARIANT, // VT_EMPTY, VT_NULL or an array
    LongOut = VT_BYREF | VT_I4,
};

enum class MemberKind : WORD {
    Method = DISPATCH_METHOD,
    Get = DISPATCH_PROPERTYGET,
    Put = DISPATCH_PROPERTYPUT,
};

// A call that passed the checks: its arguments by position in call order (rgvarg holds them
// reversed), and the answer it gives.
class Invocation {
public:
    Invocation(const DISPPARAMS &params, VARIANT *result)
        : params(params)
        , result(result)
    {
    }

    long number(size_t index) const { return at(index).lVal; }
    long long bigNumber(size_t index) const { return at(index).llVal; }
    std::wstring text(size_t index) const { return textOf(at(index).bstrVal); }
    IDispatch *object(size_t index) const { return at(index).pdispVal; }
    bool flag(size_t index) const { return at(index).boolVal != VARIANT_FALSE; }
    void setOut(size_t index, long value) const { *at(index).plVal = value; }

    void answer(long value);
    void answer(bool) = delete; // a flag is answered as VT_BOOL, by answerFlag
    void answer(const std::wstring &text);
    // A null object is answered as VT_DISPATCH null.
    void answer(IDispatch *object);
    void answerFlag(bool value, VARIANT_BOOL trueValue = VARIANT_TRUE);
    // Elements as VT_BSTR, or as VT_VARIANT each holding a BSTR.
    void answerTexts(const std::vector<std::wstring> &texts, VARTYPE elementType);

private:
    const VARIANT &at(size_t index) const { return params.rgvarg[params.cArgs - 1 - index]; }

    const DISPPARAMS &params;
    VARIANT *result;
};

using Handler = std::function<void(Invocation &)>;

// What the objects report to: the host's logs and the switches of this host variant.
class StrictContext {
public:
    virtual void violation(const std::wstring &text) = 0;
    virtual void logCall(
        const std::wstring &object, const std::wstring &member, std::vector<std::wstring> args)
        = 0;
    // Whether this host offers the member; a current member with an older twin may be off.
    virtual bool offers(const std::wstring &member, bool current) const = 0;
    // The description of the failure the member is made to raise, or null.
    virtual const std::wstring *failure(const std::wstring &member) const = 0;

protected:
    ~StrictContext() = default;
};

// An IDispatch answering a table of members and nothing else, recording every misuse.
class StrictDispatch : public IDispatch {
public:
    StrictDispatch(StrictContext *context, std::wstring kind, DISPID firstId);
    virtual ~StrictDispatch() = default;
    StrictDispatch(const StrictDispatch &) = delete;
    StrictDispatch &operator=(const StrictDispatch &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override;

    // No type information: callers look members up by name.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        return count ? (*count = 0, S_OK) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
        DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argumentError) override;

    long references() const { return long(refs.load()); }

protected:
    // The object as the call log names it.
    virtual std::wstring logName() const { return kind; }
    // The object as violation texts name it.
    virtual std::wstring displayName() const { return kind; }

    void add(MemberKind memberKind, const std::wstring &name, std::vector<Param> params,
        Handler handler);
    // A member an older host offers only under the name of an older twin.
    void addCurrent(MemberKind memberKind, const std::wstring &name, std::vector<Param> params,
        Handler handler);
    // Names of the real API on this kind of object that this host does not offer. With a text,
    // looking one up is a violation: the name belongs on another object.
    void addKnown(std::initializer_list<const wchar_t *> names, const std::wstring &misplaced = {});

    StrictContext *context;

private:
    struct Member {
        DISPID id;
        std::wstring name;
        MemberKind kind;
        std::vector<Param> params;
        Handler handler;
        bool current;
    };

    const Member *named(DISPID id) const;
    const Member *findMember(DISPID id, WORD flags) const;
    bool offered(DISPID id) const;
    HRESULT checkArguments(const Member &member, const DISPPARAMS &params, UINT *argumentError);

    std::wstring kind;
    DISPID nextId;
    std::vector<Member> members;
    std::map<std::wstring, std::wstring, FoldedLess> known;
    std::atomic<ULONG> refs = 1;
};

} // namespace StrictHost
