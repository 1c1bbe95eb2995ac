#include "selectdir.h"

#include "createdirform.h"
#include "dirlist.h"
#include "drivelist.h"
#include "loghelp/messagewindow.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

selectDir::selectDir(QString &s_tmpSelDir, QString &s_DirSpec, bool &b_CreateDir, QWidget *parent)
    : QDialog(parent)
    , s_tmpSelDir(s_tmpSelDir)
{
    setObjectName(QStringLiteral("selectDir"));
    drvSel = new DriveList(this);
    drvSel->setObjectName(QStringLiteral("drvSel"));
    dirSel = new DirList(this);
    dirSel->setObjectName(QStringLiteral("dirSel"));
    dirSel->setToolTip(QStringLiteral("Right-Click to create directory..."));
    done = new QPushButton(QStringLiteral("&Select"), this);
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    // Outside the layout: it appears where the user right-clicked.
    mnu_CreateDir = new QPushButton(QStringLiteral("Create new directory here..."), this);
    mnu_CreateDir->setObjectName(QStringLiteral("mnu_CreateDir"));
    mnu_CreateDir->setAutoDefault(false);
    hideCreateButton();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(done);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(drvSel);
    layout->addWidget(dirSel, 1);
    layout->addLayout(buttons);
    resize(420, 380);

    // A failure a handler does not handle itself is shown, never passed to the event loop.
    followDrives(*dirSel, *drvSel);
    connect(dirSel, &DirList::mousePressed, this,
        guarded([this](Qt::MouseButton, Qt::MouseButtons buttons, const QPoint &position) {
            dirSelMousePressed(buttons, position);
        }));
    connect(done, &QPushButton::clicked, this, guarded([this] {
        // With no directory open there is nothing to hand back; an empty entry would send the
        // format's files to the output base directory.
        if (!dirSel->path().isEmpty())
            this->s_tmpSelDir = dirSel->path();
        accept();
    }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(mnu_CreateDir, &QPushButton::clicked, this, guarded([this, &s_DirSpec, &b_CreateDir] {
        hideCreateButton();
        createDirectoryHere(*dirSel, *drvSel, s_DirSpec, b_CreateDir);
    }));
}

void selectDir::setStartDirectory(const QString &directory)
{
    dirSel->setPath(directory);
    // Choosing the drive of the directory shown keeps the list where it is.
    drvSel->setDrive(dirSel->path());
}

void selectDir::hideCreateButton()
{
    mnu_CreateDir->hide();
    mnu_CreateDir->setEnabled(false);
}

void selectDir::mousePressEvent(QMouseEvent *event)
{
    hideCreateButton();
    QDialog::mousePressEvent(event);
}

void selectDir::dirSelMousePressed(Qt::MouseButtons buttons, const QPoint &position)
{
    hideCreateButton();
    if (!(buttons & Qt::RightButton))
        return;
    mnu_CreateDir->adjustSize();
    mnu_CreateDir->move(dirSel->geometry().topLeft() + position);
    mnu_CreateDir->setEnabled(true);
    mnu_CreateDir->show();
    mnu_CreateDir->raise();
}
