#pragma once

#include <QDialog>
#include <QList>

class DestDirTable;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The destination directories dialog: one row per output format with its caption, its entry and
// a button that picks an absolute directory. Done replaces the table, stores every entry and,
// when asked, makes the relative directories below the output base directory at once; Cancel
// changes nothing.
class manageDestDir : public QDialog {
    Q_OBJECT

public:
    // The table and the new-directory results are the main dialog's; base is the directory open
    // in its directory list.
    manageDestDir(DestDirTable &ocDestDir, const QString &base, QString &s_DirSpec,
        bool &b_CreateDir, QWidget *parent = nullptr);

    // The directory the picker hands back.
    QString s_tmpSelDir;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void entryChanged(QLineEdit *entry);
    void pickDirectory(int index);
    void doneClicked();

    DestDirTable &ocDestDir;
    QString base;
    QString &s_DirSpec;
    bool &b_CreateDir;
    QLabel *rootDir;
    QList<QLineEdit *> tb_FmtDir;
    QCheckBox *isCreateDir;
    QPushButton *done;
    QPushButton *cancel;
};

// Where the directory picker opens for an entry: the entry itself when its second and third
// characters are ":\", otherwise the output base directory; so relative and empty entries and
// network paths start at the base. A directory that has gone gives way to its nearest ancestor
// that can be opened, and an entry on a drive with nothing to open to the base. "" only when
// not even the base's drive can be opened.
QString pickerStartDirectory(const QString &entry, const QString &base);
