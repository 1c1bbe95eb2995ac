#pragma once

#include <QDialog>
#include <QPointer>

class DirList;
class DriveList;
class QLabel;
class QLineEdit;
class QPushButton;

// The new-directory dialog: the directory a new one is made in, shortened to fit, and the name of
// the new directory, which may hold several "\"-separated levels. Refused characters are taken
// out as they are typed.
class createDirForm : public QDialog {
    Q_OBJECT

public:
    explicit createDirForm(const QString &parentDirectory, QWidget *parent = nullptr);
    ~createDirForm() override;

    // The dialog while it is open, so that a failing GO! can close it with everything else.
    static createDirForm *existing();

    // The typed name without refused characters.
    QString name() const;

private:
    void newDirChanged();

    QLabel *dirSpec;
    QLineEdit *newDir;
    QPushButton *create;
    QPushButton *cancel;
    static QPointer<createDirForm> openForm;
};

// The command "Create new directory here...": asks for a name below the directory open in dirSel,
// makes it with mkRecurseDir and opens it in dirSel and drvSel. The name and then the directory
// made are left in s_DirSpec, and b_CreateDir tells whether the user chose Create. Any failure
// shows "Error Creating Directory." and leaves the lists as they were.
void createDirectoryHere(DirList &dirSel, DriveList &drvSel, QString &s_DirSpec, bool &b_CreateDir);
