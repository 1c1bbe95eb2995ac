#pragma once

#include <QList>
#include <QString>
#include <functional>

class QFileInfo;
class QIODevice;

// Saves held back from their targets: each file is written whole beside its target, under a
// name of its own, and renamed over the target only when its owner says so. quillet-batch's
// worker processes stage their saves, so that their call decides, in the drawings' order, which
// of them land.
class StagedSaves {
public:
    struct File {
        QString target;
        QString staged;
    };

    // Writes the target's new content through write into a new file beside it, with the
    // permissions a save in place would give it. False, leaving nothing, when it cannot, with
    // the reason in why: the system's, or the one write gave there.
    bool write(const QString &target, const std::function<bool(QIODevice &)> &write, QString *why);
    // The same for a save that writes the file itself: save is given the staged file's name and
    // answers whether it wrote it, with its reason in why when not.
    bool stage(const QString &target,
        const std::function<bool(const QString &staged, QString *why)> &save, QString *why);
    // The file staged for the target, or empty.
    QString stagedFor(const QString &target) const;
    // In the order they were written.
    const QList<File> &files() const { return staged; }
    // Forgets the files, leaving them on disk for whoever holds their names.
    void clear() { staged.clear(); }
    // Told each file's name before the file is made, so that a record of it can outlive this
    // process.
    std::function<void(const QString &staged)> beforeStaging;

    // Renames the staged file over its target, replacing it at once; false, with why and both
    // files left as they were, when it cannot.
    static bool commit(const File &file, QString *why);

private:
    // Hidden, and unique to this process and save, so that no other writer meets it; the
    // extension stays, as the host reads a file by it.
    QString stagedName(const QFileInfo &target);

    QList<File> staged;
    int written = 0;
};
