#pragma once

#include "comowners.h"

#include <QHash>
#include <QString>
#include <array>
#include <initializer_list>

// What a member answered, read as the contract needs it; a result of another kind is the member's
// failure, named in its error.
class DispatchResult {
public:
    DispatchResult(Variant value, QString member)
        : value(std::move(value))
        , member(std::move(member))
    {
    }

    QString text() const { return required(value.toString()); }
    long number() const { return required(value.toLong()); }
    bool flag() const { return required(value.toBool()); }
    // A null pointer for none.
    ComPtr<IDispatch> object() const { return required(value.toDispatch()); }
    QStringList names() const { return required(value.toStringList()); }

private:
    template <typename Value> Value required(std::optional<Value> read) const
    {
        if (!read)
            raiseWrongKind();
        return *std::move(read);
    }
    [[noreturn]] void raiseWrongKind() const;

    Variant value;
    QString member;
};

// A host object reached by late binding. A member is looked up by name the first time it is used
// and its DISPID kept for the life of this object; every failure of a call becomes the add-in's
// error, whose description names the member.
class DispatchObject {
public:
    // The error number of a member the host does not offer, as automation clients have it.
    static constexpr int NotOfferedError = 438;

    explicit DispatchObject(ComPtr<IDispatch> object);

    IDispatch *get() const { return object.Get(); }

    bool offers(const QString &member);
    // The first of the members that the object offers, the current one named first and older
    // ones after it; raises the error that the first is not offered when none is.
    QString firstOffered(std::initializer_list<QString> members);

    // Arguments are given in the member's parameter order.
    template <typename... Arguments>
    DispatchResult call(const QString &member, Arguments &&...arguments)
    {
        std::array<Variant, sizeof...(Arguments)> list { std::forward<Arguments>(arguments)... };
        return { invoke(member, DISPATCH_METHOD, list.data(), int(list.size()), false), member };
    }
    template <typename... Arguments>
    DispatchResult get(const QString &member, Arguments &&...indices)
    {
        std::array<Variant, sizeof...(Arguments)> list { std::forward<Arguments>(indices)... };
        return { invoke(member, DISPATCH_PROPERTYGET, list.data(), int(list.size()), false),
            member };
    }
    // The value comes last, after the property's index arguments.
    template <typename... Arguments> void put(const QString &member, Arguments &&...arguments)
    {
        std::array<Variant, sizeof...(Arguments)> list { std::forward<Arguments>(arguments)... };
        invoke(member, DISPATCH_PROPERTYPUT, list.data(), int(list.size()), true);
    }

private:
    Variant invoke(const QString &member, WORD flags, Variant *arguments, int count, bool put);

    ComPtr<IDispatch> object;
    // DISPID_UNKNOWN for a member the object does not offer.
    QHash<QString, DISPID> ids;
};
