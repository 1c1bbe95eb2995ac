#include "filesystemobject.h"

#include "quilleterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QMap<QChar, QString> defaultDrives()
{
    return { { QChar('C'), QDir::cleanPath(QDir::homePath()) },
        { QChar('Z'), QStringLiteral("/") } };
}

QMap<QChar, QString> drivesFromEnvironment()
{
    const QString text = qEnvironmentVariable("QUILLET_DRIVES");
    if (text.isEmpty())
        return defaultDrives();
    QMap<QChar, QString> map;
    const QStringList mappings = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &mapping : mappings) {
        QChar letter;
        QString root;
        // A malformed entry is left out; the well-formed ones still make the map.
        if (FileSystemObject::parseDriveMapping(mapping.trimmed(), &letter, &root))
            map.insert(letter, root);
    }
    return map;
}

QMap<QChar, QString> &driveMap()
{
    static QMap<QChar, QString> map = drivesFromEnvironment();
    return map;
}

#ifndef Q_OS_WIN
// The drive whose root holds the clean native path, the one with the longest root when several
// do; a null letter when none does.
QChar driveHolding(const QString &absolute)
{
    QChar bestLetter;
    QString bestRoot;
    const auto &map = driveMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString &root = it.value();
        const bool covers = root == QLatin1String("/") || absolute == root
            || absolute.startsWith(root + QLatin1Char('/'));
        if (covers && (bestLetter.isNull() || root.size() > bestRoot.size())) {
            bestLetter = it.key();
            bestRoot = root;
        }
    }
    return bestLetter;
}
#endif

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

bool hasDriveLetter(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter()
        && path.at(0).unicode() < 128;
}

bool isNetworkPath(const QString &path)
{
    return path.size() > 1 && isSeparator(path.at(0)) && isSeparator(path.at(1));
}

// The names between separators, either kind, empty ones left out.
QStringList levelsOf(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    return text.split(separators, Qt::SkipEmptyParts);
}

// Walks on from levels through the levels of text: "." stays where it is and ".." goes back one
// level. With nothing to go back from, ".." stays at the root of rooted text; in other text it is
// kept for whoever knows where the text starts.
void walkLevels(QStringList &levels, const QString &text, bool rooted)
{
    for (const QString &level : levelsOf(text)) {
        if (level == QLatin1String("."))
            continue;
        if (level != QLatin1String(".."))
            levels.append(level);
        else if (!levels.isEmpty() && levels.last() != QLatin1String(".."))
            levels.removeLast();
        else if (!rooted)
            levels.append(level);
    }
}

// Absolute, without "." and ".." levels; the parent of "/" is "/" itself.
QString cleanNative(const QString &nativePath)
{
    QString path = QDir::cleanPath(QDir(nativePath).absolutePath());
    while (path == QLatin1String("/..") || path.startsWith(QLatin1String("/../")))
        path.remove(0, 3);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

// The part of a path after its last separator (and after a drive letter).
QString lastLevel(const QString &path)
{
    QString text = path;
    while (!text.isEmpty() && isSeparator(text.back()))
        text.chop(1);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isSeparator(text.at(i)) || (i == 1 && hasDriveLetter(text)))
            start = i + 1;
    }
    return text.mid(start);
}

#ifdef Q_OS_WIN
// A level Windows would refuse, or quietly take for another: a device name (with or without an
// extension), a character it reserves, or a trailing dot or blank that it would drop.
bool refusedLevel(const QString &level)
{
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression reserved(QStringLiteral("[<>:\"|?*\\x01-\\x1f]"));
    if (level == QLatin1String(".") || level == QLatin1String(".."))
        return false;
    return level.contains(reserved) || level.endsWith(QLatin1Char('.'))
        || level.endsWith(QLatin1Char(' '))
        || device.match(level.left(level.indexOf(QLatin1Char('.')))).hasMatch();
}

bool hasRefusedLevel(const QString &path)
{
    const QStringList names = levelsOf(hasDriveLetter(path) ? path.mid(2) : path);
    return std::any_of(names.cbegin(), names.cend(), refusedLevel);
}
#endif

} // namespace

QMap<QChar, QString> FileSystemObject::drives()
{
    return driveMap();
}

void FileSystemObject::setDrive(QChar letter, const QString &nativeRoot)
{
    driveMap().insert(letter.toUpper(), cleanNative(nativeRoot));
}

void FileSystemObject::setDrives(const QMap<QChar, QString> &map)
{
    driveMap().clear();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        setDrive(it.key(), it.value());
}

void FileSystemObject::resetDrives()
{
    driveMap() = drivesFromEnvironment();
}

bool FileSystemObject::parseDriveMapping(const QString &mapping, QChar *letter, QString *nativeRoot)
{
    if (mapping.size() < 4 || !hasDriveLetter(mapping) || mapping.at(2) != QLatin1Char('='))
        return false;
    const QString root = mapping.mid(3);
    if (root.contains(QChar(0)))
        return false;
    *letter = mapping.at(0).toUpper();
    *nativeRoot = cleanNative(root);
    return true;
}

// Nothing exists on a drive that is not mapped; text the system cannot take is still refused.
std::optional<QFileInfo> FileSystemObject::existingInfo(const QString &path) const
{
#ifdef Q_OS_WIN
    // Nothing can exist under a name Windows refuses.
    if (!path.contains(QChar(0)) && hasRefusedLevel(path))
        return std::nullopt;
#endif
    try {
        return QFileInfo(toNative(path));
    } catch (const QuilletError &error) {
        if (error.number == PlatformError::DeviceUnavailable)
            return std::nullopt;
        throw;
    }
}

bool FileSystemObject::folderExists(const QString &path) const
{
    const std::optional<QFileInfo> info = existingInfo(path);
    return info && info->isDir();
}

bool FileSystemObject::fileexists(const QString &path) const
{
    const std::optional<QFileInfo> info = existingInfo(path);
    // Only a regular file (or a link to one) can be read as one: a directory, pipe or device by
    // the name is not the file.
    return info && info->isFile();
}

QString FileSystemObject::buildpath(const QString &path, const QString &name) const
{
    if (path.isEmpty())
        return name;
    // A bare drive letter stays drive-relative: "C:" and "x" give "C:x".
    if (path.size() == 2 && hasDriveLetter(path))
        return path + name;
    qsizetype keep = path.size();
    while (keep > 0 && isSeparator(path.at(keep - 1)))
        --keep;
    qsizetype skip = 0;
    while (skip < name.size() && isSeparator(name.at(skip)))
        ++skip;
    return path.left(keep) + QLatin1Char('\\') + name.mid(skip);
}

void FileSystemObject::createfolder(const QString &path) const
{
    const QString native = toNative(path);
    const QFileInfo info(native);
    if (info.exists())
        throw PlatformError::make(PlatformError::FileAlreadyExists);
    if (!info.dir().exists())
        throw PlatformError::make(PlatformError::PathNotFound);
    if (!QDir().mkdir(native))
        throw PlatformError::make(PlatformError::PermissionDenied);
}

QString FileSystemObject::GetFileName(const QString &path) const
{
    return lastLevel(path);
}

QString FileSystemObject::GetBaseName(const QString &path) const
{
    const QString name = lastLevel(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString FileSystemObject::GetDriveName(const QString &path) const
{
    if (hasDriveLetter(path))
        return path.left(2);
    if (path.size() > 2 && isSeparator(path.at(0)) && isSeparator(path.at(1))) {
        // \\server\share: up to the separator after the share name.
        const qsizetype serverEnd = path.indexOf(QLatin1Char('\\'), 2);
        if (serverEnd < 0)
            return path;
        const qsizetype shareEnd = path.indexOf(QLatin1Char('\\'), serverEnd + 1);
        return shareEnd < 0 ? path : path.left(shareEnd);
    }
    return {};
}

bool FileSystemObject::DriveExists(const QString &drive) const
{
    const bool letter
        = hasDriveLetter(drive) && (drive.size() == 2 || drive.mid(2) == QLatin1String("\\"));
#ifdef Q_OS_WIN
    // The system knows its drives and the network shares it can reach.
    if (!letter && (!isNetworkPath(drive) || drive.contains(QChar(0))))
        return false;
    const QString root = drive.endsWith(QLatin1Char('\\')) ? drive : drive + QLatin1Char('\\');
    const auto rootText = reinterpret_cast<LPCWSTR>(root.utf16());
    if (!letter) {
        // A share exists when it answers.
        const DWORD attributes = GetFileAttributesW(rootText);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    const UINT type = GetDriveTypeW(rootText);
    return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
#else
    return letter && driveMap().contains(drive.at(0).toUpper());
#endif
}

QString FileSystemObject::resolveDotLevels(const QString &path) const
{
    // ".." stops at the drive, or at the share of a network path.
    QString top = GetDriveName(path);
    const QString rest = path.mid(top.size());
    const bool rooted = isNetworkPath(top) || (!rest.isEmpty() && isSeparator(rest.at(0)));
    if (rooted)
        top += QLatin1Char('\\');
    QStringList levels;
    walkLevels(levels, rest, rooted);
    return top + levels.join(QLatin1Char('\\'));
}

QString FileSystemObject::toNative(const QString &path) const
{
    if (path.contains(QChar(0)))
        throw PlatformError::make(PlatformError::BadFileName);
#ifdef Q_OS_WIN
    if (hasRefusedLevel(path))
        throw PlatformError::make(PlatformError::BadFileName);
    return path;
#else
    QString root;
    QStringList levels;
    QString rest = path;
    if (hasDriveLetter(path)) {
        const QChar letter = path.at(0).toUpper();
        if (!driveMap().contains(letter))
            throw PlatformError::make(PlatformError::DeviceUnavailable);
        root = driveMap().value(letter);
        rest = path.mid(2);
    } else if (isNetworkPath(path)) {
        // Network shares are not mapped.
        throw PlatformError::make(PlatformError::DeviceUnavailable);
    } else if (!path.isEmpty() && isSeparator(path.at(0))) {
        // Rooted text without a drive belongs to the system drive.
        if (!driveMap().contains(QLatin1Char('C')))
            throw PlatformError::make(PlatformError::DeviceUnavailable);
        root = driveMap().value(QLatin1Char('C'));
    } else {
        // Relative text goes on from the current directory, on the drive that holds it, or on the
        // whole file system when no drive does.
        const QString current = cleanNative(QDir::currentPath());
        const QChar letter = driveHolding(current);
        root = letter.isNull() ? QStringLiteral("/") : driveMap().value(letter);
        levels = current.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }
    walkLevels(levels, rest, true);
    if (levels.isEmpty())
        return root;
    return (root == QLatin1String("/") ? QString() : root) + QLatin1Char('/')
        + levels.join(QLatin1Char('/'));
#endif
}

QString FileSystemObject::fromNative(const QString &nativePath) const
{
    if (nativePath.contains(QChar(0)))
        throw PlatformError::make(PlatformError::BadFileName);
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(nativePath);
#else
    const QString absolute = cleanNative(nativePath);
    const QChar letter = driveHolding(absolute);
    if (letter.isNull())
        throw PlatformError::make(PlatformError::DeviceUnavailable);
    const QString root = driveMap().value(letter);
    QString rest = absolute.mid(root == QLatin1String("/") ? 1 : root.size() + 1);
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QString(letter) + QStringLiteral(":\\") + rest;
#endif
}

QByteArray FileSystemObject::readFile(const QString &path) const
{
    QFile file(toNative(path));
    if (!file.exists())
        throw PlatformError::make(PlatformError::FileNotFound);
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError::make(PlatformError::PermissionDenied);
    return file.readAll();
}

void FileSystemObject::replaceFile(const QString &path, const QByteArray &content) const
{
    const QString native = toNative(path);
    const QFileInfo info(native);
    if (!info.exists() || info.isDir())
        throw PlatformError::make(PlatformError::FileNotFound);
    // Opening for writing asks with the rights the process writes with, where the file's own
    // permissions only tell what the user who started it may do. Nothing is written here.
    if (!QFile(native).open(QIODevice::Append | QIODevice::ExistingOnly))
        throw PlatformError::make(PlatformError::PermissionDenied);
    QSaveFile file(native);
    // The flush is checked before the commit: a full disk must not rename a short file into place.
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()
        || file.error() != QFileDevice::NoError || !file.commit())
        throw PlatformError::make(PlatformError::PathFileAccessError);
}
