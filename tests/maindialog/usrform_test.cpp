#include "addin/quilletmain.h"
#include "addin/swaddin.h"
#include "dialogdriver.h"
#include "dirdialogs/dirlist.h"
#include "dirdialogs/drivelist.h"
#include "formats/fmtfile.h"
#include "loghelp/logform.h"
#include "maindialog/elidedlabel.h"
#include "maindialog/usrform.h"
#include "memorysettings.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "platform/pdfwritervalue.h"
#include "platform/settingsstore.h"
#include "save/outputlog.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <gtest/gtest.h>

// The main dialog as the host opens it: the menu command on a connected add-in, a modal dialog
// driven through its controls' names while it is shown.
class UsrForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.mkdir("Out");
        for (const char *file : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT" })
            drive.copyData(file);
        // The formats file of these tests, not the one beside the built module.
        writeNative(drive.native("Quillet.FMT"), "[.DXF]\r\nDRWNAME\r\n");
        setModuleDirectory(drive.native());
        savedStore = setUserSettings(&store);
        writePdfWriterValue(0);
        app = StandInApplication::create();
        addIn.SwAddIn_ConnectToSW(app, 1);
        app->open(drive.native("PLATE.SLDDRW"));
    }

    void TearDown() override
    {
        addIn.SwAddIn_DisconnectFromSW();
        setUserSettings(savedStore);
        setModuleDirectory(QString());
        Quilletmain::hostApp.reset();
    }

    // Runs the menu command; steps act on the dialog while it is shown, and must close it.
    void command(const std::function<void(usrForm &)> &steps)
    {
        bool ran = false;
        whileModal("usrForm", [&](QWidget &form) {
            ran = true;
            // Focus moves only within the active window.
            form.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
            steps(static_cast<usrForm &>(form));
        });
        ASSERT_TRUE(app->invokeCommand("Quillet 1.00@Tools"));
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
    }

    template <typename T> static T *control(usrForm &form, const char *name)
    {
        T *widget = form.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static QAbstractButton *button(usrForm &form, const char *name)
    {
        return control<QAbstractButton>(form, name);
    }
    static QComboBox *formatBox(usrForm &form) { return control<QComboBox>(form, "filenameFmt"); }
    static QStringList boxItems(usrForm &form)
    {
        QStringList items;
        for (int i = 0; i < formatBox(form)->count(); ++i)
            items.append(formatBox(form)->itemText(i));
        return items;
    }
    // The checked sheet choice, then the enabled states of the sheet controls: frame, three
    // options, list, Select All, Clear All, GO!.
    static QString sheetControls(usrForm &form)
    {
        QString states;
        for (int i = 0; i < 3; ++i) {
            if (button(form, qPrintable(QStringLiteral("saveSheetType(%1)").arg(i)))->isChecked())
                states = QString::number(i) + QLatin1Char(' ');
        }
        for (const char *name : { "frmSheetSelection", "saveSheetType(0)", "saveSheetType(1)",
                 "saveSheetType(2)", "listSheets", "allSheetSel", "clrSheetSel", "go" })
            states += form.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled() ? '1' : '0';
        return states;
    }

#ifndef Q_OS_WIN
    // The factory output directory is on C:, a temporary one here; on Windows C: is the system's.
    TempDrive cDrive { QLatin1Char('C') };
#endif
    TempDrive drive;
    MemorySettings store;
    SettingsStore *savedStore = nullptr;
    RecordedMessages recorded;
    std::shared_ptr<StandInApplication> app;
    swAddIn addIn;
};

TEST_F(UsrForm, NoDrawingNoDialogButTheLoadsMessage)
{
    // The host offers the command for drawings only; this is a call behind its back.
    app->closeAllDocuments();
    addIn.showForm();
    ASSERT_EQ(recorded.texts().size(), 1);
    EXPECT_TRUE(recorded.texts().first().startsWith("Quillet 1.00 [Error]|Exit on Error. "));
    EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
}

TEST_F(UsrForm, FirstUseShowsTheFactoryChoices)
{
    command([&](usrForm &form) {
        EXPECT_EQ(
            form.windowTitle(), "Quillet 1.00 [Select Output Format and Destination Directory]");
        // The sheet controls are the format test's subject; the edit box opens locked, as the
        // box's test shows.
        EXPECT_TRUE(button(form, "outFmt(0)")->isChecked());
        EXPECT_TRUE(button(form, "displayDiags")->isChecked());
        // The cursor stands after the factory format.
        EXPECT_EQ(formatBox(form)->lineEdit()->cursorPosition(), 44);
        EXPECT_FALSE(button(form, "pdfSingleFile")->isEnabled());
        EXPECT_FALSE(form.findChild<QAction *>("mnuDestDir")->isEnabled());
        press(form, "cancel");
    });
}

TEST_F(UsrForm, TheFormatDecidesTheSheetChoicesAndTheFormatList)
{
    store.set("OutputFormatIndex", "1");
    store.set("SaveSheetSelectionType", "2");
    store.set("FilenameFormat.1.PDF", "ALL");
    command([&](usrForm &form) {
        EXPECT_EQ(boxItems(form), QStringList { "DRWNAME" });
        // "Selected Sheets" with nothing selected: only Select All among the buttons.
        EXPECT_EQ(sheetControls(form), "2 11111100");
        auto *sheets = control<QListWidget>(form, "listSheets");
        sheets->item(1)->setSelected(true);
        EXPECT_EQ(sheetControls(form), "2 11111111");
        press(form, "allSheetSel");
        EXPECT_EQ(sheets->selectedItems().size(), 3);
        press(form, "clrSheetSel");
        EXPECT_EQ(sheetControls(form), "2 11111100");

        // PDF: "Single File" switches the list and forces all sheets; unticking keeps them.
        press(form, "outFmt(6)");
        press(form, "pdfSingleFile");
        EXPECT_EQ(form.pdfSuffix(), ".1");
        EXPECT_EQ(formatBox(form)->currentText(), "ALL");
        EXPECT_EQ(sheetControls(form), "1 00000001");
        press(form, "pdfSingleFile");
        EXPECT_EQ(form.pdfSuffix(), ".0");
        EXPECT_EQ(sheetControls(form), "1 11110001");
        // The option means nothing to other formats.
        press(form, "outFmt(1)");
        EXPECT_EQ(form.pdfSuffix(), QString());
        EXPECT_EQ(formatBox(form)->currentText(), "DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME");
        press(form, "cancel");
    });
    // Cancel writes nothing: no setting, no PDF writer's value, and no formats file, as the box's
    // test shows.
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_EQ(readPdfWriterValue(), 0);
}

TEST_F(UsrForm, TheFormatBoxCollectsAndForgetsFormats)
{
    store.set("OutputFormatIndex", "1");
    command([&](usrForm &form) {
        QComboBox *box = formatBox(form);
        press(form, "isEditFmt");
        EXPECT_TRUE(box->isEnabled());
        EXPECT_NE(box->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), "SHEETNAME");
        // Return collects the text but shows the current format again; GO! is not pressed.
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "SHEETNAME" }));
        EXPECT_EQ(box->currentText(), "DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME");
        EXPECT_TRUE(form.isVisible());
        // What is typed stays as typed, also the start of a collected format in other letter
        // case: Return collects it, and Tab leaves the box with it current.
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), "drw");
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), "sheet");
        QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
        EXPECT_EQ(form.currentFmts.value("[.DXF]"), "sheet");
        box->setFocus();
        // A duplicate in other letter case, and two blanks, are not collected.
        for (const char *text : { "drwname", "  " }) {
            box->setEditText(QString::fromLatin1(text));
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        }
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "SHEETNAME", "drw", "sheet" }));
        // Leaving the box makes its text current and collects it.
        box->setEditText("   ");
        button(form, "displayDiags")->setFocus();
        EXPECT_EQ(form.currentFmts.value("[.DXF]"), "   ");
        EXPECT_EQ(form.fmtLists.list("[.DXF]"),
            (QStringList { "DRWNAME", "SHEETNAME", "drw", "sheet", "   " }));
        // Delete forgets the entry equal to the text, in any case, and shows the current format.
        box->setFocus();
        box->setEditText("sheetname");
        QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "drw", "sheet", "   " }));
        EXPECT_EQ(box->currentText(), "   ");
        EXPECT_EQ(box->lineEdit()->cursorPosition(), 3);
        press(form, "isEditFmt");
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(box->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
        press(form, "cancel");
    });
    EXPECT_EQ(readNative(drive.native("Quillet.FMT")), QByteArray("[.DXF]\r\nDRWNAME\r\n"));
}

TEST_F(UsrForm, GoWritesEverythingThenRefusesAnEmptyFilenameFormat)
{
    store.set("Path", drive.win("Out"));
    store.set("OutputFormatIndex", "6");
    store.set("FilenameFormat.0.PDF", ":\\/");
    // A value the check box does not show as ticked; GO! puts the box's state in its place.
    writePdfWriterValue(2);
    command([&](usrForm &form) {
        // The log window of an earlier run goes with the failed GO!.
        logForm::instance();
        press(form, "go");
    });
    EXPECT_EQ(recorded.texts(),
        QStringList { "Quillet 1.00 [Error]|Invalid or empty filename specification. Error #10401 "
                      "in usrForm Load.       " });
    EXPECT_EQ(store.writes,
        (QStringList { "Path", "OutputFormatIndex", "isDisplayDiags", "FilenameFormat.SLDDRW",
            "FilenameFormat.DXF", "FilenameFormat.DWG", "FilenameFormat.EDRW", "FilenameFormat.JPG",
            "FilenameFormat.TIF", "FilenameFormat.0.PDF", "FilenameFormat.1.PDF",
            "SaveSheetSelectionType", "isUseDestDirs" }));
    // The values written, and the formats file's header, are the stored choices' and the formats
    // file's tests.
    EXPECT_EQ(store.get("Path"), drive.win("Out"));
    EXPECT_EQ(readPdfWriterValue(), 0);
    const QByteArray formats = readNative(drive.native("Quillet.FMT"));
    EXPECT_TRUE(formats.endsWith("[.SLDDRW]\r\n[.DXF]\r\nDRWNAME\r\n[.DWG]\r\n[.EDRW]\r\n[.JPG]\r\n"
                                 "[.TIF]\r\n[.0.PDF]\r\n[.1.PDF]\r\n"));
    EXPECT_EQ(logForm::existing(), nullptr);
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
    EXPECT_TRUE(QDir(drive.native("Out")).isEmpty());
}

TEST_F(UsrForm, GoRunsTheSaveAndTheLogWaitsForDone)
{
    store.set("Path", drive.win("Out"));
    store.set("OutputFormatIndex", "1");
    store.set("FilenameFormat.DXF", "DRWNAME|_|SHEETNAME");
    store.set("SaveSheetSelectionType", "1");
    QString progress;
    command([&](usrForm &form) {
        // DXF files to a directory of their own, set through the destination dialog.
        press(form, "useDestDirs");
        whileModal("manageDestDir", [](QWidget &destinations) {
            destinations.findChild<QLineEdit *>("tb_FmtDir(1)")->setText("Plots\\DXF");
            press(destinations, "done");
        });
        form.findChild<QAction *>("mnuDestDir")->trigger();
        whileModal("logForm", [&](QWidget &log) {
            EXPECT_FALSE(form.isVisible());
            progress = log.findChild<QProgressBar *>("progress")->text();
            press(log, "done");
        });
        press(form, "go");
    });
    EXPECT_EQ(recorded.texts(), QStringList());
    EXPECT_EQ(QDir(drive.native("Out/Plots/DXF")).entryList(QDir::Files),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    EXPECT_EQ(store.get("DestinationDirectory.DXF"), "Plots\\DXF");
    EXPECT_EQ(progress, "Sheets done: 3 of 3");
}

TEST_F(UsrForm, ARunErrorIsShownOnceAndClosesEverything)
{
    store.set("Path", drive.win("Out"));
    store.set("OutputFormatIndex", "1");
    store.set("isUseDestDirs", "1");
    // The destination directory cannot be made: a file holds its name.
    writeNative(drive.native("Out/DXF"), "a file");
    command([&](usrForm &form) { press(form, "go"); });
    EXPECT_EQ(recorded.texts(),
        QStringList { "Quillet 1.00 [Error]|File already exists Error #58 in "
                      "getFilenameFromDoc.       " });
    EXPECT_EQ(logForm::existing(), nullptr);
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
}

TEST_F(UsrForm, PopUpsAndTheAboutBox)
{
    command([&](usrForm &form) {
        auto *dirCreate = form.findChild<QMenu *>("mnuDirCreatePopup");
        auto *help = form.findChild<QMenu *>("mnuHelp");
        ASSERT_TRUE(dirCreate && help);
        // Left clicks pop up nothing; a right click on the directory list offers its commands.
        auto *dirSel = control<DirList>(form, "dirSel");
        QTest::mouseClick(dirSel->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_FALSE(dirCreate->isVisible() || help->isVisible());
        QTest::mousePress(dirSel->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        EXPECT_TRUE(dirCreate->isVisible());
        dirCreate->hide();
        // Controls pass on the right button and the double click, but they are not the surface:
        // a button, a check box, an option button, and a frame's empty interior. (A double click
        // on GO! would press it.)
        auto *frame = control<QWidget>(form, "frmSheetSelection");
        for (QWidget *target : std::initializer_list<QWidget *> { button(form, "go"),
                 button(form, "displayDiags"), button(form, "saveSheetType(0)"), frame }) {
            const QPoint inside
                = target == frame ? QPoint(frame->width() / 2, frame->height() - 4) : QPoint(3, 3);
            QTest::mousePress(target, Qt::RightButton, {}, inside);
            QTest::mouseRelease(target, Qt::RightButton, {}, inside);
            EXPECT_FALSE(help->isVisible()) << qPrintable(target->objectName());
            if (target != button(form, "go")) {
                QTest::mouseDClick(target, Qt::LeftButton, {}, inside);
                QTest::mouseRelease(target, Qt::LeftButton, {}, inside);
            }
        }
        EXPECT_TRUE(recorded.shown.isEmpty());
        // The platform's request for a right click's menu, which a control passes up unanswered,
        // is no request for help either.
        QContextMenuEvent rightClick(
            QContextMenuEvent::Mouse, QPoint(3, 3), button(form, "go")->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(button(form, "go"), &rightClick);
        EXPECT_FALSE(help->isVisible());
        // Shift+F10 and the Menu key open the menu of the control with the keyboard: the
        // directory list's commands, else the dialog's own.
        for (const Qt::Key opener : { Qt::Key_F10, Qt::Key_Menu }) {
            const Qt::KeyboardModifiers shift
                = opener == Qt::Key_F10 ? Qt::ShiftModifier : Qt::NoModifier;
            for (const char *name : { "go", "displayDiags", "saveSheetType(1)" }) {
                button(form, name)->setFocus();
                QTest::keyClick(button(form, name), opener, shift);
                EXPECT_TRUE(help->isVisible()) << name << ' ' << opener;
                help->hide();
            }
            dirSel->setFocus();
            QTest::keyClick(dirSel, opener, shift);
            EXPECT_TRUE(dirCreate->isVisible() && !help->isVisible()) << opener;
            dirCreate->hide();
        }
        QTest::mousePress(&form, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_TRUE(help->isVisible());
        help->hide();
        QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(2, 2));
        form.findChild<QAction *>("mnuAbout")->trigger();
        press(form, "cancel");
    });
    // The double click and the menu command each open the About box.
    ASSERT_EQ(recorded.shown.size(), 2);
    EXPECT_EQ(recorded.shown.at(0).title, "Quillet 1.00 [Copyright]");
    EXPECT_EQ(recorded.shown.at(1).title, recorded.shown.at(0).title);
}

TEST_F(UsrForm, ATypedFormatIsStoredWhenGoIsPressedByItsMnemonic)
{
    store.set("Path", drive.win("Out"));
    store.set("OutputFormatIndex", "1");
    store.set("SaveSheetSelectionType", "1");
    store.set("isDisplayDiags", "0");
    command([&](usrForm &form) {
        press(form, "isEditFmt");
        QComboBox *box = formatBox(form);
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), "SHEETNAME");
        // Alt+G clicks GO! with the focus still in the box.
        QTest::keyClick(box->lineEdit(), Qt::Key_G, Qt::AltModifier);
        // The mnemonic shows the button pressed for a moment before it clicks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }));
        // The hidden log window keeps the run's lines for a next run that this test has not.
        logForm::unload();
    });
    EXPECT_EQ(QDir(drive.native("Out")).entryList(QDir::Files),
        (QStringList { "Sheet1.DXF", "Sheet2.DXF", "Sheet3.DXF" }));
    // The next opening finds the format the run used.
    EXPECT_EQ(store.get("FilenameFormat.DXF"), "SHEETNAME");
    EXPECT_TRUE(
        readNative(drive.native("Quillet.FMT")).contains("[.DXF]\r\nDRWNAME\r\nSHEETNAME\r\n"));
}

TEST_F(UsrForm, DestinationDirectoriesThatCannotOpenSayWhy)
{
    store.set("isUseDestDirs", "1");
    command([&](usrForm &form) {
        // A table without its keys cannot fill the dialog's rows.
        form.ocDestDir = DestDirTable();
        form.findChild<QAction *>("mnuDestDir")->trigger();
        EXPECT_TRUE(form.isVisible());
        press(form, "cancel");
    });
    EXPECT_EQ(recorded.texts(),
        QStringList { "Quillet 1.00 [Error]|Invalid procedure call or argument       " });
}

TEST_F(UsrForm, ThePreviewFollowsTheChoicesAndChangesNothing)
{
    const auto drawing = app->activeDocument();
    drawing->setSelection({ SelectionEntry { SelectionEntry::Kind::View, "Drawing View2", 0 } });
    store.set("Path", drive.win("Out"));
    store.set("OutputFormatIndex", "1");
    store.set("FilenameFormat.DXF", "DRWNAME|_|SHEETNAME");
    store.set("FilenameFormat.SLDDRW", "PartNo|_|SHEETNUMBER");
    const QString out = drive.win("Out\\");
    const QString deep = drive.win("Out\\Customer projects 2024\\Base plates\\Revision C");
    drive.mkdir("Out/Customer projects 2024/Base plates/Revision C");
    // What the run and the user see of the host.
    const auto hostState = [&] {
        return QStringList { app->activeDocument()->Title(),
            QString::number(drawing->activeSheetIndex()), drawing->activeViewName(),
            QString::number(drawing->data().selection.size()),
            drawing->CustomPropertyNames(QString()).join('|'),
            QString::number(app->documents().size()), app->frame()->statusBarHistory().join('|'),
            OutputLog::instance().lines().join('|') };
    };
    const QStringList before = hostState();
    command([&](usrForm &form) {
        auto *preview = control<ElidedLabel>(form, "namePreview");
        const auto shows
            = [&](const QString &path) { EXPECT_EQ(preview->fullText(), "Next file: " + path); };
        shows(out + "PLATE_Sheet1.DXF");
        press(form, "isEditFmt");
        // Typed into the box, which keeps it when the focus moves on to the other choices.
        formatBox(form)->setFocus();
        formatBox(form)->setEditText("SHEETNAME|-|Revision|-|TOTALSELSHEETS");
        shows(out + "Sheet1-D-1.DXF");
        press(form, "saveSheetType(1)");
        shows(out + "Sheet1-D-3.DXF");
        // The current sheet is not in the run: its first sheet is shown, and named.
        const QString notCurrent = " (sheet Sheet3; the current sheet is not saved)";
        press(form, "saveSheetType(2)");
        shows("(no sheet chosen)");
        control<QListWidget>(form, "listSheets")->item(2)->setSelected(true);
        shows(out + "Sheet3-D-1.DXF" + notCurrent);
        press(form, "useDestDirs");
        shows(out + "DXF\\Sheet3-D-1.DXF" + notCurrent);
        formatBox(form)->setEditText(":\\/");
        shows("(Invalid or empty filename specification.)");
        // The native format reads the selected view's model without activating it.
        press(form, "outFmt(0)");
        shows(out + "SLDDRW\\P-1001-X1_1.SLDDRW");
        for (int i = 0; i < 1000; ++i)
            formatBox(form)->setEditText(i % 2 ? "PartNo|_|SHEETNUMBER" : "MODELNAME|Revision");
        shows(out + "SLDDRW\\P-1001-X1_1.SLDDRW");
        // A path wider than the line gives up its directory, not its file name; the whole path
        // is the tool tip, also once Return has collected a typed format and the box shows the
        // current one again.
        press(form, "outFmt(1)");
        press(form, "saveSheetType(1)");
        control<DirList>(form, "dirSel")->setPath(deep);
        form.resize(form.minimumSizeHint().width(), form.height());
        formatBox(form)->setFocus();
        formatBox(form)->setEditText("SHEETNAME|_|Base plate for order 4711");
        control<DirList>(form, "dirSel")->setFocus();
        const QString name = "Sheet1_Base plate for order 4711.DXF";
        const QString full = "Next file: " + deep + "\\DXF\\" + name;
        // Room for the heading, the drive, an ellipsis and the name, whatever the platform's
        // font: the form widens until the line has it, as far as the screen lets it.
        const int needed = preview->fontMetrics().horizontalAdvance(
            "Next file: " + drive.win() + QChar(0x2026) + "\\DXF\\" + name);
        for (int i = 0; i < 4 && preview->contentsRect().width() < needed; ++i) {
            form.resize(form.width() + needed - preview->contentsRect().width() + 4, form.height());
            QApplication::processEvents();
        }
        const int room = preview->contentsRect().width();
        const bool roomForTheHeading = room >= needed;
        // Cut in its middle, this line would lose part of the name. (No ASSERT here: it would
        // leave the dialog open.)
        EXPECT_LT(room, 2 * preview->fontMetrics().horizontalAdvance(name));
        const auto showsTheName = [&] {
            EXPECT_EQ(preview->fullText(), full);
            EXPECT_EQ(preview->toolTip(), full);
            if (roomForTheHeading) {
                EXPECT_TRUE(preview->text().startsWith("Next file: " + drive.win()))
                    << qPrintable(preview->text());
            }
            EXPECT_TRUE(preview->text().endsWith("\\" + name)) << qPrintable(preview->text());
            EXPECT_TRUE(preview->text().contains(QChar(0x2026)));
        };
        showsTheName();
        formatBox(form)->setFocus();
        formatBox(form)->lineEdit()->selectAll();
        QTest::keyClicks(formatBox(form), "DRWNAME");
        EXPECT_EQ(preview->toolTip(), "Next file: " + deep + "\\DXF\\PLATE.DXF");
#ifndef Q_OS_WIN
        // The pointer rests on the line, whose tip opens, while Return is typed in the box.
        // (Off Windows: under Wine the tip's window outlives the test, which no window may.)
        const QPoint onLine = preview->rect().center();
        QHelpEvent hover(QEvent::ToolTip, onLine, preview->mapToGlobal(onLine));
        QApplication::sendEvent(preview, &hover);
        EXPECT_TRUE(QToolTip::isVisible());
#endif
        QTest::keyClick(formatBox(form), Qt::Key_Return);
        EXPECT_EQ(formatBox(form)->currentText(), "SHEETNAME|_|Base plate for order 4711");
        showsTheName();
#ifndef Q_OS_WIN
        EXPECT_EQ(QToolTip::text(), full);
        QToolTip::hideText();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
#endif
        press(form, "cancel");
    });
    EXPECT_EQ(hostState(), before);
    EXPECT_FALSE(QFileInfo::exists(drive.native("Out/DXF")));
}

#ifndef Q_OS_WIN
// Drives mapped by the test: off Windows only.
TEST_F(UsrForm, AStoredPathOnAnUnmappedDriveOpensOnCElseOnTheFirstMappedDrive)
{
    store.set("Path", "Q:\\Gone");
    command([&](usrForm &form) {
        EXPECT_EQ(control<DirList>(form, "dirSel")->path(), "C:\\");
        press(form, "cancel");
    });
    const TempDrive d(QLatin1Char('D'));
    FileSystemObject::setDrives(
        { { QLatin1Char('D'), d.native() }, { QLatin1Char('T'), drive.native() } });
    command([&](usrForm &form) {
        EXPECT_EQ(control<DirList>(form, "dirSel")->path(), "D:\\");
        EXPECT_EQ(control<DriveList>(form, "drvSel")->drive(), "D:");
        press(form, "cancel");
    });
    EXPECT_EQ(recorded.texts(), QStringList());
}
#endif

TEST_F(UsrForm, ArrowKeysWalkAnOptionGroupAndTabEntersItAtTheChosenOption)
{
    store.set("OutputFormatIndex", "4");
    store.set("SaveSheetSelectionType", "2");
    command([&](usrForm &form) {
        QString walked;
        const auto key = [&](Qt::Key key) {
            QTest::keyClick(QApplication::focusWidget(), key);
            walked += QApplication::focusWidget()->objectName() + QLatin1Char(' ')
                + QString::number(form.outFmtIndex()) + QLatin1Char(int(form.sheetSelType()) + '0')
                + QLatin1Char(';');
        };
        // Tab comes into each group at the option the dialog restored, and only there. (GO!
        // waits for a sheet to be selected.)
        button(form, "cancel")->setFocus();
        for (int i = 0; i < 7; ++i)
            key(Qt::Key_Tab);
        EXPECT_EQ(walked,
            "outFmt(4) 42;isEditFmt 42;drvSel 42;dirSel 42;useDestDirs 42;saveSheetType(2) 42;"
            "listSheets 42;");
        // Arrows walk the group's order across the grid's rows, wrapping at both ends.
        walked.clear();
        button(form, "outFmt(4)")->setFocus();
        for (Qt::Key arrow :
            { Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up })
            key(arrow);
        EXPECT_EQ(walked, "outFmt(5) 52;outFmt(6) 62;outFmt(0) 01;outFmt(6) 61;outFmt(5) 51;");
        // SLDDRW forced "All Sheets"; the sheet options walk the same way.
        walked.clear();
        button(form, "saveSheetType(1)")->setFocus();
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        EXPECT_EQ(walked, "saveSheetType(2) 52;saveSheetType(0) 50;");
        press(form, "cancel");
    });
}
