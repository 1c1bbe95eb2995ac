#include "stagedsaves.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace {

// As for any new file, less what the user's file mode creation mask takes away.
constexpr QFileDevice::Permissions newFilePermissions = QFileDevice::ReadOwner
    | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ReadOther | QFileDevice::WriteOther;

} // namespace

bool StagedSaves::write(
    const QString &target, const std::function<bool(QIODevice &)> &write, QString *why)
{
    const QFileInfo info(target);
    QFile file(stagedName(info));
    if (beforeStaging)
        beforeStaging(file.fileName());
    // A save in place keeps the permissions of the file it replaces.
    const QFileDevice::Permissions permissions
        = info.exists() ? info.permissions() : newFilePermissions;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) {
        *why = file.errorString();
        return false;
    }
    // As for a save in place: flushed before it counts, so that a full disk is seen.
    if (!write(file) || !file.flush() || file.error() != QFileDevice::NoError) {
        // The system's reason, or else the writer's own; a write cut short is tried again for it.
        if (file.error() != QFileDevice::NoError)
            file.flush();
        if (file.error() != QFileDevice::NoError || why->isEmpty())
            *why = file.errorString();
        file.close();
        file.remove();
        return false;
    }
    file.close();
    staged.append({ target, file.fileName() });
    return true;
}

QString StagedSaves::stagedName(const QFileInfo &target)
{
    return QStringLiteral("%1/.%2.%3-%4.%5")
        .arg(target.path(), target.completeBaseName(),
            QString::number(QCoreApplication::applicationPid()), QString::number(++written),
            target.suffix());
}

bool StagedSaves::stage(const QString &target,
    const std::function<bool(const QString &staged, QString *why)> &save, QString *why)
{
    const QFileInfo info(target);
    const QString name = stagedName(info);
    if (beforeStaging)
        beforeStaging(name);
    bool saved = false;
    try {
        saved = save(name, why);
    } catch (...) {
        // A save cut short (its host lost) leaves no part of a file behind.
        QFile::remove(name);
        throw;
    }
    if (!saved) {
        QFile::remove(name);
        return false;
    }
    // A host may answer that it saved and have written nothing.
    if (!QFileInfo::exists(name)) {
        *why = QStringLiteral("the host reported the file saved but wrote none");
        return false;
    }
    if (info.exists())
        QFile::setPermissions(name, info.permissions());
    staged.append({ target, name });
    return true;
}

QString StagedSaves::stagedFor(const QString &target) const
{
    // The last save of a target is its content. Names compare as the host compares them: in
    // either separator, without regard to case.
    const QString wanted = QDir::cleanPath(target);
    for (auto file = staged.crbegin(); file != staged.crend(); ++file) {
        if (QDir::cleanPath(file->target).compare(wanted, Qt::CaseInsensitive) == 0)
            return file->staged;
    }
    return {};
}

bool StagedSaves::commit(const File &file, QString *why)
{
#ifdef Q_OS_WIN
    const QString from = QDir::toNativeSeparators(file.staged);
    const QString to = QDir::toNativeSeparators(file.target);
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
            reinterpret_cast<const wchar_t *>(to.utf16()), MOVEFILE_REPLACE_EXISTING))
        return true;
    *why = QStringLiteral("Windows error %1").arg(GetLastError());
    return false;
#else
    if (std::rename(
            QFile::encodeName(file.staged).constData(), QFile::encodeName(file.target).constData())
        == 0)
        return true;
    *why = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}
