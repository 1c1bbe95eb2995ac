#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <ostream>

// A temporary directory played as a drive letter for the life of the object; the process's drive
// map is restored afterwards.
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
