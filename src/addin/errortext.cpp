#include "errortext.h"

#include "quilletmain.h"

namespace ErrorText {

namespace {

    const QString ending = QStringLiteral(".       ");

} // namespace

QString title()
{
    return Quilletmain::productAndVersion() + QStringLiteral(" [Error]");
}

QString loadFailure(const QuilletError &error)
{
    return QStringLiteral("Exit on Error. ") + error.description + QStringLiteral(" Error #")
        + QString::number(error.number) + ending;
}

QString commandFailure(const QuilletError &error, const QString &procedure)
{
    return error.description + QStringLiteral(" Error #") + QString::number(error.number)
        + QStringLiteral(" in ") + procedure + ending;
}

QString openFailure(const QuilletError &error)
{
    return error.description + QStringLiteral("       ");
}

} // namespace ErrorText
