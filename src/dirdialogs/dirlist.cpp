#include "dirlist.h"

#include "drivelist.h"
#include "loghelp/messagewindow.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int depthRole = Qt::UserRole + 1;

// Indents each entry by its depth below the drive's root, so that the entries read as a path.
class IndentingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return index.data(depthRole).toInt() * option.fontMetrics.height();
    }
};

QHash<QString, QString> &currentDirectories()
{
    static QHash<QString, QString> directories;
    return directories;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// The text the list shows and returns for a directory: the drive letter in upper case, one "\"
// between levels, no "." or ".." levels, and no "\" at the end except after the root. The levels
// keep their spelling, so the text names the same directory on a file system that tells case apart.
// "" for text without a drive, which would name a directory only through the process's working
// directory.
QString directoryText(const QString &text)
{
    QString drive = FileSystemObject().GetDriveName(text);
    if (drive.isEmpty())
        return {};
    QString rest = text.mid(drive.size());
    if (drive.size() == 2) {
        drive = drive.toUpper();
        // "C:" and "C:DXF" start from the drive's current directory, as Windows takes them.
        if (rest.isEmpty() || !isSeparator(rest.front()))
            rest = DirList::currentDirectoryOf(drive).mid(2) + QLatin1Char('\\') + rest;
    }
    // "." and ".." levels are settled as Windows settles them: the list shows the place itself.
    return FileSystemObject().resolveDotLevels(drive + QLatin1Char('\\') + rest);
}

// A list opens a directory only when it can read its entries.
bool canOpen(const QString &directory)
{
    const FileSystemObject fso;
    return fso.folderExists(directory) && QDir(fso.toNative(directory)).isReadable();
}

// Filled before it joins the list, so that the view hears of each entry once.
QListWidgetItem *newEntry(
    const QIcon &icon, const QString &text, const QString &path, qsizetype depth)
{
    auto *entry = new QListWidgetItem(icon, text);
    entry->setData(Qt::UserRole, path);
    entry->setData(depthRole, int(depth));
    return entry;
}

QString entryPath(const QListWidgetItem *entry)
{
    return entry ? entry->data(Qt::UserRole).toString() : QString();
}

} // namespace

DirList::DirList(QWidget *parent)
    : QListWidget(parent)
{
    setItemDelegate(new IndentingDelegate(this));
}

QString DirList::path() const
{
    return openPath;
}

bool DirList::setPath(const QString &path)
{
    try {
        const QString directory = directoryText(path);
        return !directory.isEmpty() && open(directory);
    } catch (const QuilletError &) {
        // Text that names no directory here (an unmapped drive, a NUL) opens nothing.
        return false;
    }
}

void DirList::refresh()
{
    // A directory that can no longer be read keeps the entries it showed.
    if (!openPath.isEmpty())
        open(openPath);
}

QString DirList::currentDirectoryOf(const QString &drive)
{
    const QString name = FileSystemObject().GetDriveName(drive).toUpper();
    if (name.isEmpty())
        return {};
    // The directory remembered may have been removed since; the list then opens what is left of
    // it, so that it follows the drive chosen rather than stay on another.
    return openableDirectory(currentDirectories().value(name, name + QLatin1Char('\\')));
}

QString DirList::openableDirectory(const QString &directory)
{
    try {
        QString candidate = directoryText(directory);
        if (candidate.isEmpty())
            return {};
        const qsizetype rootSize = FileSystemObject().GetDriveName(candidate).size() + 1;
        while (!canOpen(candidate)) {
            if (candidate.size() <= rootSize)
                return {};
            candidate.truncate(std::max(candidate.lastIndexOf(QLatin1Char('\\')), rootSize));
        }
        return candidate;
    } catch (const QuilletError &) {
        // Text that names no directory here (a NUL) leaves nothing to open.
        return {};
    }
}

// One read of the directory, whatever its size: the entries need nothing but the names.
bool DirList::open(const QString &directory)
{
    if (!canOpen(directory))
        return false;
    const FileSystemObject fso;
    const QDir dir(fso.toNative(directory));
    // Hidden directories are left out, as a file manager leaves them out by default.
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });

    const bool changed = directory != openPath;
    openPath = directory;
    currentDirectories().insert(fso.GetDriveName(directory).toUpper(), directory);
    fill(names);
    if (changed)
        emit pathChanged(openPath);
    return true;
}

void DirList::fill(const QStringList &subdirectories)
{
    const FileSystemObject fso;
    const QString drive = fso.GetDriveName(openPath);
    const QStringList levels
        = openPath.mid(drive.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);

    clear();
    const QString root = drive + QLatin1Char('\\');
    QListWidgetItem *openEntry
        = newEntry(style()->standardIcon(QStyle::SP_DriveHDIcon), root, root, 0);
    addItem(openEntry);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QString path = root;
    for (qsizetype i = 0; i < levels.size(); ++i) {
        path = fso.buildpath(path, levels.at(i));
        openEntry = newEntry(openIcon, levels.at(i), path, i + 1);
        addItem(openEntry);
    }
    QFont bold = font();
    bold.setBold(true);
    openEntry->setFont(bold);

    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const QString &name : subdirectories)
        addItem(newEntry(closedIcon, name, fso.buildpath(openPath, name), levels.size() + 1));
    setCurrentItem(openEntry);
}

void DirList::mousePressEvent(QMouseEvent *event)
{
    // The event comes in the viewport's coordinates; the owner places its menu by the list's.
    emit mousePressed(
        event->button(), event->buttons(), viewport()->mapTo(this, event->position().toPoint()));
    QListWidget::mousePressEvent(event);
}

void DirList::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QString directory = entryPath(itemAt(event->position().toPoint()));
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && !directory.isEmpty())
        setPath(directory);
}

void DirList::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString directory = entryPath(currentItem());
    // Enter on the open directory is left to the dialog, whose default button it presses.
    if (enter && !directory.isEmpty() && directory != openPath) {
        setPath(directory);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void followDrives(DirList &directories, DriveList &drives)
{
    QObject::connect(&drives, &DriveList::driveChanged, &directories,
        guarded([&directories, &drives](const QString &drive) {
            if (!directories.setPath(DirList::currentDirectoryOf(drive)))
                drives.setDrive(directories.path());
        }));
}
