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
    const QByteArray content = readStandInBytes(nativePath);
    const auto it = entries.constFind(key);
    if (it != entries.cend() && it->content == content)
        return it->data;

    auto data = std::make_shared<const DocumentData>(parseStandInDocument(content, nativePath));
    entries.insert(key, Entry { data, content });
    return data;
}

void DocumentCache::forget(const QString &nativePath)
{
    entries.remove(cacheKey(nativePath));
}
