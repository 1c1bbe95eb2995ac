#include "pathutils.h"

#include "addin/quilletmain.h"
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

    // Dot levels are settled before anything is made: "a\..\b" makes b alone, and ".." that
    // climbs above path leads to the resolved text of the existing level it names.
    QString current = path;
    QStringList levels;
    for (const QString &typed : dirName.split(QLatin1Char('\\'))) {
        const QString level = trimBlanks(typed);
        if (level.isEmpty() || level == QLatin1String("."))
            continue;
        if (level != QLatin1String(".."))
            levels.append(level);
        else if (!levels.isEmpty())
            levels.removeLast();
        else
            current = fso.resolveDotLevels(fso.buildpath(current, level));
    }
    for (const QString &level : levels) {
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

QString shortenedPath(const QString &path, int limit, int head, int tail)
{
    const QString shown
        = path.size() < limit ? path : path.left(head) + QStringLiteral(" ... ") + path.right(tail);
    return shown + QLatin1Char('\\');
}

QString newDirRefusedChars()
{
    return cleanString(Quilletmain::unwantedFileChars, QStringLiteral("\\"));
}
