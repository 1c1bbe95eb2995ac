#include "destdirs/destdirtable.h"
#include "destdirs/managedestdir.h"
#include "dialogdriver.h"
#include "dirdialogs/dirlist.h"
#include "formats/outputformats.h"
#include "memorysettings.h"
#include "platform/settingsstore.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

// The destination directories dialog over a table read from a store, with the base directory
// T:\Base.
class ManageDestDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.mkdir("Base");
        drive.mkdir("Abs");
        savedStore = setUserSettings(&store);
        table = DestDirTable::fromSettings(store);
        dialog = std::make_unique<manageDestDir>(table, base, s_DirSpec, b_CreateDir);
    }
    void TearDown() override { setUserSettings(savedStore); }

    QLineEdit *entry(int index) const
    {
        return dialog->findChild<QLineEdit *>(QStringLiteral("tb_FmtDir(%1)").arg(index));
    }

    TempDrive drive;
    const QString base = drive.win("Base");
    MemorySettings store;
    SettingsStore *savedStore = nullptr;
    DestDirTable table;
    QString s_DirSpec;
    bool b_CreateDir = false;
    std::unique_ptr<manageDestDir> dialog;
};

TEST_F(ManageDestDir, RowsShowTheTableAndTypedEntriesLoseRefusedCharacters)
{
    EXPECT_EQ(dialog->windowTitle(), "Quillet 1.00 [Manage File Destination Directories]");
    EXPECT_EQ(dialog->findChild<QLabel *>("rootDir")->text(), base + '\\');
    for (int i = 0; i < OutputFormats::count; ++i)
        EXPECT_EQ(dialog->findChild<QLabel *>(QStringLiteral("lbl_Fmt(%1)").arg(i))->text(),
            OutputFormats::caption(i));
    dialog->show();
    entry(1)->setFocus();
    entry(1)->setCursorPosition(1);
    QTest::keyClicks(entry(1), "*");
    EXPECT_EQ(entry(1)->text(), "DXF");
    EXPECT_EQ(entry(1)->cursorPosition(), 2);
    QTest::keyClicks(entry(1), "\\:|");
    EXPECT_EQ(entry(1)->text(), "DX\\:F");
    QTest::keyClick(entry(1), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(entry(1)->text(), QString());
    EXPECT_TRUE(QApplication::focusWidget() == entry(1) || !dialog->isActiveWindow());
}

TEST_F(ManageDestDir, DoneStoresEveryEntryAndMakesOnlyTheRelativeOnes)
{
    entry(1)->setText("  DXF  ");
    entry(2)->setText(drive.win("New"));
    entry(3)->setText("Q:\\X");
    entry(4)->setText(QString());
    dialog->findChild<QCheckBox *>("isCreateDir")->setChecked(true);
    press(*dialog, "done");
    QStringList entries;
    for (int i = 0; i < OutputFormats::count; ++i)
        entries.append(table.entry(OutputFormats::destDirKey(i)));
    EXPECT_EQ(
        entries, (QStringList { "SLDDRW", "DXF", drive.win("New"), "Q:\\X", "", "TIFF", "PDF" }));
    // The table's order of keys is checked with the table.
    EXPECT_EQ(store.writes.size(), OutputFormats::count);
    EXPECT_EQ(QDir(drive.native("Base")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
        (QStringList { "DXF", "PDF", "Q", "SLDDRW", "TIFF" }));
    EXPECT_TRUE(QFileInfo(drive.native("Base/Q/X")).isDir());
    EXPECT_FALSE(QFileInfo::exists(drive.native("New")));
}

TEST_F(ManageDestDir, CancelChangesNothingAndDoneWithoutABaseCreatesNothing)
{
    entry(1)->setText("Elsewhere");
    dialog->findChild<QCheckBox *>("isCreateDir")->setChecked(true);
    press(*dialog, "cancel");
    EXPECT_EQ(table.entry("[.DXF]"), "DXF");
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_TRUE(QDir(drive.native("Base")).isEmpty());

    // All seven are written unchanged; a base that is gone makes Done close without a word.
    dialog = std::make_unique<manageDestDir>(table, drive.win("Gone"), s_DirSpec, b_CreateDir);
    dialog->findChild<QCheckBox *>("isCreateDir")->setChecked(true);
    press(*dialog, "done");
    EXPECT_EQ(store.get("DestinationDirectory.EDRW"), "eDrawing");
    EXPECT_FALSE(QFileInfo::exists(drive.native("Gone")));
}

TEST_F(ManageDestDir, LongBaseDirectoriesAreShortenedAtEightyCharacters)
{
    for (const int length : { 79, 80 }) {
        const QString path = "T:\\" + QString(length - 3, QLatin1Char('b'));
        manageDestDir shown(table, path, s_DirSpec, b_CreateDir);
        EXPECT_EQ(shown.findChild<QLabel *>("rootDir")->text(),
            (length < 80 ? path : path.left(20) + " ... " + path.right(55)) + QLatin1Char('\\'));
    }
}

TEST_F(ManageDestDir, ThePickerStartsWhereTheEntryPointsAndHandsBackWhereItStarted)
{
    // The row of a relative entry, and one whose directory has gone.
    entry(3)->setText(drive.win("Abs\\Gone"));
    for (const int row : { 1, 3 }) {
        QString started;
        whileModal("selectDir", [&](QWidget &picker) {
            EXPECT_EQ(picker.windowTitle(),
                QStringLiteral("Quillet 1.00 [Directory for %1 files]")
                    .arg(OutputFormats::caption(row)));
            started = picker.findChild<DirList *>("dirSel")->path();
            press(picker, "done");
        });
        press(*dialog, qPrintable(QStringLiteral("btn_FmtDirSel(%1)").arg(row)));
        EXPECT_EQ(started, row == 1 ? base : drive.win("Abs"));
        // Select hands back the absolute path, even below the base.
        EXPECT_EQ(entry(row)->text(), started);
    }
}

// T:\Base and T:\Abs exist, drive Q does not.
TEST_F(ManageDestDir, PickerStartDirectoryOpensTheNearestDirectoryThatExists)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        { "T:\\Abs", "T:\\Base", "T:\\Abs" },
        { "t:\\Abs\\Missing\\Dir\\", "T:\\Base", "T:\\Abs" },
        { "T:\\Missing", "T:\\Base", "T:\\" },
        { "Q:\\Out", "T:\\Base", "T:\\Base" },
        { "Q:\\Out", "T:\\Gone", "T:\\" },
        { "DXF", "T:\\Abs\\Gone", "T:\\Abs" },
        // Relative by the ":\" test, so the base whatever the drive has.
        { "T:", "T:\\Base", "T:\\Base" },
        { "T:Abs", "T:\\Base", "T:\\Base" },
        { "", "T:\\Base", "T:\\Base" },
        { "\\\\server\\share\\x", "T:\\Base", "T:\\Base" },
        // Nothing to open on the base's drive either.
        { "Q:\\Out", "Q:\\Base", "" },
    };
    for (const auto &[entry, base, start] : cases)
        EXPECT_EQ(pickerStartDirectory(QString::fromLatin1(entry), QString::fromLatin1(base)),
            QString::fromLatin1(start))
            << entry << " " << base;
}
