#include "moduleinfo.h"

#include "quilletversion.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

ModuleVersion moduleVersion()
{
    return { QStringLiteral(QUILLET_PRODUCT_NAME), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR,
        QStringLiteral(QUILLET_COPYRIGHT), QStringLiteral(QUILLET_DESCRIPTION) };
}

namespace {

// Any address inside this module will do.
void moduleAnchor() { }

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
    HMODULE module = nullptr;
    wchar_t name[MAX_PATH * 4];
    if (GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&moduleAnchor), &module)
        && GetModuleFileNameW(module, name, DWORD(std::size(name))) > 0)
        return QFileInfo(QString::fromWCharArray(name)).absolutePath();
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
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&moduleAnchor), &module);
    return reinterpret_cast<quintptr>(module);
#else
    Dl_info info {};
    if (dladdr(reinterpret_cast<void *>(&moduleAnchor), &info) != 0)
        return reinterpret_cast<quintptr>(info.dli_fbase);
    return 0;
#endif
}
