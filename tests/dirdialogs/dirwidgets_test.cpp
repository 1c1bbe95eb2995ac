#include "dirdialogs/dirlist.h"
#include "dirdialogs/drivelist.h"
#include "platform/filesystemobject.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList column(const QAbstractItemView &view, int role)
{
    QStringList values;
    for (int row = 0; row < view.model()->rowCount(); ++row)
        values.append(view.model()->index(row, 0).data(role).toString());
    return values;
}

QStringList firstArguments(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0).toString());
    return values;
}

} // namespace

class DirWidgets : public ::testing::Test {
protected:
    DirWidgets()
    {
        for (const char *dir :
            { "Out/DXF/b", "Out/DXF/A", "Out/DXF/C", "Out/DXF/.cache", "Out/PDF" })
            drive.mkdir(dir);
        writeNative(drive.native("Out/DXF/notes.txt"), "x");
        list.resize(240, 320);
        list.show();
    }

    QPoint centreOf(const QString &text)
    {
        return list.visualItemRect(list.findItems(text, Qt::MatchExactly).value(0)).center();
    }

    TempDrive drive;
    DirList list;
};

TEST_F(DirWidgets, ShowsAncestorsThenTheOpenDirectoryThenItsSubdirectoriesAsNowOnDisk)
{
    ASSERT_TRUE(list.setPath("T:\\Out\\DXF"));
    EXPECT_EQ(column(list, Qt::DisplayRole), QStringList({ "T:\\", "Out", "DXF", "A", "b", "C" }));
    EXPECT_EQ(column(list, Qt::UserRole),
        QStringList({ "T:\\", "T:\\Out", "T:\\Out\\DXF", "T:\\Out\\DXF\\A", "T:\\Out\\DXF\\b",
            "T:\\Out\\DXF\\C" }));
    // The open directory alone is marked, and the highlight starts on it.
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.item(i)->font().bold(), i == 2) << i;
    EXPECT_EQ(list.currentRow(), 2);

    drive.mkdir("Out/DXF/Brand new");
    QDir(drive.native("Out/DXF/C")).removeRecursively();
    list.refresh();
    EXPECT_EQ(column(list, Qt::DisplayRole),
        QStringList({ "T:\\", "Out", "DXF", "A", "b", "Brand new" }));

    ASSERT_TRUE(list.setPath("T:\\"));
    EXPECT_EQ(column(list, Qt::DisplayRole), QStringList({ "T:\\", "Out" }));
}

TEST_F(DirWidgets, AnySpellingOpensTheDirectoryUnderOneText)
{
    QSignalSpy changed(&list, &DirList::pathChanged);
    // In order: drive-relative text and a drive alone start from the drive's current directory.
    const char *cases[][2] = { { "t:\\Out\\", "T:\\Out" }, { "T:PDF", "T:\\Out\\PDF" },
        { "T:/Out//DXF/", "T:\\Out\\DXF" }, { "t:", "T:\\Out\\DXF" }, { "t:\\\\", "T:\\" },
        { "T:\\Out\\..\\Out\\.\\DXF", "T:\\Out\\DXF" }, { "T:\\..", "T:\\" } };
    for (const auto &c : cases) {
        EXPECT_TRUE(list.setPath(c[0])) << c[0];
        EXPECT_EQ(list.path(), c[1]) << c[0];
    }
    EXPECT_EQ(firstArguments(changed),
        QStringList({ "T:\\Out", "T:\\Out\\PDF", "T:\\Out\\DXF", "T:\\", "T:\\Out\\DXF", "T:\\" }));
}

TEST_F(DirWidgets, TextThatNamesNoReadableDirectoryLeavesTheListAsItWas)
{
    QStringList refused = { "T:\\Nope", "T:\\Out\\DXF\\notes.txt", "Q:\\", "", "Out", "\\Out",
        "\\\\server\\share", QStringLiteral("T:\\Out") + QChar(0) };
#ifndef Q_OS_WIN
    // A drive whose root is missing stands for a drive that cannot be read.
    FileSystemObject::setDrive(QLatin1Char('V'), drive.native("gone"));
    refused += { "V:", "V:\\" };
#endif
    ASSERT_TRUE(list.setPath("T:\\Out"));
    const QStringList before = column(list, Qt::UserRole);
    QSignalSpy changed(&list, &DirList::pathChanged);
    for (const QString &path : refused)
        EXPECT_FALSE(list.setPath(path)) << path.toStdString();
    EXPECT_EQ(list.path(), "T:\\Out");
    EXPECT_EQ(column(list, Qt::UserRole), before);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(DirWidgets, HighlightingLeavesTheOpenDirectoryDoubleClickAndEnterOpen)
{
    ASSERT_TRUE(list.setPath("T:\\Out"));
    QSignalSpy changed(&list, &DirList::pathChanged);

    // A click or an arrow key only highlights; what a press reports is checked through the
    // dialogs that place their pop-ups by it.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf("PDF"));
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.currentItem()->text(), "DXF");
    EXPECT_EQ(list.path(), "T:\\Out");

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centreOf("PDF"));
    QTest::keyClick(&list, Qt::Key_Home);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(firstArguments(changed), QStringList({ "T:\\Out\\PDF", "T:\\" }));

    // Enter on the open directory is not taken, so it reaches the dialog's default button.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier);
    QApplication::sendEvent(&list, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(DirWidgets, EachDriveRemembersTheDirectoryLastOpenedOnIt)
{
    TempDrive other(QLatin1Char('U'));
    other.mkdir("Work/Sub");
    EXPECT_EQ(DirList::currentDirectoryOf("u:"), "U:\\");

    DirList second;
    ASSERT_TRUE(second.setPath("u:\\Work\\Sub\\"));
    EXPECT_EQ(DirList::currentDirectoryOf("U:"), "U:\\Work\\Sub");

    // A drive alone opens its current directory; once that has gone, what is left of it.
    ASSERT_TRUE(list.setPath("U:"));
    EXPECT_EQ(list.path(), "U:\\Work\\Sub");
    QDir(other.native("Work/Sub")).removeRecursively();
    ASSERT_TRUE(list.setPath("u:"));
    EXPECT_EQ(list.path(), "U:\\Work");
    QDir(other.native("Work")).removeRecursively();
    EXPECT_EQ(DirList::currentDirectoryOf("U:"), "U:\\");
    // A drive that does not exist has none.
    EXPECT_EQ(DirList::currentDirectoryOf("Q:"), "");
}

#ifndef Q_OS_WIN
// Drives mapped by the test: off Windows only.
TEST(DriveList, ListsTheDrivesInLetterOrderAndReportsOnlyTheUsersChoice)
{
    TempDrive drive;
    drive.mkdir("m");
    FileSystemObject::setDrives({ { QLatin1Char('T'), drive.native() },
        { QLatin1Char('D'), drive.native("d") }, { QLatin1Char('M'), drive.native("m") } });
    DriveList drives;
    EXPECT_EQ(column(*drives.view(), Qt::DisplayRole),
        QStringList({ "d: [" + drive.native("d") + "]", "m: [" + drive.native("m") + "]",
            "t: [" + drive.native() + "]" }));

    QSignalSpy changed(&drives, &DriveList::driveChanged);
    EXPECT_TRUE(drives.setDrive("t:\\Out"));
    for (const char *refused : { "Q:\\", "Out", "", "\\\\server\\share" })
        EXPECT_FALSE(drives.setDrive(refused)) << refused;
    EXPECT_EQ(drives.drive(), "T:");
    EXPECT_EQ(changed.count(), 0);

    QTest::keyClick(&drives, Qt::Key_Up);
    EXPECT_EQ(firstArguments(changed), QStringList({ "M:" }));

    // A refresh keeps the chosen drive while it is there, and chooses none once it has gone.
    drives.refresh();
    EXPECT_EQ(drives.drive(), "M:");
    FileSystemObject::setDrives({ { QLatin1Char('T'), drive.native() } });
    drives.refresh();
    EXPECT_EQ(drives.drive(), "");
    EXPECT_EQ(changed.count(), 1);
}

// The home directory, which the default C: stands for, reads as "~"; a directory whose name only
// begins like it does not.
TEST(DriveList, ShowsTheHomeDirectoryAsTilde)
{
    TempDrive home;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.native()));
    FileSystemObject::setDrives({ { QLatin1Char('C'), home.native() },
        { QLatin1Char('D'), home.native("cad") }, { QLatin1Char('E'), home.native() + "2" } });
    const DriveList drives;
    qputenv("HOME", savedHome);
    EXPECT_EQ(column(*drives.view(), Qt::DisplayRole),
        QStringList({ "c: [~]", "d: [~/cad]", "e: [" + home.native() + "2]" }));
}
#endif
