#include "moduleinfo.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <string>
#include <windows.h>
#else
#include "quilletversion.h"

#include <dlfcn.h>
#endif

namespace {

// Any address inside this module will do.
void moduleAnchor() { }

#ifdef Q_OS_WIN
HMODULE ownModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&moduleAnchor), &module);
    return module;
}

QString ownModuleFileName()
{
    wchar_t name[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(ownModule(), name, DWORD(std::size(name)));
    return length > 0 && length < std::size(name) ? QString::fromWCharArray(name, length)
                                                  : QString();
}

// One text of the resource's US English, Unicode block, which the resource script writes.
QString versionText(const QByteArray &resource, const wchar_t *name)
{
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void *text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(resource.constData(), path.c_str(), &text, &length) || length == 0)
        return {};
    // The length counts the closing NUL.
    return QString::fromWCharArray(static_cast<const wchar_t *>(text), int(length) - 1);
}
#endif

} // namespace

ModuleVersion moduleVersion()
{
#ifdef Q_OS_WIN
    // Read from the module's own file, as the system shows it in the file's properties.
    const std::wstring file = ownModuleFileName().toStdWString();
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
    QByteArray resource(qsizetype(size), '\0');
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, resource.data()))
        return {};
    ModuleVersion version { versionText(resource, L"ProductName"), 0, 0,
        versionText(resource, L"LegalCopyright"), versionText(resource, L"FileDescription") };
    void *fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(resource.constData(), L"\\", &fixed, &length)
        && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto *info = static_cast<const VS_FIXEDFILEINFO *>(fixed);
        version.major = HIWORD(info->dwFileVersionMS);
        version.minor = LOWORD(info->dwFileVersionMS);
    }
    return version;
#else
    return { QStringLiteral(QUILLET_PRODUCT_NAME), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR,
        QStringLiteral(QUILLET_COPYRIGHT), QStringLiteral(QUILLET_DESCRIPTION) };
#endif
}

namespace {

QString &movedModuleDirectory()
{
    static QString directory;
    return directory;
}

} // namespace

void setModuleDirectory(const QString &nativeDirectory)
{
    movedModuleDirectory() = nativeDirectory;
}

QString moduleDirectory()
{
    if (!movedModuleDirectory().isEmpty())
        return movedModuleDirectory();
#ifdef Q_OS_WIN
    const QString file = ownModuleFileName();
    if (!file.isEmpty())
        return QFileInfo(file).absolutePath();
#else
    Dl_info info {};
    // A loaded plugin has an absolute file name; the executable itself may be known only by the
    // name it was started with, so its directory comes from the application instead.
    if (dladdr(reinterpret_cast<void *>(&moduleAnchor), &info) != 0 && info.dli_fname
        && info.dli_fname[0] == '/')
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
#endif
    return QCoreApplication::applicationDirPath();
}

quintptr moduleHandle()
{
#ifdef Q_OS_WIN
    return reinterpret_cast<quintptr>(ownModule());
#else
    Dl_info info {};
    if (dladdr(reinterpret_cast<void *>(&moduleAnchor), &info) != 0)
        return reinterpret_cast<quintptr>(info.dli_fbase);
    return 0;
#endif
}
