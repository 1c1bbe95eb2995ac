#include "managedestdir.h"

#include "addin/quilletmain.h"
#include "destdirs/destdirtable.h"
#include "dirdialogs/dirlist.h"
#include "dirdialogs/selectdir.h"
#include "formats/outputformats.h"
#include "loghelp/messagewindow.h"
#include "platform/settingsstore.h"
#include "save/pathutils.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

// The rows keep the proportions of their layout in twips, at 15 twips to the pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString arrayName(const char *name, int index)
{
    return QString::fromLatin1(name) + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

constexpr int rowTop = 800;
constexpr int rowStep = 500;
constexpr int dialogWidth = 7200;

} // namespace

manageDestDir::manageDestDir(DestDirTable &ocDestDir, const QString &base, QString &s_DirSpec,
    bool &b_CreateDir, QWidget *parent)
    : QDialog(parent)
    , ocDestDir(ocDestDir)
    , base(base)
    , s_DirSpec(s_DirSpec)
    , b_CreateDir(b_CreateDir)
{
    setObjectName(QStringLiteral("manageDestDir"));
    setWindowTitle(Quilletmain::productAndVersion()
        + QStringLiteral(" [Manage File Destination Directories]"));

    auto *fldrIcon = new QLabel(this);
    fldrIcon->setObjectName(QStringLiteral("fldrIcon"));
    fldrIcon->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(20, 18));
    fldrIcon->setToolTip(QStringLiteral("Current base directory"));
    fldrIcon->setGeometry(twips(160, 240, 300, 270));
    rootDir = new QLabel(shortenedPath(base, 80, 20, 55), this);
    rootDir->setObjectName(QStringLiteral("rootDir"));
    rootDir->setToolTip(QStringLiteral("Current Base Directory"));
    rootDir->setGeometry(twips(510, 280, dialogWidth - 600, 270));

    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    done = new QPushButton(QStringLiteral("&Done"), this);
    done->setObjectName(QStringLiteral("done"));
    // Enter in an entry must not end the dialog; Done is pressed on purpose.
    for (QPushButton *button : { cancel, done })
        button->setAutoDefault(false);

    QWidget *previous = done;
    setTabOrder(cancel, done);
    for (int i = 0; i < OutputFormats::count; ++i) {
        auto *label = new QLabel(OutputFormats::caption(i), this);
        label->setObjectName(arrayName("lbl_Fmt", i));
        label->setGeometry(twips(160, rowTop + 50 + rowStep * i, 930, 270));
        auto *entry = new QLineEdit(this);
        entry->setObjectName(arrayName("tb_FmtDir", i));
        entry->setGeometry(twips(1250, rowTop + rowStep * i, 5300, 315));
        entry->setToolTip(QStringLiteral("All paths are relative to base directory, unless "
                                         "preceeded by a drive speci"
                                         "fication"));
        entry->installEventFilter(this);
        connect(
            entry, &QLineEdit::textChanged, this, guarded([this, entry] { entryChanged(entry); }));
        entry->setText(ocDestDir.entry(OutputFormats::destDirKey(i)));
        label->setBuddy(entry);
        auto *pick = new QPushButton(QStringLiteral(" ... "), this);
        pick->setObjectName(arrayName("btn_FmtDirSel", i));
        pick->setGeometry(twips(6530, rowTop + rowStep * i, 340, 315));
        pick->setToolTip(QStringLiteral("Select absolute path destination directory"));
        pick->setAutoDefault(false);
        connect(pick, &QPushButton::clicked, this, guarded([this, i] { pickDirectory(i); }));
        tb_FmtDir.append(entry);
        setTabOrder(previous, entry);
        setTabOrder(entry, pick);
        previous = pick;
    }

    const int buttonsTop = rowTop + rowStep * int(OutputFormats::count) + 110;
    isCreateDir = new QCheckBox(QStringLiteral("Create &New Directories"), this);
    isCreateDir->setObjectName(QStringLiteral("isCreateDir"));
    isCreateDir->setToolTip(QStringLiteral(
        "If not created now, any new directories will be created while saving files"));
    isCreateDir->setGeometry(twips(1250, buttonsTop, 3000, 315));
    setTabOrder(previous, isCreateDir);
    done->setGeometry(twips(4700, buttonsTop, 1050, 375));
    cancel->setGeometry(twips(5820, buttonsTop, 1050, 375));
    setFixedSize(
        twips(0, 0, dialogWidth, rowTop + rowStep * int(OutputFormats::count) + 1200).size());

    connect(done, &QPushButton::clicked, this, guarded([this] { doneClicked(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    cancel->setFocus();
}

void manageDestDir::entryChanged(QLineEdit *entry)
{
    const int caret = entry->cursorPosition();
    const QString cleaned = cleanString(entry->text(), destDirRefusedChars());
    if (cleaned == entry->text())
        return;
    entry->setText(cleaned);
    entry->setCursorPosition(std::min(caret, int(cleaned.size())));
}

bool manageDestDir::eventFilter(QObject *watched, QEvent *event)
{
    // Delete empties the whole entry, whatever modifier keys are held.
    auto *entry = qobject_cast<QLineEdit *>(watched);
    if (entry && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        entry->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void manageDestDir::pickDirectory(int index)
{
    QLineEdit *entry = tb_FmtDir.at(index);
    s_tmpSelDir = entry->text();
    selectDir picker(s_tmpSelDir, s_DirSpec, b_CreateDir, this);
    picker.setWindowTitle(Quilletmain::productAndVersion() + QStringLiteral(" [Directory for ")
        + OutputFormats::caption(index) + QStringLiteral(" files]"));
    picker.setStartDirectory(pickerStartDirectory(entry->text(), base));
    picker.exec();
    entry->setText(s_tmpSelDir);
}

QString pickerStartDirectory(const QString &entry, const QString &base)
{
    if (entry.mid(1, 2) == QLatin1String(":\\")) {
        const QString directory = DirList::openableDirectory(entry);
        if (!directory.isEmpty())
            return directory;
    }
    return DirList::openableDirectory(base);
}

void manageDestDir::doneClicked()
{
    for (int i = 0; i < OutputFormats::count; ++i)
        ocDestDir.replace(OutputFormats::destDirKey(i), tb_FmtDir.at(i)->text().trimmed());
    ocDestDir.persist(userSettings());
    if (isCreateDir->isChecked())
        createRelativeEntries(ocDestDir, base);
    accept();
}
