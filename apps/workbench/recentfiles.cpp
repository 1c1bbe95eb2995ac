#include "recentfiles.h"

QStringList RecentFiles::added(const QStringList &list, const QString &path)
{
    QStringList result = removed(list, path);
    result.prepend(path);
    return result.mid(0, limit);
}

QStringList RecentFiles::removed(const QStringList &list, const QString &path)
{
    QStringList result;
    for (const QString &entry : list) {
        if (entry.compare(path, Qt::CaseInsensitive) != 0)
            result.append(entry);
    }
    return result;
}
