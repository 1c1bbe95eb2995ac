#include "createdirform.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "dirlist.h"
#include "drivelist.h"
#include "loghelp/messagewindow.h"
#include "platform/msgbox.h"
#include "platform/quilleterror.h"
#include "save/pathutils.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<createDirForm> createDirForm::openForm;

createDirForm::createDirForm(const QString &parentDirectory, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("createDirForm"));
    setWindowTitle(Quilletmain::productAndVersion() + QStringLiteral(" [Create Directory]"));
    dirSpec = new QLabel(shortenedPath(parentDirectory, 42, 12, 25), this);
    dirSpec->setObjectName(QStringLiteral("dirSpec"));
    newDir = new QLineEdit(this);
    newDir->setObjectName(QStringLiteral("newDir"));
    create = new QPushButton(QStringLiteral("C&reate"), this);
    create->setObjectName(QStringLiteral("create"));
    create->setDefault(true);
    create->setEnabled(false);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(create, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(dirSpec);
    layout->addWidget(newDir);
    layout->addWidget(buttons);
    setMinimumWidth(380);

    connect(newDir, &QLineEdit::textChanged, this, guarded([this] { newDirChanged(); }));
    connect(create, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    openForm = this;
}

createDirForm::~createDirForm() = default;

createDirForm *createDirForm::existing()
{
    return openForm;
}

QString createDirForm::name() const
{
    return cleanString(newDir->text(), newDirRefusedChars());
}

void createDirForm::newDirChanged()
{
    const QString cleaned = name();
    if (cleaned != newDir->text()) {
        // The caret goes to the end, where the next character is most likely typed.
        newDir->setText(cleaned);
        newDir->setCursorPosition(int(cleaned.size()));
    }
    create->setEnabled(!cleaned.isEmpty());
}

void createDirectoryHere(DirList &dirSel, DriveList &drvSel, QString &s_DirSpec, bool &b_CreateDir)
{
    const QString parentDirectory = dirSel.path();
    createDirForm form(parentDirectory);
    b_CreateDir = form.exec() == QDialog::Accepted;
    if (!b_CreateDir)
        return;
    const QString name = form.name();
    s_DirSpec = name;
    try {
        mkRecurseDir(parentDirectory, name, s_DirSpec);
        if (!dirSel.setPath(s_DirSpec))
            throw QuilletError(12101, QStringLiteral("Unable to create directories."));
        drvSel.setDrive(s_DirSpec);
        dirSel.refresh();
    } catch (const QuilletError &) {
        MsgBox::show(QStringLiteral("Error Creating Directory.       "), MsgBox::Icon::Exclamation,
            ErrorText::title());
    }
}
