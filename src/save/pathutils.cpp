#include "pathutils.h"

#include "platform/blanks.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"

QString cleanString(QString str, const QString &unwantedCharacters)
{
    for (const QChar c : unwantedCharacters)
        str.remove(c, Qt::CaseSensitive);
    return str;
}

bool mkRecurseDir(const QString &path, const QString &dirName, QString &s_DirSpec)
{
    const FileSystemObject fso;
    if (!fso.folderExists(path))
        throw QuilletError(11901, QStringLiteral("Specified base directory does not exist."));

    QString current = path;
    const QStringList levels = dirName.split(QLatin1Char('\\'));
    for (const QString &typed : levels) {
        const QString level = trimBlanks(typed);
        if (level.isEmpty())
            continue;
        const QString candidate = fso.buildpath(current, level);
        if (!fso.folderExists(candidate))
            fso.createfolder(candidate);
        current = candidate;
        if (!fso.folderExists(current))
            throw QuilletError(12101, QStringLiteral("Unable to create directories."));
    }
    s_DirSpec = current;
    return true;
}
