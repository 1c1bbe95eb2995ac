#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

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

QString testDataPath(const QString &relative);
QByteArray readNative(const QString &nativePath);
void writeNative(const QString &nativePath, const QByteArray &content);
