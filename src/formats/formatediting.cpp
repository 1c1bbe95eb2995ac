#include "formatediting.h"

#include "fmtlists.h"

bool isCollectable(const QString &text)
{
    return !text.isEmpty() && text != QLatin1String(" ") && text != QLatin1String("  ");
}

void collectFormat(FmtLists &fmtLists, const QString &key, const QString &text)
{
    // A duplicate is refused by the list itself; the first entry stays.
    if (isCollectable(text))
        fmtLists.append(key, text);
}
