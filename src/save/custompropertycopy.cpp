#include "custompropertycopy.h"

#include "platform/blanks.h"

namespace {

bool copyPass(CadDocument &model, const QString &configuration, CadDocument &drawing)
{
    if (model.CustomPropertyCount(configuration) <= 0)
        return true;
    const QStringList names = model.CustomPropertyNames(configuration);
    if (names.isEmpty())
        return false;
    for (const QString &name : names) {
        const QString value = trimBlanks(model.CustomPropertyValue(configuration, name));
        if (!drawing.AddCustomInfo3(QString(), name, CadCode::PropText, value))
            drawing.SetCustomInfo2(QString(), name, value);
    }
    return true;
}

} // namespace

bool copyCustomProps(CadDocument &model, const QString &configuration, CadDocument &drawing)
{
    // The configuration pass runs second, so its value wins over the general one.
    return copyPass(model, QString(), drawing) && copyPass(model, configuration, drawing);
}
