#include "testsupport.h"

#include "addin/quilletmain.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <csignal>
#include <stdexcept>
#include <utility>

// Running out of disk and dropping a root's file rights are played with the Linux kernel's means.
#ifndef Q_OS_WIN
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#ifdef Q_OS_WIN
namespace {

bool isTestDrive(QChar letter)
{
    return qEnvironmentVariable("QUILLET_TEST_DRIVES").contains(letter.toUpper());
}

void emptyDirectory(const QString &nativeDir)
{
    const QDir dir(nativeDir);
    for (const QFileInfo &entry :
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFile::setPermissions(entry.filePath(), QFile::ReadOwner | QFile::WriteOwner);
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

std::wstring deviceName(QChar letter)
{
    return std::wstring { wchar_t(letter.toUpper().unicode()), L':' };
}

} // namespace

TempDrive::TempDrive(QChar letter)
    : letter(letter.toUpper())
{
    // Paths on the drive name its letter, as the add-in's own would.
    root = QString(this->letter) + QStringLiteral(":/");
    if (isTestDrive(letter)) {
        emptyDirectory(root);
        return;
    }
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    const std::wstring target = QDir::toNativeSeparators(dir.path()).toStdWString();
    if (!DefineDosDeviceW(0, deviceName(letter).c_str(), target.c_str()))
        throw std::runtime_error("cannot substitute the drive for a temporary directory");
}

TempDrive::~TempDrive()
{
    if (isTestDrive(letter)) {
        emptyDirectory(root);
        return;
    }
    const std::wstring target = QDir::toNativeSeparators(dir.path()).toStdWString();
    DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, deviceName(letter).c_str(),
        target.c_str());
}

namespace {

LPCWSTR wide(const QString &text)
{
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// The test process's own hive, while one is set.
HKEY &ownHive()
{
    static HKEY hive = nullptr;
    return hive;
}

// Replaces the key at to (removed first) by a copy of the key at from, when from exists.
void copyKey(HKEY root, const QString &from, const QString &to)
{
    RegDeleteTreeW(root, wide(to));
    HKEY source = nullptr;
    if (RegOpenKeyExW(root, wide(from), 0, KEY_READ, &source) != ERROR_SUCCESS)
        return;
    HKEY target = nullptr;
    if (RegCreateKeyExW(root, wide(to), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr)
        == ERROR_SUCCESS) {
        RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
}

} // namespace

TemporaryUserHive::TemporaryUserHive()
    : keyPath(QStringLiteral("Software\\Quillet tests\\%1").arg(GetCurrentProcessId()))
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(keyPath.utf16()), 0, nullptr,
            0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
            != ERROR_SUCCESS
        || RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot give the tests a registry hive of their own");
    ownHive() = key;
}

TemporaryUserHive::Shared::Shared(const QStringList &keys)
    : keys(keys)
    , savedPath(QStringLiteral("Software\\Quillet tests\\%1 saved").arg(GetCurrentProcessId()))
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    for (int i = 0; i < keys.size(); ++i) {
        copyKey(HKEY_CURRENT_USER, keys.at(i), savedPath + QStringLiteral("\\%1").arg(i));
        RegDeleteTreeW(HKEY_CURRENT_USER, wide(keys.at(i)));
    }
}

TemporaryUserHive::Shared::~Shared()
{
    for (int i = 0; i < keys.size(); ++i) {
        RegDeleteTreeW(HKEY_CURRENT_USER, wide(keys.at(i)));
        copyKey(HKEY_CURRENT_USER, savedPath + QStringLiteral("\\%1").arg(i), keys.at(i));
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, wide(savedPath));
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillet tests");
    if (ownHive())
        RegOverridePredefKey(HKEY_CURRENT_USER, ownHive());
}

TemporaryUserHive::~TemporaryUserHive()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(std::exchange(ownHive(), nullptr));
    RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(keyPath.utf16()));
    // The parent goes when no other test process still has a hive in it.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillet tests");
}
#else
TempDrive::TempDrive(QChar letter)
    : letter(letter)
    , savedDrives(FileSystemObject::drives())
{
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    root = dir.path();
    FileSystemObject::setDrive(letter, root);
}

TempDrive::~TempDrive()
{
    FileSystemObject::setDrives(savedDrives);
}
#endif

QString TempDrive::win(const QString &relative) const
{
    return QString(letter) + QStringLiteral(":\\") + relative;
}

QString TempDrive::native(const QString &relative) const
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (rel.isEmpty())
        return root;
    return root.endsWith(QLatin1Char('/')) ? root + rel : root + QLatin1Char('/') + rel;
}

QString TempDrive::copyData(const QString &dataRelative, const QString &toRelative) const
{
    const QString target = toRelative.isEmpty() ? QFileInfo(dataRelative).fileName() : toRelative;
    const QString nativeTarget = native(target);
    QDir().mkpath(QFileInfo(nativeTarget).absolutePath());
    QFile::remove(nativeTarget);
    if (!QFile::copy(testDataPath(dataRelative), nativeTarget))
        throw std::runtime_error("cannot copy test data " + dataRelative.toStdString());
    QFile::setPermissions(
        nativeTarget, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return win(target);
}

void TempDrive::mkdir(const QString &relative) const
{
    QDir().mkpath(native(relative));
}

QString pluginFile(const QString &name)
{
#ifdef Q_OS_WIN
    return name + QStringLiteral(".dll");
#else
    return QStringLiteral("lib") + name + QStringLiteral(".so");
#endif
}

QString testDataPath(const QString &relative)
{
    return QStringLiteral(QUILLET_TEST_DATA) + QLatin1Char('/') + relative;
}

QByteArray readNative(const QString &nativePath)
{
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeNative(const QString &nativePath, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(nativePath).absolutePath());
    QFile file(nativePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + nativePath.toStdString());
}

QStringList tree(const QString &nativeDir)
{
    QStringList entries;
    QDirIterator it(nativeDir,
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(QDir(nativeDir).relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

QString raisedBy(const std::function<void()> &call)
{
    // A name left by an earlier call must not pass for one the call recorded.
    Quilletmain::curProcName.clear();
    try {
        call();
    } catch (const QuilletError &error) {
        const QString text = QString::number(error.number) + QLatin1Char(' ') + error.description;
        const QString &procedure = Quilletmain::curProcName;
        return procedure.isEmpty() ? text : text + QStringLiteral(" (") + procedure + ')';
    }
    return {};
}

#ifndef Q_OS_WIN
struct FileSizeLimit::Saved {
    struct sigaction action { };
    rlimit limit {};
};

FileSizeLimit::FileSizeLimit(long long bytes)
    : saved(std::make_unique<Saved>())
{
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &saved->action);
    getrlimit(RLIMIT_FSIZE, &saved->limit);
    rlimit small = saved->limit;
    small.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &small);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &saved->limit);
    sigaction(SIGXFSZ, &saved->action, nullptr);
}

struct WithoutFileRights::Saved {
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data {};
    bool dropped = false;
};

WithoutFileRights::WithoutFileRights()
    : saved(std::make_unique<Saved>())
{
    if (syscall(SYS_capget, &saved->header, saved->data.data()) != 0)
        throw std::runtime_error("cannot read the thread's capabilities");
    // The three rights sit in the first word: overriding and bypassing file permissions, and
    // acting as every file's owner.
    const __u32 fileRights = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER;
    if ((saved->data[0].effective & fileRights) == 0)
        return;
    auto reduced = saved->data;
    reduced[0].effective &= ~fileRights;
    if (syscall(SYS_capset, &saved->header, reduced.data()) != 0)
        throw std::runtime_error("cannot drop the thread's file rights");
    saved->dropped = true;
}

WithoutFileRights::~WithoutFileRights()
{
    if (saved->dropped)
        syscall(SYS_capset, &saved->header, saved->data.data());
}
#endif

QT_BEGIN_NAMESPACE
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
