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

namespace {

// Where dirName's levels start, and the levels to make below that start, with "." and ".."
// settled before anything is made: "a\..\b" makes b alone, and ".." that climbs above path leads
// to the resolved text of the existing level it names.
struct SettledLevels {
    QString start;
    QStringList names;
};

SettledLevels settleLevels(const FileSystemObject &fso, const QString &path, const QString &dirName)
{
    if (!fso.folderExists(path))
        throw QuilletError(11901, QStringLiteral("Specified base directory does not exist."));
    SettledLevels levels { path, {} };
    for (const QString &typed : dirName.split(QLatin1Char('\\'))) {
        const QString level = trimBlanks(typed);
        if (level.isEmpty() || level == QLatin1String("."))
            continue;
        if (level != QLatin1String(".."))
            levels.names.append(level);
        else if (!levels.names.isEmpty())
            levels.names.removeLast();
        else
            levels.start = fso.resolveDotLevels(fso.buildpath(levels.start, level));
    }
    return levels;
}

} // namespace

bool mkRecurseDir(const QString &path, const QString &dirName, QString &s_DirSpec)
{
    const FileSystemObject fso;
    const SettledLevels levels = settleLevels(fso, path, dirName);
    QString current = levels.start;
    for (const QString &level : levels.names) {
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

QString recurseDirPath(const QString &path, const QString &dirName)
{
    const FileSystemObject fso;
    const SettledLevels levels = settleLevels(fso, path, dirName);
    QString current = levels.start;
    for (const QString &level : levels.names)
        current = fso.buildpath(current, level);
    return current;
}

QString shortenedPath(const QString &path, int limit, int head, int tail)
{
    const QString shown
        = path.size() < limit ? path : path.left(head) + QStringLiteral(" ... ") + path.right(tail);
    return withClosingBackslash(shown);
}

QString withClosingBackslash(const QString &directory)
{
    return directory.endsWith(QLatin1Char('\\')) ? directory : directory + QLatin1Char('\\');
}

QString newDirRefusedChars()
{
    return cleanString(Quilletmain::unwantedFileChars, QStringLiteral("\\"));
}
