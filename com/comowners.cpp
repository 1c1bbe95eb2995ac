#include "comowners.h"

#include <utility>

Bstr::Bstr(const QString &text)
    : value(SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), UINT(text.size())))
{
}

Bstr &Bstr::operator=(Bstr &&other) noexcept
{
    std::swap(value, other.value);
    return *this;
}

BSTR *Bstr::out()
{
    SysFreeString(value);
    value = nullptr;
    return &value;
}

BSTR Bstr::release()
{
    return std::exchange(value, nullptr);
}

QString Bstr::textOf(BSTR value)
{
    // A null BSTR is the empty string.
    return value ? QString::fromWCharArray(value, int(SysStringLen(value))) : QStringLiteral("");
}

Variant::Variant(Variant &&other) noexcept
    : value(other.value)
{
    VariantInit(&other.value);
}

Variant &Variant::operator=(Variant &&other) noexcept
{
    std::swap(value, other.value);
    return *this;
}

Variant Variant::fromLong(long number)
{
    Variant result;
    result.value.vt = VT_I4;
    result.value.lVal = number;
    return result;
}

Variant Variant::fromInt64(qint64 number)
{
    Variant result;
    result.value.vt = VT_I8;
    result.value.llVal = number;
    return result;
}

Variant Variant::fromBool(bool flag)
{
    Variant result;
    result.value.vt = VT_BOOL;
    result.value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

Variant Variant::fromString(const QString &text)
{
    Variant result;
    result.value.vt = VT_BSTR;
    result.value.bstrVal = Bstr(text).release();
    return result;
}

Variant Variant::fromDispatch(IDispatch *object)
{
    Variant result;
    result.value.vt = VT_DISPATCH;
    result.value.pdispVal = object;
    if (object)
        object->AddRef();
    return result;
}

Variant Variant::outLong(LONG *target)
{
    Variant result;
    result.value.vt = VT_BYREF | VT_I4;
    result.value.plVal = target;
    return result;
}

namespace {

// The value converted to another type, or none.
std::optional<Variant> converted(const VARIANT &value, VARTYPE type)
{
    Variant result;
    // The source is only read; the system's declaration lacks the const.
    if (FAILED(VariantChangeType(result.get(), const_cast<VARIANT *>(&value), 0, type)))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<QString> Variant::toString() const
{
    if (value.vt == VT_BSTR)
        return Bstr::textOf(value.bstrVal);
    const std::optional<Variant> text = converted(value, VT_BSTR);
    if (!text)
        return std::nullopt;
    return Bstr::textOf(text->value.bstrVal);
}

std::optional<long> Variant::toLong() const
{
    const std::optional<Variant> number = converted(value, VT_I4);
    if (!number)
        return std::nullopt;
    return number->value.lVal;
}

std::optional<bool> Variant::toBool() const
{
    // Converted as a number, so that 1 and VARIANT_TRUE both read as true.
    const std::optional<long> number = toLong();
    if (!number)
        return std::nullopt;
    return *number != 0;
}

std::optional<ComPtr<IDispatch>> Variant::toDispatch() const
{
    ComPtr<IDispatch> object;
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return object;
    case VT_DISPATCH:
        object = value.pdispVal;
        return object;
    case VT_UNKNOWN:
        if (!value.punkVal)
            return object;
        if (FAILED(value.punkVal->QueryInterface(IID_PPV_ARGS(&object))))
            return std::nullopt;
        return object;
    default:
        return std::nullopt;
    }
}

std::optional<QStringList> Variant::toStringList() const
{
    if (value.vt == VT_EMPTY || value.vt == VT_NULL)
        return QStringList();
    const VARTYPE element = value.vt & ~VT_ARRAY;
    if (!(value.vt & VT_ARRAY) || (element != VT_BSTR && element != VT_VARIANT))
        return std::nullopt;
    SAFEARRAY *array = value.parray;
    LONG lower = 0;
    LONG upper = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower))
        || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return std::nullopt;
    QStringList names;
    for (LONG index = lower; index <= upper; ++index) {
        // SafeArrayGetElement hands out copies, which the owners free.
        if (element == VT_BSTR) {
            Bstr name;
            if (FAILED(SafeArrayGetElement(array, &index, name.out())))
                return std::nullopt;
            names.append(name.text());
        } else {
            Variant name;
            std::optional<QString> text;
            if (FAILED(SafeArrayGetElement(array, &index, name.get())) || !(text = name.toString()))
                return std::nullopt;
            names.append(*text);
        }
    }
    return names;
}
