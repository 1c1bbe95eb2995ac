#include "documentcache.h"

#include "dxfdocument.h"
#include "standinfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <optional>

#ifdef Q_OS_WIN
#include <QScopeGuard>
#include <windows.h>
#else
#include <QFile>
#include <sys/stat.h>
#endif

namespace {

// The coarsest file clock in common use (FAT's) ticks every two seconds, and the others stamp
// files from a clock that may lag the system's by a tick: a file rewritten within this time of
// being read can keep every stamp it had.
constexpr qint64 stampGranularity = 2'000'000'000;

qint64 systemNanoseconds()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

QString cacheKey(const QString &nativePath)
{
    return QDir::cleanPath(QFileInfo(nativePath).absoluteFilePath());
}

// None when the file cannot be looked at; reading it then says why.
std::optional<DocumentCache::FileStamp> fileStamp(const QString &path)
{
    DocumentCache::FileStamp stamp;
#ifdef Q_OS_WIN
    const HANDLE file
        = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
            FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    const auto closeFile = qScopeGuard([file] { CloseHandle(file); });
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return {};
    // A FILETIME counts 100 ns since 1601.
    constexpr qint64 epochIn1601Ticks = 116'444'736'000'000'000;
    const qint64 ticks
        = (qint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    stamp.size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = (ticks - epochIn1601Ticks) * 100;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.fileId = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const auto nanoseconds
        = [](const timespec &time) { return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec; };
    stamp.size = info.st_size;
    stamp.modified = nanoseconds(info.st_mtim);
    stamp.changed = nanoseconds(info.st_ctim);
    stamp.device = info.st_dev;
    stamp.fileId = info.st_ino;
#endif
    return stamp;
}

// A file whose times are not older than its read by a tick of the file clock may be rewritten
// within that tick and keep them; so may one whose times lie ahead of this machine's clock.
bool settledAt(const DocumentCache::FileStamp &stamp, qint64 readAt)
{
    return readAt - stamp.modified >= stampGranularity
        && readAt - stamp.changed >= stampGranularity;
}

} // namespace

DocumentCache::DocumentCache(std::function<qint64()> clock)
    : now(clock ? std::move(clock) : std::function<qint64()>(systemNanoseconds))
{
}

std::shared_ptr<const DocumentData> DocumentCache::read(const QString &nativePath)
{
    const QString key = cacheKey(nativePath);
    const std::optional<FileStamp> stamp = fileStamp(key);
    const auto it = entries.constFind(key);
    if (it != entries.cend() && stamp && it->settled && it->stamp == *stamp)
        return it->data;

    // The stamp is taken before the bytes, so a rewrite in between shows as a changed stamp.
    const QByteArray content = readStandInBytes(nativePath);
    const qint64 readAt = now();
    // A digest stands for the bytes: a large drawing is not kept twice in memory.
    const QByteArray digest = QCryptographicHash::hash(content, QCryptographicHash::Sha256);
    std::shared_ptr<const DocumentData> data = it != entries.cend() && it->digest == digest
        ? it->data
        : std::make_shared<const DocumentData>(isDxfFileName(nativePath)
                ? readDxfDocument(content, nativePath)
                : parseStandInDocument(content, nativePath));
    if (stamp)
        entries.insert(key, Entry { data, digest, *stamp, settledAt(*stamp, readAt) });
    else
        entries.remove(key);
    return data;
}

void DocumentCache::forget(const QString &nativePath)
{
    entries.remove(cacheKey(nativePath));
}
