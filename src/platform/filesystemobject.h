#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <optional>

// The add-in's file system, spoken in Windows path text: "\" between levels and an optional drive
// letter "X:" in front. This is the only place where such text becomes a native path.
//
// On Windows the mapping is the identity and the system resolves the text itself. Elsewhere a
// process-wide drive map plays the drives: by default C: is the user's home directory and Z: is
// "/"; QUILLET_DRIVES ("C:=/srv/cad;Z:=/") replaces the default, and setDrive() changes it for the
// process. A drive exists exactly when it is mapped: nothing exists on another, and using one is
// refused. Rooted text without a drive ("\Out") is on C:, relative text continues from the current
// directory. "." and ".." levels are resolved as Windows resolves them: "." is dropped, ".."
// removes the level before it and stays at the drive's root at the top, so no text ever leads out
// of the directory its drive is mapped to. Text the operating system cannot take (a NUL) is
// refused with a QuilletError, never shortened. On Windows so is a level the system would refuse
// or take for another name (a device name such as CON, one of < > : " | ? *, a trailing dot or
// blank); nothing exists under such a name.
class FileSystemObject {
public:
    // Drive map.
    static QMap<QChar, QString> drives();
    static void setDrive(QChar letter, const QString &nativeRoot);
    static void setDrives(const QMap<QChar, QString> &map);
    // Back to QUILLET_DRIVES, or the default map when it is unset.
    static void resetDrives();
    // "X:=DIR"; DIR may be relative to the current directory. False for malformed text.
    static bool parseDriveMapping(const QString &mapping, QChar *letter, QString *nativeRoot);

    bool folderExists(const QString &path) const;
    bool fileexists(const QString &path) const;
    // The two joined with exactly one "\" between them.
    QString buildpath(const QString &path, const QString &name) const;
    // One directory whose parent exists.
    void createfolder(const QString &path) const;
    QString GetFileName(const QString &path) const;
    QString GetBaseName(const QString &path) const;
    // "C:" for C:\Out, "\\server\share" for a network path, "" when there is none.
    QString GetDriveName(const QString &path) const;
    // Off Windows, whether the drive is mapped; on Windows, whether the system has it.
    bool DriveExists(const QString &drive) const;
    // The same place in text with its "." and ".." levels resolved and one "\" between levels.
    // Relative text keeps the ".." levels that climb above it, for the current directory to take.
    QString resolveDotLevels(const QString &path) const;

    QString toNative(const QString &path) const;
    // Through the longest mapped root; a native path outside every root is refused.
    QString fromNative(const QString &nativePath) const;

    QByteArray readFile(const QString &path) const;
    // Replaces the content of an existing, writable file in one step; a failure leaves the old
    // content as it was.
    void replaceFile(const QString &path, const QByteArray &content) const;

private:
    std::optional<QFileInfo> existingInfo(const QString &path) const;
};
