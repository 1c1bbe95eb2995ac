#include "dispatchobject.h"

#include "platform/quilleterror.h"

#include <vector>

namespace {

QString hexCode(HRESULT code)
{
    return QStringLiteral("0x")
        + QString::number(quint32(code), 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

// The system's own words for a failure code, without the line end it ends with.
QString systemText(HRESULT code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(code), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    return text;
}

// What an automation exception hands back, freed when the call's failure has been read.
struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo()
        : EXCEPINFO {}
    {
    }
    ~ExceptionInfo()
    {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExceptionInfo(const ExceptionInfo &) = delete;
    ExceptionInfo &operator=(const ExceptionInfo &) = delete;
};

[[noreturn]] void raiseNotOffered(const QString &member)
{
    throw QuilletError(DispatchObject::NotOfferedError,
        QStringLiteral("The host does not offer ") + member + QLatin1Char('.'));
}

[[noreturn]] void raiseFailure(const QString &member, HRESULT code, ExceptionInfo &exception)
{
    if (code == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn)
            exception.pfnDeferredFillIn(&exception);
        const HRESULT thrown = exception.scode ? exception.scode : HRESULT(exception.wCode);
        const QString text = Bstr::textOf(exception.bstrDescription).trimmed();
        throw QuilletError(int(thrown),
            member + QStringLiteral(": ")
                + (text.isEmpty() ? QStringLiteral("the host reported a failure") : text)
                + (text.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".")));
    }
    if (code == DISP_E_MEMBERNOTFOUND || code == DISP_E_UNKNOWNNAME)
        raiseNotOffered(member);
    QString detail = hexCode(code);
    QString text = systemText(code);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        detail += QStringLiteral(": ") + text;
    throw QuilletError(int(code),
        QStringLiteral("The host's ") + member + QStringLiteral(" failed (") + detail
            + QStringLiteral(")."));
}

} // namespace

DispatchObject::DispatchObject(ComPtr<IDispatch> object)
    : object(std::move(object))
{
}

bool DispatchObject::offers(const QString &member)
{
    auto known = ids.constFind(member);
    if (known == ids.cend()) {
        std::wstring name = member.toStdWString();
        LPOLESTR names[] = { name.data() };
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
            id = DISPID_UNKNOWN;
        known = ids.insert(member, id);
    }
    return *known != DISPID_UNKNOWN;
}

QString DispatchObject::firstOffered(std::initializer_list<QString> members)
{
    for (const QString &member : members) {
        if (offers(member))
            return member;
    }
    raiseNotOffered(*members.begin());
}

Variant DispatchObject::invoke(
    const QString &member, WORD flags, Variant *arguments, int count, bool put)
{
    if (!offers(member))
        raiseNotOffered(member);
    // The callee reads its arguments last to first; the owners keep them alive meanwhile.
    std::vector<VARIANT> reversed;
    reversed.reserve(size_t(count));
    for (int index = count - 1; index >= 0; --index)
        reversed.push_back(arguments[index].raw());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters { reversed.data(), put ? &putId : nullptr, UINT(count), put ? 1u : 0u };
    Variant result;
    ExceptionInfo exception;
    UINT wrongArgument = 0;
    const HRESULT code = object->Invoke(ids.value(member), IID_NULL, LOCALE_USER_DEFAULT, flags,
        &parameters, put ? nullptr : result.get(), &exception, &wrongArgument);
    if (FAILED(code))
        raiseFailure(member, code, exception);
    return result;
}

void DispatchResult::raiseWrongKind() const
{
    throw QuilletError(int(DISP_E_TYPEMISMATCH),
        QStringLiteral("The host's ") + member
            + QStringLiteral(" answered a value of another kind than expected."));
}
