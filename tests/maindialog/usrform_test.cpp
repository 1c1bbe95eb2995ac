#include "addin/quilletmain.h"
#include "addin/swaddin.h"
#include "dirdialogs/dirlist.h"
#include "formats/fmtfile.h"
#include "loghelp/logform.h"
#include "maindialog/usrform.h"
#include "memorysettings.h"
#include "platform/moduleinfo.h"
#include "platform/msgbox.h"
#include "platform/pdfwritervalue.h"
#include "platform/settingsstore.h"
#include "save/outputlog.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// The main dialog as the host opens it: the menu command on a connected add-in, a modal dialog
// driven through its controls' names while it is shown.
class UsrForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.mkdir(QStringLiteral("Out"));
        drive.copyData(QStringLiteral("PLATE.SLDDRW"));
        drive.copyData(QStringLiteral("PLATE.SLDPRT"));
        drive.copyData(QStringLiteral("BRACKET.SLDPRT"));
        // The formats file of these tests, not the one beside the built module.
        writeNative(drive.native(QStringLiteral("Quillet.FMT")), "[.DXF]\r\nDRWNAME\r\n");
        setModuleDirectory(drive.native());
        savedStore = setUserSettings(&store);
        savedPresenter = MsgBox::setPresenter([this](const MsgBox::Message &message) {
            messages.append(message.title + QLatin1Char('|') + message.text);
            return int(MsgBox::Ok);
        });
        writePdfWriterValue(0);
        app = StandInApplication::create();
        addIn.SwAddIn_ConnectToSW(app, 1);
    }

    void TearDown() override
    {
        addIn.SwAddIn_DisconnectFromSW();
        MsgBox::setPresenter(savedPresenter);
        setUserSettings(savedStore);
        setModuleDirectory(QString());
        Quilletmain::hostApp.reset();
    }

    // Runs the menu command; steps act on the dialog while it is shown, and must close it.
    void command(const std::function<void(usrForm &)> &steps)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<usrForm *>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            ran = true;
            // Focus moves only within the active window.
            form->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form));
            steps(*form);
        });
        ASSERT_TRUE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
    }

    void openPlate() { app->open(drive.native(QStringLiteral("PLATE.SLDDRW"))); }

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
    // Near the left edge, where an option button's indicator and caption are.
    static void click(usrForm &form, const char *name)
    {
        QAbstractButton *target = button(form, name);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(6, target->height() / 2));
    }
    static QString caption(QAbstractButton *button) { return button->text().remove('&'); }
    static QComboBox *formatBox(usrForm &form) { return control<QComboBox>(form, "filenameFmt"); }
    static QStringList boxItems(usrForm &form)
    {
        QStringList items;
        for (int i = 0; i < formatBox(form)->count(); ++i)
            items.append(formatBox(form)->itemText(i));
        return items;
    }
    // The enabled states of the sheet controls: frame, three options, list, Select All,
    // Clear All, GO!.
    static QString sheetControls(usrForm &form)
    {
        QString states;
        for (const char *name : { "frmSheetSelection", "saveSheetType(0)", "saveSheetType(1)",
                 "saveSheetType(2)", "listSheets", "allSheetSel", "clrSheetSel", "go" })
            states += form.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled() ? '1' : '0';
        return states;
    }
    static int checkedSheetChoice(usrForm &form)
    {
        for (int i = 0; i < 3; ++i) {
            if (button(form, qPrintable(QStringLiteral("saveSheetType(%1)").arg(i)))->isChecked())
                return i;
        }
        return -1;
    }

    TempDrive cDrive { QLatin1Char('C') };
    TempDrive drive;
    MemorySettings store;
    SettingsStore *savedStore = nullptr;
    MsgBox::Presenter savedPresenter;
    QStringList messages;
    std::shared_ptr<StandInApplication> app;
    swAddIn addIn;
};

TEST_F(UsrForm, NoDrawingNoDialogButTheLoadsMessage)
{
    const QString title = QStringLiteral("Quillet 1.00 [Error]|Exit on Error. ");
    // The host offers the command for drawings only; these are calls behind its back.
    addIn.showForm();
    EXPECT_EQ(
        messages, QStringList { title + "No active document in SolidWorks. Error #10101.       " });
    app->open(drive.native(QStringLiteral("PLATE.SLDPRT")));
    messages.clear();
    addIn.showForm();
    EXPECT_EQ(messages,
        QStringList {
            title + "Document open in SolidWorks is not a drawing. Error #10201.       " });
    EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
}

TEST_F(UsrForm, FirstUseShowsTheFactoryChoices)
{
    openPlate();
    command([&](usrForm &form) {
        EXPECT_EQ(form.windowTitle(),
            QStringLiteral("Quillet 1.00 [Select Output Format and Destination Directory]"));
        EXPECT_EQ(control<DirList>(form, "dirSel")->path().toLower(), QStringLiteral("c:\\"));
        QStringList captions;
        for (int i = 0; i < 7; ++i)
            captions.append(caption(button(form, qPrintable(QStringLiteral("outFmt(%1)").arg(i)))));
        EXPECT_EQ(
            captions, (QStringList { "SLDDRW", "DXF", "DWG", "eDrawing", "JPG", "TIFF", "PDF" }));
        EXPECT_TRUE(button(form, "outFmt(0)")->isChecked());
        EXPECT_TRUE(button(form, "displayDiags")->isChecked());
        EXPECT_FALSE(button(form, "useDestDirs")->isChecked());
        EXPECT_FALSE(button(form, "isEditFmt")->isChecked());
        EXPECT_FALSE(formatBox(form)->isEnabled());
        EXPECT_EQ(formatBox(form)->currentText(),
            QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME"));
        EXPECT_EQ(formatBox(form)->lineEdit()->cursorPosition(), 44);
        // SLDDRW forces "All Sheets" and greys the whole frame; GO! stays enabled and has the
        // focus.
        EXPECT_EQ(checkedSheetChoice(form), 1);
        EXPECT_EQ(sheetControls(form), QStringLiteral("00000001"));
        EXPECT_FALSE(button(form, "pdfSingleFile")->isEnabled());
        EXPECT_FALSE(form.findChild<QAction *>(QStringLiteral("mnuDestDir"))->isEnabled());
        const auto *sheets = control<QListWidget>(form, "listSheets");
        EXPECT_EQ(sheets->count(), 3);
        EXPECT_EQ(sheets->item(2)->text(), QStringLiteral("Sheet3"));
        click(form, "cancel");
    });
    // Cancel writes nothing: no setting, no formats file, no PDF writer's value.
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_EQ(readNative(drive.native(QStringLiteral("Quillet.FMT"))),
        QByteArray("[.DXF]\r\nDRWNAME\r\n"));
}

TEST_F(UsrForm, TheFormatDecidesTheSheetChoicesAndTheFormatList)
{
    openPlate();
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("1"));
    store.set(QStringLiteral("SaveSheetSelectionType"), QStringLiteral("2"));
    store.set(QStringLiteral("FilenameFormat.1.PDF"), QStringLiteral("ALL"));
    command([&](usrForm &form) {
        EXPECT_EQ(boxItems(form), QStringList { "DRWNAME" });
        // "Selected Sheets" with nothing selected: only Select All among the buttons.
        EXPECT_EQ(checkedSheetChoice(form), 2);
        EXPECT_EQ(sheetControls(form), QStringLiteral("11111100"));
        auto *sheets = control<QListWidget>(form, "listSheets");
        sheets->item(1)->setSelected(true);
        EXPECT_EQ(sheetControls(form), QStringLiteral("11111111"));
        click(form, "allSheetSel");
        EXPECT_EQ(sheets->selectedItems().size(), 3);
        EXPECT_EQ(sheetControls(form), QStringLiteral("11111011"));
        click(form, "clrSheetSel");
        EXPECT_EQ(sheetControls(form), QStringLiteral("11111100"));

        // eDrawing greys the frame without forcing a choice, and lets GO! go.
        click(form, "outFmt(3)");
        EXPECT_EQ(checkedSheetChoice(form), 2);
        EXPECT_EQ(sheetControls(form), QStringLiteral("00000001"));

        // PDF: "Single File" switches the list and forces all sheets; unticking keeps them.
        click(form, "outFmt(6)");
        EXPECT_TRUE(button(form, "pdfSingleFile")->isEnabled());
        click(form, "pdfSingleFile");
        EXPECT_EQ(form.pdfSuffix, QStringLiteral(".1"));
        EXPECT_EQ(formatBox(form)->currentText(), QStringLiteral("ALL"));
        EXPECT_EQ(checkedSheetChoice(form), 1);
        EXPECT_EQ(sheetControls(form), QStringLiteral("00000001"));
        click(form, "pdfSingleFile");
        EXPECT_EQ(form.pdfSuffix, QStringLiteral(".0"));
        EXPECT_EQ(checkedSheetChoice(form), 1);
        EXPECT_EQ(sheetControls(form), QStringLiteral("11110001"));
        // The option means nothing to other formats.
        click(form, "outFmt(1)");
        EXPECT_FALSE(button(form, "pdfSingleFile")->isEnabled());
        EXPECT_EQ(form.pdfSuffix, QString());
        EXPECT_EQ(formatBox(form)->currentText(),
            QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME"));
        click(form, "cancel");
    });
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_EQ(readPdfWriterValue(), 0);
}

TEST_F(UsrForm, TheFormatBoxCollectsAndForgetsFormats)
{
    openPlate();
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("1"));
    command([&](usrForm &form) {
        QComboBox *box = formatBox(form);
        click(form, "isEditFmt");
        EXPECT_TRUE(box->isEnabled());
        EXPECT_NE(box->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("SHEETNAME"));
        // Return collects the text but shows the current format again; GO! is not pressed.
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "SHEETNAME" }));
        EXPECT_EQ(
            box->currentText(), QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME"));
        EXPECT_TRUE(form.isVisible());
        // A duplicate in other letter case, and two blanks, are not collected.
        for (const char *text : { "drwname", "  " }) {
            box->setEditText(QString::fromLatin1(text));
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        }
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "SHEETNAME" }));
        // Leaving the box makes its text current and collects it.
        box->setEditText(QStringLiteral("   "));
        button(form, "displayDiags")->setFocus();
        EXPECT_EQ(form.currentFmts.value(QStringLiteral("[.DXF]")), QStringLiteral("   "));
        EXPECT_EQ(form.fmtLists.list(QStringLiteral("[.DXF]")),
            (QStringList { "DRWNAME", "SHEETNAME", "   " }));
        // Delete forgets the entry equal to the text, in any case, and shows the current format.
        box->setFocus();
        box->setEditText(QStringLiteral("sheetname"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
        EXPECT_EQ(boxItems(form), (QStringList { "DRWNAME", "   " }));
        EXPECT_EQ(box->currentText(), QStringLiteral("   "));
        EXPECT_EQ(box->lineEdit()->cursorPosition(), 3);
        click(form, "isEditFmt");
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(box->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
        click(form, "cancel");
    });
    EXPECT_EQ(readNative(drive.native(QStringLiteral("Quillet.FMT"))),
        QByteArray("[.DXF]\r\nDRWNAME\r\n"));
}

TEST_F(UsrForm, GoWritesEverythingThenRefusesAnEmptyFilenameFormat)
{
    openPlate();
    store.set(QStringLiteral("Path"), drive.win(QStringLiteral("Out")));
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("6"));
    store.set(QStringLiteral("FilenameFormat.0.PDF"), QStringLiteral(":\\/"));
    // A value the check box does not show as ticked; GO! puts the box's state in its place.
    writePdfWriterValue(2);
    command([&](usrForm &form) {
        // The log window of an earlier run goes with the failed GO!.
        logForm::instance();
        click(form, "go");
    });
    EXPECT_EQ(messages,
        QStringList { "Quillet 1.00 [Error]|Invalid or empty filename specification. Error #10401 "
                      "in usrForm Load.       " });
    EXPECT_EQ(store.writes,
        (QStringList { "Path", "OutputFormatIndex", "isDisplayDiags", "FilenameFormat.SLDDRW",
            "FilenameFormat.DXF", "FilenameFormat.DWG", "FilenameFormat.EDRW", "FilenameFormat.JPG",
            "FilenameFormat.TIF", "FilenameFormat.0.PDF", "FilenameFormat.1.PDF",
            "SaveSheetSelectionType", "isUseDestDirs" }));
    EXPECT_EQ(store.get(QStringLiteral("Path")), drive.win(QStringLiteral("Out")));
    EXPECT_EQ(store.get(QStringLiteral("SaveSheetSelectionType")), QStringLiteral("0"));
    EXPECT_EQ(readPdfWriterValue(), 0);
    const QByteArray formats = readNative(drive.native(QStringLiteral("Quillet.FMT")));
    EXPECT_TRUE(formats.startsWith("# Quillet 1.00, ")) << formats.constData();
    EXPECT_TRUE(formats.endsWith("[.SLDDRW]\r\n[.DXF]\r\nDRWNAME\r\n[.DWG]\r\n[.EDRW]\r\n[.JPG]\r\n"
                                 "[.TIF]\r\n[.0.PDF]\r\n[.1.PDF]\r\n"));
    EXPECT_EQ(logForm::existing(), nullptr);
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
    EXPECT_TRUE(QDir(drive.native(QStringLiteral("Out"))).isEmpty());
}

TEST_F(UsrForm, GoRunsTheSaveAndTheLogWaitsForDone)
{
    openPlate();
    store.set(QStringLiteral("Path"), drive.win(QStringLiteral("Out")));
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("1"));
    store.set(QStringLiteral("FilenameFormat.DXF"), QStringLiteral("DRWNAME|_|SHEETNAME"));
    store.set(QStringLiteral("SaveSheetSelectionType"), QStringLiteral("1"));
    QStringList shownLines;
    int progress = -1;
    int maximum = -1;
    command([&](usrForm &form) {
        // DXF files to a directory of their own, set through the destination dialog.
        click(form, "useDestDirs");
        QTimer::singleShot(0, [&] {
            QWidget *destinations = QApplication::activeModalWidget();
            ASSERT_TRUE(destinations && destinations->objectName() == "manageDestDir");
            destinations->findChild<QLineEdit *>(QStringLiteral("tb_FmtDir(1)"))
                ->setText(QStringLiteral("Plots\\DXF"));
            QTest::mouseClick(
                destinations->findChild<QPushButton *>(QStringLiteral("done")), Qt::LeftButton);
        });
        form.findChild<QAction *>(QStringLiteral("mnuDestDir"))->trigger();
        QTimer::singleShot(0, [&] {
            logForm *log = logForm::existing();
            ASSERT_NE(log, nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), log);
            EXPECT_FALSE(form.isVisible());
            shownLines = log->lines();
            progress = log->findChild<QProgressBar *>(QStringLiteral("progress"))->value();
            maximum = log->findChild<QProgressBar *>(QStringLiteral("progress"))->maximum();
            QTest::mouseClick(
                log->findChild<QPushButton *>(QStringLiteral("done")), Qt::LeftButton);
        });
        click(form, "go");
    });
    EXPECT_EQ(messages, QStringList());
    EXPECT_EQ(QDir(drive.native(QStringLiteral("Out/Plots/DXF"))).entryList(QDir::Files),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    EXPECT_EQ(store.get(QStringLiteral("DestinationDirectory.DXF")), QStringLiteral("Plots\\DXF"));
    ASSERT_EQ(shownLines.size(), 24);
    EXPECT_EQ(shownLines.mid(0, 2),
        (QStringList { "Drawing Document Name: PLATE", "Using Destination Directories..." }));
    EXPECT_EQ(shownLines.at(14), QStringLiteral("     Save Status [True] Errors [0] Warnings [0]"));
    EXPECT_EQ(progress, 3);
    EXPECT_EQ(maximum, 3);
    // Done took the window and its lines.
    EXPECT_EQ(logForm::existing(), nullptr);
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
}

TEST_F(UsrForm, ARunErrorIsShownOnceAndClosesEverything)
{
    openPlate();
    store.set(QStringLiteral("Path"), drive.win(QStringLiteral("Out")));
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("1"));
    store.set(QStringLiteral("isUseDestDirs"), QStringLiteral("1"));
    // The destination directory cannot be made: a file holds its name.
    writeNative(drive.native(QStringLiteral("Out/DXF")), "a file");
    command([&](usrForm &form) { click(form, "go"); });
    EXPECT_EQ(messages,
        QStringList { "Quillet 1.00 [Error]|File already exists Error #58 in "
                      "getFilenameFromDoc.       " });
    EXPECT_EQ(logForm::existing(), nullptr);
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
}

TEST_F(UsrForm, PopUpsAndTheAboutBox)
{
    openPlate();
    command([&](usrForm &form) {
        auto *dirCreate = form.findChild<QMenu *>(QStringLiteral("mnuDirCreatePopup"));
        auto *help = form.findChild<QMenu *>(QStringLiteral("mnuHelp"));
        ASSERT_TRUE(dirCreate && help);
        QStringList items;
        for (const QAction *action : dirCreate->actions() + help->actions())
            items.append(action->objectName() + QLatin1Char('=') + action->text());
        EXPECT_EQ(items,
            (QStringList { "mnuDirCreate=Create new directory here...", "mnuSeperator1=-",
                "mnuDestDir=Manage file destination directories...", "mnuAbout=About Quillet",
                "mnuSeperator2=-", "mnuShowHelp=Show User Manual" }));
        // Left clicks pop up nothing; a right click on the directory list offers its commands.
        auto *dirSel = control<DirList>(form, "dirSel");
        QTest::mouseClick(dirSel->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_FALSE(dirCreate->isVisible() || help->isVisible());
        QTest::mousePress(dirSel->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        EXPECT_TRUE(dirCreate->isVisible());
        dirCreate->hide();
        QTest::mousePress(&form, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_TRUE(help->isVisible());
        help->hide();
        QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(2, 2));
        form.findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();
        click(form, "cancel");
    });
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.at(0), messages.at(1));
    EXPECT_TRUE(
        messages.at(0).startsWith(QStringLiteral("Quillet 1.00 [Copyright]|Quillet 1.00 ")));
}

TEST_F(UsrForm, ThePreviewFollowsTheChoicesAndChangesNothing)
{
    openPlate();
    const auto drawing = app->activeDocument();
    drawing->setSelection({ SelectionEntry { SelectionEntry::Kind::View, "Drawing View2", 0 } });
    store.set(QStringLiteral("Path"), drive.win(QStringLiteral("Out")));
    store.set(QStringLiteral("OutputFormatIndex"), QStringLiteral("1"));
    store.set(QStringLiteral("FilenameFormat.DXF"), QStringLiteral("DRWNAME|_|SHEETNAME"));
    store.set(QStringLiteral("FilenameFormat.SLDDRW"), QStringLiteral("PartNo|_|SHEETNUMBER"));
    const QString out = drive.win(QStringLiteral("Out\\"));
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
        auto *preview = control<QLineEdit>(form, "namePreview");
        const auto shows = [&](const QString &path) {
            EXPECT_EQ(preview->text(), QStringLiteral("Next file: ") + path);
        };
        shows(out + "PLATE_Sheet1.DXF");
        click(form, "isEditFmt");
        // Typed into the box, which keeps it when the focus moves on to the other choices.
        formatBox(form)->setFocus();
        formatBox(form)->setEditText(QStringLiteral("SHEETNAME|-|Revision|-|TOTALSELSHEETS"));
        shows(out + "Sheet1-D-1.DXF");
        click(form, "saveSheetType(1)");
        shows(out + "Sheet1-D-3.DXF");
        // The current sheet is not in the run: its first sheet is shown.
        click(form, "saveSheetType(2)");
        shows(QStringLiteral("(no sheet chosen)"));
        control<QListWidget>(form, "listSheets")->item(2)->setSelected(true);
        shows(out + "Sheet3-D-1.DXF");
        click(form, "useDestDirs");
        shows(out + "DXF\\Sheet3-D-1.DXF");
        formatBox(form)->setEditText(QStringLiteral(":\\/"));
        shows(QStringLiteral("(Invalid or empty filename specification.)"));
        // The native format reads the selected view's model without activating it.
        click(form, "outFmt(0)");
        shows(out + "SLDDRW\\P-1001-X1_1.SLDDRW");
        for (int i = 0; i < 1000; ++i)
            formatBox(form)->setEditText(i % 2 ? "PartNo|_|SHEETNUMBER" : "MODELNAME|Revision");
        shows(out + "SLDDRW\\P-1001-X1_1.SLDDRW");
        click(form, "cancel");
    });
    EXPECT_EQ(hostState(), before);
    EXPECT_FALSE(QFileInfo::exists(drive.native(QStringLiteral("Out/DXF"))));
}
