#pragma once

// Owners of the COM values that cross the host boundary: a BSTR and a VARIANT each free themselves,
// and interface pointers are Microsoft::WRL::ComPtr. Nothing else in com/ frees such a value.

#include <QString>
#include <QStringList>
#include <oaidl.h>
#include <oleauto.h>
#include <optional>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

// Takes over the one reference a new object is born with. MinGW's ComPtr::Attach adds a reference
// of its own, which would keep the object alive for ever.
template <typename Interface> ComPtr<Interface> adopt(Interface *object)
{
    ComPtr<Interface> pointer;
    *pointer.ReleaseAndGetAddressOf() = object;
    return pointer;
}

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const QString &text);
    ~Bstr() { SysFreeString(value); }
    Bstr(Bstr &&other) noexcept
        : value(other.value)
    {
        other.value = nullptr;
    }
    Bstr &operator=(Bstr &&other) noexcept;
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;

    BSTR get() const { return value; }
    // For a call that hands back a new string: whatever was held is freed first.
    BSTR *out();
    // Hands the string to a VARIANT that frees it from then on.
    BSTR release();
    QString text() const { return textOf(value); }
    static QString textOf(BSTR value);

private:
    BSTR value = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(Variant &&other) noexcept;
    Variant &operator=(Variant &&other) noexcept;
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;

    static Variant fromLong(long number);
    static Variant fromInt64(qint64 number);
    static Variant fromBool(bool flag);
    static Variant fromString(const QString &text);
    // Holds its own reference; a null object is an object argument that names none.
    static Variant fromDispatch(IDispatch *object);
    // An out argument: the callee writes the long that target points at.
    static Variant outLong(LONG *target);

    VARIANT *get() { return &value; }
    const VARIANT &raw() const { return value; }

    // Conversions of results, as OLE Automation converts them; none when the value cannot be.
    std::optional<QString> toString() const;
    std::optional<long> toLong() const;
    // Hosts write true as 1 as well as VARIANT_TRUE: anything but 0 is true.
    std::optional<bool> toBool() const;
    // An object result; VT_EMPTY, VT_NULL and a null object all mean none, which is a null
    // pointer.
    std::optional<ComPtr<IDispatch>> toDispatch() const;
    // An array of names, with BSTR or VARIANT elements, from its lower bound up; no names for
    // VT_EMPTY or VT_NULL.
    std::optional<QStringList> toStringList() const;

private:
    VARIANT value;
};
