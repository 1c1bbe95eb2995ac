#include "drivelist.h"

#include "platform/filesystemobject.h"

#include <QDir>

namespace {

#ifndef Q_OS_WIN
// The user's home directory reads as "~", as shells and file dialogs show it: the default C: is
// the home directory, and its full path tells the user nothing new.
QString shownRoot(const QString &root)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    if (home != QLatin1String("/") && (root == home || root.startsWith(home + QLatin1Char('/'))))
        return QLatin1Char('~') + root.mid(home.size());
    return QDir::toNativeSeparators(root);
}
#endif

} // namespace

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this,
        [this](int index) { emit driveChanged(itemData(index).toString()); });
    refresh();
}

QString DriveList::drive() const
{
    return currentData().toString();
}

bool DriveList::setDrive(const QString &path)
{
    const QString drive = FileSystemObject().GetDriveName(path).toUpper();
    const int index = drive.isEmpty() ? -1 : findData(drive);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

void DriveList::refresh()
{
    const QString chosen = drive();
    clear();
#ifdef Q_OS_WIN
    for (const QFileInfo &root : QDir::drives()) {
        const QString drive = root.path().left(2).toUpper();
        addItem(drive.toLower(), drive);
    }
#else
    const QMap<QChar, QString> drives = FileSystemObject::drives();
    for (auto it = drives.cbegin(); it != drives.cend(); ++it) {
        const QString drive = QString(it.key()) + QLatin1Char(':');
        addItem(drive.toLower() + QStringLiteral(" [") + shownRoot(it.value()) + QLatin1Char(']'),
            drive);
    }
#endif
    if (!chosen.isEmpty())
        setCurrentIndex(findData(chosen));
}
