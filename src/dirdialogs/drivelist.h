#pragma once

#include <QComboBox>

// The drive list box: one entry per drive that exists (on Windows the system's drives, elsewhere
// the mapped ones), shown as "c:" followed by what the drive stands for ("c: [~/cad]", the home
// directory as "~"). The drive is "C:" text, as FileSystemObject's GetDriveName gives it.
class DriveList : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // The chosen drive, "C:"; "" when there is none.
    QString drive() const;
    // Chooses the drive of a path or drive text ("C:\Out", "c:"), without emitting driveChanged;
    // false, and nothing changes, when that drive does not exist.
    bool setDrive(const QString &path);
    // Reads the drives again; the chosen drive stays chosen while it exists, and none is chosen
    // once it has gone.
    void refresh();

signals:
    // The user chose a drive, also the one already chosen: a drive that could not be read can
    // so be tried again.
    void driveChanged(const QString &drive);
};
