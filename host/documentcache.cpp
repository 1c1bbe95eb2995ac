#include "documentcache.h"

#include "standinfile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString cacheKey(const QString &nativePath)
{
    return QDir::cleanPath(QFileInfo(nativePath).absoluteFilePath());
}

} // namespace

std::shared_ptr<const DocumentData> DocumentCache::read(const QString &nativePath)
{
    const QString key = cacheKey(nativePath);
    const QFileInfo info(key);
    const auto it = entries.constFind(key);
    if (it != entries.cend() && info.exists() && info.size() == it->size
        && info.lastModified() == it->modified && info.metadataChangeTime() == it->changed)
        return it->data;

    entries.remove(key);
    auto data = std::make_shared<const DocumentData>(readStandInFile(nativePath));
    entries.insert(
        key, Entry { data, info.size(), info.lastModified(), info.metadataChangeTime() });
    return data;
}

void DocumentCache::forget(const QString &nativePath)
{
    entries.remove(cacheKey(nativePath));
}
