#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <ostream>

// A temporary directory played as a drive letter for the life of the object; the process's drive
// map is restored afterwards. On Windows the drive is the system's: a letter named in
// QUILLET_TEST_DRIVES (drives made for the tests, which Wine needs because it does not follow
// substituted drives) is emptied before and after, any other is substituted for a temporary
// directory.
class TempDrive {
public:
    explicit TempDrive(QChar letter = QLatin1Char('T'));
    ~TempDrive();
    TempDrive(const TempDrive &) = delete;
    TempDrive &operator=(const TempDrive &) = delete;

    // "T:\" + relative (relative in Windows text, may be empty).
    QString win(const QString &relative = {}) const;
    // The native path of the same place.
    QString native(const QString &relative = {}) const;
    // Copies a file of tests/data (or of a subfolder) into the drive; returns its Windows path.
    QString copyData(const QString &dataRelative, const QString &toRelative = {}) const;
    void mkdir(const QString &relative) const;

private:
    QChar letter;
    QTemporaryDir dir;
    QString root;
    QMap<QChar, QString> savedDrives;
};

#ifndef Q_OS_WIN
// While it lives, writes past the given size fail (and do not kill the process), whoever runs
// the test: the way to make a write run out of disk on purpose.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved;
};

// While it lives, the calling thread writes, reads and changes files with no more rights than their
// permissions give, even when it runs as root; without such rights it changes nothing. The rights
// stay permitted, so that they come back afterwards.
class WithoutFileRights {
public:
    WithoutFileRights();
    ~WithoutFileRights();
    WithoutFileRights(const WithoutFileRights &) = delete;
    WithoutFileRights &operator=(const WithoutFileRights &) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved;
};
#endif

#ifdef Q_OS_WIN
// While it lives, the process's HKEY_CURRENT_USER is a fresh key of its own, deleted afterwards:
// what the tests store in the registry never meets the user's own settings, nor another test
// process's.
class TemporaryUserHive {
public:
    TemporaryUserHive();
    ~TemporaryUserHive();
    TemporaryUserHive(const TemporaryUserHive &) = delete;
    TemporaryUserHive &operator=(const TemporaryUserHive &) = delete;

    // Lets a child process and this one share the user's real hive, for the life of the object.
    class Shared {
    public:
        // The user's own values under these keys are set aside and the keys start empty; both come
        // back afterwards.
        explicit Shared(const QStringList &keys);
        ~Shared();
        Shared(const Shared &) = delete;
        Shared &operator=(const Shared &) = delete;

    private:
        QStringList keys;
        QString savedPath;
    };

private:
    QString keyPath;
};
#endif

// The first on Windows, the second elsewhere.
template <class T> constexpr T windowsOr(T onWindows, T elsewhere)
{
#ifdef Q_OS_WIN
    Q_UNUSED(elsewhere);
    return onWindows;
#else
    Q_UNUSED(onWindows);
    return elsewhere;
#endif
}

// A plugin's file name as the platform writes it: "libName.so", "Name.dll".
QString pluginFile(const QString &name);

QString testDataPath(const QString &relative);
QByteArray readNative(const QString &nativePath);
void writeNative(const QString &nativePath, const QByteArray &content);
// Every entry below a native folder, hidden ones included, as sorted relative paths, so that a
// stray directory or a leftover temporary file shows.
QStringList tree(const QString &nativeDir);
// "number description" of the QuilletError that the call raises, with " (procedure)" when the call
// recorded a procedure in Quilletmain::curProcName, the name the error messages quote; "" when it
// raises none.
QString raisedBy(const std::function<void()> &call);

// Readable texts in the failure messages of every test, also inside lists.
QT_BEGIN_NAMESPACE
void PrintTo(const QString &text, std::ostream *out);
QT_END_NAMESPACE
