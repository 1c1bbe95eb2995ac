#include "drawingfolders.h"

#include <QDir>
#include <QFileInfo>

namespace {

void collectDrawings(const QString &folder, bool withDxf, DrawingArguments &found)
{
    // Entries in name order, each folder's drawings taken where its name falls: the drawings come
    // sorted by path, level by level.
    const QFileInfoList entries
        = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    // A folder that can be read always lists itself as "."; no entry at all means it could not.
    if (entries.isEmpty()) {
        found.unreadableFolders.append(folder);
        return;
    }
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String("..") || entry.isSymLink())
            continue;
        if (entry.isDir())
            collectDrawings(entry.filePath(), withDxf, found);
        else if (entry.isFile()
            && (name.endsWith(QLatin1String(".SLDDRW"), Qt::CaseInsensitive)
                || (withDxf && name.endsWith(QLatin1String(".dxf"), Qt::CaseInsensitive))))
            found.drawings.append(entry.filePath());
    }
}

} // namespace

DrawingArguments expandDrawingArguments(const QStringList &arguments, bool withDxf)
{
    DrawingArguments found;
    for (const QString &argument : arguments) {
        if (!QFileInfo(argument).isDir()) {
            found.drawings.append(argument);
            continue;
        }
        const qsizetype before = found.drawings.size();
        collectDrawings(QDir::cleanPath(argument), withDxf, found);
        if (found.drawings.size() == before)
            found.emptyFolders.append(argument);
    }
    return found;
}
