#pragma once

#include <QDialog>

class DirList;
class DriveList;
class QPushButton;

// The directory picker: a drive list and a directory list; Select hands back the directory that
// is open, not one that is only highlighted. A right-click on the directory list offers
// "Create new directory here..." at the pointer.
class selectDir : public QDialog {
    Q_OBJECT

public:
    // s_tmpSelDir is the caller's: Select puts the open directory there, Cancel leaves it, and so
    // does Select while no directory is open. The new-directory command leaves its results in
    // s_DirSpec and b_CreateDir.
    selectDir(
        QString &s_tmpSelDir, QString &s_DirSpec, bool &b_CreateDir, QWidget *parent = nullptr);

    // Opens the directory, when it can be opened, with its drive chosen in the drive list.
    void setStartDirectory(const QString &directory);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void dirSelMousePressed(Qt::MouseButtons buttons, const QPoint &position);
    void hideCreateButton();

    QString &s_tmpSelDir;
    DriveList *drvSel;
    DirList *dirSel;
    QPushButton *done;
    QPushButton *cancel;
    QPushButton *mnu_CreateDir;
};
