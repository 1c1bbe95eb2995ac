#pragma once

#include <QListWidget>

class DriveList;

// The directory list box: the open directory's ancestors from the drive's root down, the open
// directory itself, and its subdirectories in name order. Paths are Windows path text through
// FileSystemObject: "C:\" for a drive's root, "C:\Out\DXF" below it. Double-click or Enter on an
// entry opens it; an entry that is only highlighted does not change the open directory.
class DirList : public QListWidget {
    Q_OBJECT

public:
    explicit DirList(QWidget *parent = nullptr);

    // The open directory; "" before any was opened.
    QString path() const;
    // Opens a directory (any spelling FileSystemObject takes: "c:\out\", "C:"); false, and the
    // list stays as it is, when it does not exist or cannot be read, or the text has no drive. A
    // drive alone ("C:") opens the drive's current directory; "C:DXF" is taken below it.
    bool setPath(const QString &path);
    // Reads the open directory's subdirectories again, for directories made or removed since.
    void refresh();

    // A drive's current directory, which a drive list's change opens: the directory last opened
    // on the drive ("C:") in any list of this process, or the drive's root when none was. When that
    // directory has gone since, its nearest ancestor that can be opened stands for it. "" when not
    // even the drive's root can be opened, or the drive does not exist.
    static QString currentDirectoryOf(const QString &drive);
    // The directory itself when a list can open it, else its nearest ancestor that can be opened;
    // "" when none can, or the text names no directory on a drive.
    static QString openableDirectory(const QString &directory);

signals:
    // The open directory changed, by the user or by setPath.
    void pathChanged(const QString &path);
    // A mouse button went down on the list: the button, every button now held, and the position
    // in the list's coordinates. A right-click pops up the owner's commands.
    void mousePressed(Qt::MouseButton button, Qt::MouseButtons buttons, const QPoint &position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool open(const QString &directory);
    void fill(const QStringList &subdirectories);

    QString openPath;
};

// The directory list follows the drive list: a drive chosen opens its current directory. When
// nothing on that drive can be opened, the list stays where it was and the drive list goes back
// to the list's drive, so the two never disagree.
void followDrives(DirList &directories, DriveList &drives);
