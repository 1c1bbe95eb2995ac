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

// Running out of disk and dropping a root's file rights are played with the Linux kernel's means.
#ifndef Q_OS_WIN
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

TempDrive::TempDrive(QChar letter)
    : letter(letter)
    , savedDrives(FileSystemObject::drives())
{
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    FileSystemObject::setDrive(letter, dir.path());
}

TempDrive::~TempDrive()
{
    FileSystemObject::setDrives(savedDrives);
}

QString TempDrive::win(const QString &relative) const
{
    return QString(letter) + QStringLiteral(":\\") + relative;
}

QString TempDrive::native(const QString &relative) const
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return rel.isEmpty() ? dir.path() : dir.path() + QLatin1Char('/') + rel;
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
