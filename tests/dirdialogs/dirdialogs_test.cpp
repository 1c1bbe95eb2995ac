#include "dialogdriver.h"
#include "dirdialogs/createdirform.h"
#include "dirdialogs/dirlist.h"
#include "dirdialogs/drivelist.h"
#include "dirdialogs/selectdir.h"
#include "platform/filesystemobject.h"
#include "testsupport.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// The new-directory command and the picker, driven through their controls' names while they are
// shown modally.
class DirDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.mkdir("P/Sub");
        dirSel.setPath(drive.win("P"));
    }

    // Runs the command; steps act on the new-directory dialog while it is shown.
    void createHere(const std::function<void(QWidget &)> &steps)
    {
        whileModal("createDirForm", steps);
        createDirectoryHere(dirSel, drvSel, s_DirSpec, b_CreateDir);
    }
    static QLineEdit *newDir(QWidget &form) { return form.findChild<QLineEdit *>("newDir"); }
    QStringList entries(const QString &relative) const
    {
        return QDir(drive.native(relative)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    TempDrive drive;
    DriveList drvSel;
    DirList dirSel;
    QString s_DirSpec;
    bool b_CreateDir = false;
    RecordedMessages recorded;
};

TEST_F(DirDialogs, TypedNamesLoseRefusedCharactersAndLevelsAreMade)
{
    createHere([&](QWidget &form) {
        EXPECT_EQ(form.windowTitle(), "Quillet 1.00 [Create Directory]");
        EXPECT_EQ(form.findChild<QLabel *>("dirSpec")->text(), drive.win("P") + QLatin1Char('\\'));
        auto *create = form.findChild<QPushButton *>("create");
        EXPECT_FALSE(create->isEnabled());
        QTest::keyClicks(newDir(form), "/:*?\"<>|");
        EXPECT_EQ(newDir(form)->text(), QString());
        EXPECT_FALSE(create->isEnabled());
        QTest::keyClicks(newDir(form), "2005\\A");
        newDir(form)->setCursorPosition(2);
        QTest::keyClicks(newDir(form), "/");
        EXPECT_EQ(newDir(form)->text(), "2005\\A");
        EXPECT_EQ(newDir(form)->cursorPosition(), 6);
        press(form, "create");
    });
    EXPECT_TRUE(b_CreateDir);
    EXPECT_EQ(entries("P/2005"), QStringList { "A" });
    EXPECT_EQ(s_DirSpec, drive.win("P\\2005\\A"));
    EXPECT_EQ(dirSel.path(), s_DirSpec);
    EXPECT_EQ(drvSel.drive(), "T:");

    // Cancel and Esc make nothing, also right after a Create; ".." names the parent's sibling.
    createHere([&](QWidget &form) {
        newDir(form)->setText("Kept");
        press(form, "cancel");
    });
    EXPECT_FALSE(b_CreateDir);
    createHere([&](QWidget &form) {
        newDir(form)->setText("Kept");
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    EXPECT_TRUE(entries("P/2005/A").isEmpty());
    dirSel.setPath(drive.win("P"));
    createHere([&](QWidget &form) {
        newDir(form)->setText("..\\x");
        press(form, "create");
    });
    EXPECT_EQ(entries(QString()), (QStringList { "P", "x" }));
    EXPECT_TRUE(recorded.shown.isEmpty());
}

TEST_F(DirDialogs, AFailedCreationShowsOneMessageAndKeepsTheLists)
{
    // The parent vanished while the dialog was open.
    createHere([&](QWidget &form) {
        newDir(form)->setText("New");
        QDir(drive.native("P")).removeRecursively();
        press(form, "create");
    });
    EXPECT_EQ(
        recorded.texts(), QStringList { "Quillet 1.00 [Error]|Error Creating Directory.       " });
    EXPECT_EQ(dirSel.path(), drive.win("P"));
    EXPECT_FALSE(QFileInfo::exists(drive.native("P/New")));
}

TEST_F(DirDialogs, TheParentEndsInOneBackslashAndLongOnesAreShortenedAtFortyTwoCharacters)
{
    dirSel.setPath(drive.win());
    createHere([&](QWidget &form) {
        EXPECT_EQ(form.findChild<QLabel *>("dirSpec")->text(), "T:\\");
        press(form, "cancel");
    });
    // "T:\" and the levels: 41 characters shown whole, 42 shortened.
    for (const int length : { 41, 42 }) {
        const QString level = QString(length - 3, QLatin1Char('d'));
        drive.mkdir(level);
        dirSel.setPath(drive.win(level));
        const QString path = dirSel.path();
        ASSERT_EQ(path.size(), length);
        createHere([&](QWidget &form) {
            const QString shown = form.findChild<QLabel *>("dirSpec")->text();
            EXPECT_EQ(shown,
                (length < 42 ? path : path.left(12) + " ... " + path.right(25))
                    + QLatin1Char('\\'));
            press(form, "cancel");
        });
    }
}

TEST_F(DirDialogs, ThePickerReturnsTheOpenDirectoryNotTheHighlightedOne)
{
    QString chosen = "unchanged";
    for (const bool select : { false, true }) {
        selectDir picker(chosen, s_DirSpec, b_CreateDir);
        picker.setStartDirectory(drive.win("P"));
        picker.show();
        auto *list = picker.findChild<DirList *>("dirSel");
        auto *button = picker.findChild<QPushButton *>("mnu_CreateDir");
        // A right-click shows the create command at the pointer; a left click hides it again.
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(20, 10));
        EXPECT_TRUE(button->isVisible() && button->isEnabled());
        EXPECT_EQ(
            button->pos(), list->geometry().topLeft() + list->viewport()->pos() + QPoint(20, 10));
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
        EXPECT_FALSE(button->isVisible());
        list->setCurrentRow(list->count() - 1);
        EXPECT_EQ(list->currentItem()->text(), "Sub");
        press(picker, select ? "done" : "cancel");
        EXPECT_EQ(chosen, select ? drive.win("P") : "unchanged");
    }
    // With nothing open, Select hands back nothing rather than an empty entry.
    selectDir empty(chosen, s_DirSpec, b_CreateDir);
    empty.setStartDirectory(drive.win("Nope"));
    empty.show();
    press(empty, "done");
    EXPECT_EQ(chosen, drive.win("P"));
}

#ifndef Q_OS_WIN
// Drives mapped by the test: off Windows only.
TEST_F(DirDialogs, ThePickersDriveListMovesTheDirectoryListOrGoesBack)
{
    // An earlier list opened D:\Out\Sub, removed since. The drive A: cannot be read.
    TempDrive d(QLatin1Char('D'));
    d.mkdir("Out/Sub");
    ASSERT_TRUE(dirSel.setPath("D:\\Out\\Sub"));
    QDir(d.native("Out/Sub")).removeRecursively();
    FileSystemObject::setDrives({ { QLatin1Char('A'), drive.native("gone") },
        { QLatin1Char('D'), d.native() }, { QLatin1Char('T'), drive.native() } });

    QString chosen;
    selectDir picker(chosen, s_DirSpec, b_CreateDir);
    picker.setStartDirectory(drive.win("P"));
    auto *drives = picker.findChild<DriveList *>("drvSel");
    auto *list = picker.findChild<DirList *>("dirSel");
    QStringList shown;
    for (int step = 0; step < 2; ++step) {
        QTest::keyClick(drives, Qt::Key_Up);
        shown.append(drives->drive() + QLatin1Char(' ') + list->path());
    }
    EXPECT_EQ(shown, QStringList({ "D: D:\\Out", "D: D:\\Out" }));
}
#endif
