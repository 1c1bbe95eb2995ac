#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <map>
#include <oaidl.h>
#include <oleauto.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

namespace StrictHost {

// Owners of the OLE Automation resources: the only places that free them.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring &text);
    ~Bstr();
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;

    BSTR get() const { return value; }
    BSTR *out();
    BSTR detach();
    std::wstring text() const;

private:
    BSTR value = nullptr;
};

class Variant {
public:
    Variant();
    ~Variant();
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;

    VARIANT *get() { return &value; }
    const VARIANT *get() const { return &value; }
    VARIANT *out();

private:
    VARIANT value;
};

class SafeArray {
public:
    explicit SafeArray(SAFEARRAY *array = nullptr)
        : value(array)
    {
    }
    ~SafeArray();
    SafeArray(const SafeArray &) = delete;
    SafeArray &operator=(const SafeArray &) = delete;

    SAFEARRAY *get() const { return value; }
    SAFEARRAY *detach();

private:
    SAFEARRAY *value;
};

// OLE compares member names without regard to case; so do paths and property names here.
std::wstring folded(const std::wstring &text);
bool sameText(const std::wstring &a, const std::wstring &b);
struct FoldedLess {
    bool operator()(const std::wstring &a, const std::wstring &b) const;
};

std::wstring typeName(VARTYPE type);

// Parameter types as the host's API lists them; no coercion between them.
enum class Param {
    Long, // VT_I4
    LongLong, // VT_I8
    String, // VT_BSTR
    Bool, // VT_BOOL
    Object, // VT_DISPATCH, null meaning none
    Any, // VT_EMPTY, VT_NULL or an array
    LongOut, // VT_BYREF|VT_I4
    StringOut, // VT_BYREF|VT_BSTR
    BoolOut, // VT_BYREF|VT_BOOL
};

enum class MemberKind { Method, Get, Put };

// The arguments of a checked call, by position in call order (rgvarg holds them reversed).
class Arguments {
public:
    Arguments(const DISPPARAMS &params, size_t count)
        : params(params)
        , count(count)
    {
    }

    long number(size_t index) const { return at(index).lVal; }
    long long bigNumber(size_t index) const { return at(index).llVal; }
    std::wstring text(size_t index) const;
    bool flag(size_t index) const { return at(index).boolVal != VARIANT_FALSE; }
    IDispatch *object(size_t index) const { return at(index).pdispVal; }
    void setNumber(size_t index, long value) const { *at(index).plVal = value; }

private:
    const VARIANT &at(size_t index) const { return params.rgvarg[count - 1 - index]; }

    const DISPPARAMS &params;
    size_t count;
};

class Result {
public:
    explicit Result(VARIANT *target)
        : target(target)
    {
    }

    void setNumber(long value);
    void setFlag(bool value, VARIANT_BOOL trueValue = VARIANT_TRUE);
    void setText(const std::wstring &value);
    // A null object is answered as VT_DISPATCH null.
    void setObject(IDispatch *object);
    // Elements as VT_BSTR, or as VT_VARIANT each holding a BSTR.
    void setTexts(const std::vector<std::wstring> &values, VARTYPE elementType);

private:
    VARIANT *target;
};

using Handler = std::function<void(const Arguments &, Result &)>;

// What the objects report to: the host's logs and the switches of this host variant.
class StrictContext {
public:
    virtual void violation(const std::wstring &text) = 0;
    virtual void logCall(
        const std::wstring &object, const std::wstring &member, std::vector<std::wstring> args)
        = 0;
    // Whether this host offers the member; a current member with an older twin may be off.
    virtual bool offers(const std::wstring &member, bool hasOlderName) const = 0;
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
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
        DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argumentError) override;

    long references() const { return static_cast<long>(refs.load()); }
    // The host is gone: every later call fails without touching it.
    void detach() { context = nullptr; }

protected:
    // The object as the call log names it.
    virtual std::wstring logName() const { return kind; }
    // The object as violation texts name it.
    virtual std::wstring displayName() const { return kind; }

    void add(const std::wstring &name, MemberKind memberKind, std::vector<Param> params,
        Handler handler, bool hasOlderName = false);
    // Names of the real API on this kind of object that this host does not offer.
    void addKnown(std::initializer_list<const wchar_t *> names);
    // A real name that belongs on another object: looking it up here is a violation.
    void addMisplaced(const std::wstring &name, const std::wstring &text);

    StrictContext *context;

private:
    struct Member {
        std::wstring name;
        MemberKind kind;
        std::vector<Param> params;
        Handler handler;
        bool hasOlderName;
    };

    const Member *findMember(DISPID id, MemberKind memberKind) const;
    bool offered(DISPID id) const;
    HRESULT checkArguments(const Member &member, const DISPPARAMS &params, UINT *argumentError);
    std::vector<std::wstring> renderArguments(const Member &member, const DISPPARAMS &params) const;

    std::wstring kind;
    DISPID firstId;
    std::vector<std::wstring> names; // a name's DISPID is firstId + its index
    std::map<std::wstring, DISPID, FoldedLess> ids;
    std::vector<Member> members;
    std::set<std::wstring, FoldedLess> known;
    std::map<std::wstring, std::wstring, FoldedLess> misplaced;
    std::atomic<ULONG> refs = 1;
};

} // namespace StrictHost
