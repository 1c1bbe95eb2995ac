#include "dialogdriver.h"
#include "platform/settingsstore.h"
#include "standinhost.h"
#include "testsupport.h"
#include "workbench/sheetcanvas.h"
#include "workbench/workbenchoptions.h"
#include "workbench/workbenchsettings.h"
#include "workbench/workbenchwindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

// The workbench as a user starts it: the arguments, a copy of the built add-in plugin in its
// plugin directory, the sample drawing on a drive that only --drive maps for the add-in, and the
// add-in's own dialogs driven by their controls' names while they are shown.
class Workbench : public ::testing::Test {
protected:
    void SetUp() override
    {
        workbenchSettings()->clear();
        store->clear();
        store->setValue("Startup/Path", drive.win("Out"));
        store->setValue("Startup/FilenameFormat.DXF", "DRWNAME|_|SHEETNAME");
        drive.mkdir("Out");
        for (const char *file : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT" })
            drive.copyData(file);
        const QString built = QFileInfo(QUILLET_PLUGIN_FILE).path();
        QFile::copy(QUILLET_PLUGIN_FILE, plugins.filePath(pluginFile("QuilletAddIn")));
        QFile::copy(built + "/Quillet.FMT", plugins.filePath("Quillet.FMT"));
        // On Windows the drive is the system's already.
#ifdef Q_OS_WIN
        options = WorkbenchOptions::parse({ "quillet-workbench", drive.native("PLATE.SLDDRW") });
#else
        options = WorkbenchOptions::parse({ "quillet-workbench", "--drive", "T:=" + drive.native(),
            drive.native("PLATE.SLDDRW") });
#endif
        applyDriveMappings(options.drives);
    }

    void TearDown() override
    {
        window.reset();
        if (savedDrives.isNull())
            qunsetenv("QUILLET_DRIVES");
        else
            qputenv("QUILLET_DRIVES", savedDrives);
    }

    void start()
    {
        start({ plugins.path() });
    }
    void start(const QStringList &pluginDirectories)
    {
        window = std::make_unique<WorkbenchWindow>(pluginDirectories);
        window->setPrompts({ [this](const QString &text) { messages.append(text); },
            [this](const QString &, const QString &filter, const QString &start) {
                starts.append(filter + '|' + start);
                return answer;
            } });
        for (const QString &document : options.documents)
            window->openDocument(document);
        window->show();
    }

    QMenu *menu(const char *name) const
    {
        return window->menuBar()->findChild<QMenu *>(name);
    }
    QAction *action(const char *menuName, const QString &text) const
    {
        for (QAction *action : menu(menuName)->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    QStringList texts(QMenu *menu) const
    {
        emit menu->aboutToShow();
        QStringList result;
        for (const QAction *action : menu->actions())
            result.append(action->text() + (action->isChecked() ? "*" : ""));
        return result;
    }
    QString status() const
    {
        return window->findChild<QLabel *>("statusText")->text();
    }

    // Runs Tools > Quillet 1.00: picks the output format, presses GO! and closes the log.
    void runQuillet(const char *format)
    {
        whileModal("usrForm", [format](QWidget &form) {
            press(form, format);
            press(form, "saveSheetType(1)");
            whileModal("logForm", [](QWidget &log) { press(log, "done"); });
            press(form, "go");
        });
        action("Tools", "Quillet 1.00")->trigger();
    }

    // Clicks a sheet point and answers what the host then has selected.
    QString clickAt(const QPointF &sheetPoint)
    {
        auto *canvas = window->findChild<SheetCanvas *>();
        const double paperHeight = canvas->scene().layout.paper.height();
        QTest::mouseClick(
            canvas, Qt::LeftButton, {}, canvas->zoom().toWindow(sheetPoint, paperHeight).toPoint());
        return selected();
    }
    QString selected() const
    {
        QStringList names;
        for (const SelectionEntry &entry : window->host()->activeDocument()->data().selection)
            names.append(entry.name);
        return names.join(',');
    }

    TempDrive drive;
    const std::unique_ptr<QSettings> store = openUserStore("Quillet");
    QTemporaryDir plugins;
    const QByteArray savedDrives = qgetenv("QUILLET_DRIVES");
    WorkbenchOptions options;
    std::unique_ptr<WorkbenchWindow> window;
    QStringList messages;
    QStringList starts;
    QString answer;
};

TEST_F(Workbench, ToolsQuilletSavesEverySheetOnTheDriveMappedByTheArguments)
{
    start();
    runQuillet("outFmt(1)");
    EXPECT_EQ(messages, QStringList());
    EXPECT_EQ(QDir(drive.native("Out")).entryList(QDir::Files),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    // The run's choices are where the add-in keeps them, the registry key on Windows.
    store->sync();
    EXPECT_EQ(store->value("Startup/OutputFormatIndex"), "1");
    EXPECT_EQ(store->value("Startup/SaveSheetSelectionType"), "1");
    // GO! rewrote the formats file beside the plugin that ran, not the built one.
    const QByteArray installed = "# File created on: (installed by the build)";
    EXPECT_FALSE(readNative(plugins.filePath("Quillet.FMT")).contains(installed));
    EXPECT_TRUE(
        readNative(QFileInfo(QUILLET_PLUGIN_FILE).path() + "/Quillet.FMT").contains(installed));
}

TEST_F(Workbench, OpensNewAndClosesDocumentsAndReportsThoseItCannotOpen)
{
    drive.copyData("broken/NOTJSON.SLDDRW");
    start();
    const QString missing = drive.native("NONE.SLDDRW");
    EXPECT_FALSE(window->openDocument(drive.native("NOTJSON.SLDDRW")));
    EXPECT_FALSE(window->openDocument(missing));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.at(0).startsWith(drive.native("NOTJSON.SLDDRW") + ": "))
        << qPrintable(messages.at(0));
    EXPECT_EQ(messages.at(1), missing + ": file not found");
    EXPECT_EQ(window->windowTitle(), "PLATE.SLDDRW - quillet-workbench");

    // New offers the active drawing as the template, Open its folder.
    answer = drive.native("PLATE.SLDDRW");
    action("File", "&New...")->trigger();
    answer = drive.native("PLATE.SLDPRT");
    action("File", "&Open...")->trigger();
    EXPECT_TRUE(window->findChild<QTabBar *>("sheetTabs")->isHidden());
    EXPECT_NE(window->findChild<SheetCanvas *>()->scene().layout.views.at(0).model, nullptr);
    EXPECT_EQ(action("Tools", "Quillet 1.00"), nullptr);
    EXPECT_EQ(window->findChild<QTreeWidget *>("properties")->topLevelItem(0)->text(0), "General");
    answer = drive.native("PLATE.SLDDRW");
    action("File", "&New...")->trigger();
    EXPECT_EQ(starts,
        (QStringList { "Drawings (*.SLDDRW)|" + drive.native("PLATE.SLDDRW"),
            "Drawings, parts and assemblies (*.SLDDRW *.dxf *.SLDPRT *.SLDASM);;DXF drawings "
            "(*.dxf)|",
            "Drawings (*.SLDDRW)|" }));
    EXPECT_EQ(
        texts(menu("Window")), (QStringList { "PLATE.SLDDRW", "Draw1", "PLATE.SLDPRT", "Draw2*" }));
    EXPECT_NE(action("Tools", "Quillet 1.00"), nullptr);
    menu("Window")->actions().at(2)->trigger();
    action("File", "&Close")->trigger();
    EXPECT_EQ(texts(menu("Window")), (QStringList { "PLATE.SLDDRW", "Draw1", "Draw2*" }));
    EXPECT_EQ(texts(menu("recentFiles")),
        (QStringList { "&1 " + QDir::toNativeSeparators(drive.native("PLATE.SLDPRT")),
            "&2 " + QDir::toNativeSeparators(drive.native("PLATE.SLDDRW")) }));
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(Workbench, TabsFollowTheHostAndAClickSelectsTheViewTheAddInNames)
{
    start();
    const auto drawing = window->host()->activeDocument();
    auto *tabs = window->findChild<QTabBar *>("sheetTabs");
    tabs->setCurrentIndex(2);
    EXPECT_EQ(drawing->data().activeSheet, "Sheet3");
    drawing->ActivateSheet("Sheet1");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(clickAt({ 200, 280 }), "");
    EXPECT_EQ(clickAt({ 330, 80 }), "Drawing View2");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_EQ(selected(), "");

    // A selected view gives the native format its model: the copy took the revision of the
    // view's configuration, and the window shows the copy in the drawing's place.
    clickAt({ 330, 80 });
    runQuillet("outFmt(0)");
    EXPECT_EQ(messages, QStringList());
    EXPECT_TRUE(window->windowTitle().startsWith("PLATE_Sheet1_B_"))
        << qPrintable(window->windowTitle());
}

TEST_F(Workbench, WithNoAddInAnywhereTheStatusBarAndTheAddInsDialogSaySo)
{
    ASSERT_TRUE(QFile::remove(plugins.filePath(pluginFile("QuilletAddIn"))));
    start();
    EXPECT_EQ(status(), "No add-in found in " + QDir::toNativeSeparators(plugins.path()));
    QString hint;
    whileModal("addInsDialog", [&](QWidget &dialog) {
        hint = dialog.findChild<QLabel *>()->text();
        dialog.close();
    });
    action("Tools", "&Add-Ins...")->trigger();
    EXPECT_EQ(hint, "No add-in was found beside the workbench or in its add-in directory.");
}

// Installed, the workbench's directory is the system's program directory, which holds other
// programs' files; the add-in directory below the installation's lib is searched after it.
TEST_F(Workbench, AddInsConnectAndDisconnectAtOnceAndFailuresAreShown)
{
    const QString bin = plugins.filePath("bin");
    const QStringList directories = addInDirectories(bin);
    ASSERT_EQ(directories.size(), 2);
    const QString installed = directories.at(1);
    ASSERT_TRUE(installed.startsWith(plugins.path() + "/lib/")) << qPrintable(installed);
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(installed));
    for (const QString &file : { pluginFile("QuilletAddIn"), QString("Quillet.FMT") })
        ASSERT_TRUE(QFile::rename(plugins.filePath(file), bin + "/" + file));
    writeNative(bin + "/" + pluginFile("Broken"), "no library");
    writeNative(bin + "/ld.so", "no library either");
    // The add-in beside the program hides the one of its name in the add-in directory.
    for (const char *name : { "RefusingAddIn", "QuilletAddIn" })
        QFile::copy(QUILLET_REFUSING_PLUGIN_FILE, installed + "/" + pluginFile(name));
    start(directories);
    const auto rows = [](const QTreeWidget *list) {
        QStringList result;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list->topLevelItem(i);
            result.append(QString(item->checkState(0) == Qt::Checked ? "[x] " : "[ ] ")
                + QStringList { item->text(0), item->text(1), item->text(2) }.join(" | "));
        }
        return result;
    };
    QStringList before, after;
    whileModal("addInsDialog", [&](QWidget &dialog) {
        auto *list = dialog.findChild<QTreeWidget *>("addIns");
        before = rows(list);
        list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        after = rows(list);
        EXPECT_EQ(action("Tools", "Quillet 1.00"), nullptr);
        dialog.close();
    });
    action("Tools", "&Add-Ins...")->trigger();
    EXPECT_EQ(before,
        (QStringList { "[x] Quillet 1.00 | " + pluginFile("QuilletAddIn") + " | connected",
            "[ ] " + pluginFile("RefusingAddIn") + " | " + pluginFile("RefusingAddIn")
                + " | connect returned false" }));
    EXPECT_EQ(after.value(0), "[ ] Quillet 1.00 | " + pluginFile("QuilletAddIn") + " | ");
    EXPECT_EQ(status(), "Thank you for using Quillet 1.00");

    // The choice is kept: the next start leaves the add-in alone.
    window.reset();
    start(directories);
    EXPECT_EQ(action("Tools", "Quillet 1.00"), nullptr);
}

// The items of a context menu as the user reads them: text, then the key shown beside it.
static QStringList menuItems(const QMenu *menu)
{
    QStringList items;
    for (const QAction *action : menu->actions()) {
        const QString key = action->shortcut().toString(QKeySequence::NativeText);
        items.append(action->text() + (key.isEmpty() ? "" : "\t" + key));
    }
    return items;
}

// What the platform sends a widget for a right click at a point.
static void rightClick(QWidget *widget, const QPoint &at)
{
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &request);
}

TEST_F(Workbench, SheetTabsAndTheDrawingOfferTheirMenusByMouseAndByKeyboard)
{
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto drawing = window->host()->activeDocument();
    auto *tabs = window->findChild<QTabBar *>("sheetTabs");
    auto *canvas = window->findChild<SheetCanvas *>();
    auto *properties = window->findChild<QTreeWidget *>("properties");
    auto *sheetMenu = window->findChild<QMenu *>("sheetMenu");
    auto *drawingMenu = window->findChild<QMenu *>("drawingMenu");
    ASSERT_TRUE(sheetMenu && drawingMenu);
    const auto itemNamed = [](QMenu *menu, const QString &text) {
        for (QAction *action : menu->actions()) {
            if (action->text().startsWith(text))
                return action;
        }
        return static_cast<QAction *>(nullptr);
    };

    const double sheet1Fitted = canvas->zoom().dotsPerMm;

    // A tab's menu acts on that tab; the main menu's key for Zoom to Fit is shown beside it.
    rightClick(tabs, tabs->tabRect(2).center());
    ASSERT_TRUE(sheetMenu->isVisible());
    EXPECT_EQ(
        menuItems(sheetMenu), (QStringList { "&Activate", "Zoom to &Fit\tF", "", "&Properties" }));
    EXPECT_TRUE(itemNamed(sheetMenu, "&Activate")->isEnabled());
    itemNamed(sheetMenu, "&Activate")->trigger();
    sheetMenu->hide();
    EXPECT_EQ(drawing->data().activeSheet, "Sheet3");
    rightClick(tabs, tabs->tabRect(2).center());
    EXPECT_FALSE(itemNamed(sheetMenu, "&Activate")->isEnabled());
    sheetMenu->hide();
    // Between the tabs there is no sheet to act on.
    rightClick(tabs, QPoint(tabs->width() - 2, tabs->height() / 2));
    EXPECT_FALSE(sheetMenu->isVisible());

    canvas->zoomBy(4);
    rightClick(tabs, tabs->tabRect(0).center());
    itemNamed(sheetMenu, "Zoom to &Fit")->trigger();
    sheetMenu->hide();
    EXPECT_EQ(drawing->data().activeSheet, "Sheet1");
    EXPECT_DOUBLE_EQ(canvas->zoom().dotsPerMm, sheet1Fitted);

    // From the keyboard the menu opens on the current tab; Properties opens the panel again
    // when it was pushed shut, with the keyboard in it.
    auto *splitter = qobject_cast<QSplitter *>(properties->parentWidget());
    splitter->setSizes({ 1100, 0 });
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(sheetMenu->isVisible());
    EXPECT_FALSE(itemNamed(sheetMenu, "&Activate")->isEnabled());
    itemNamed(sheetMenu, "&Properties")->trigger();
    sheetMenu->hide();
    EXPECT_GT(properties->width(), 0);
    EXPECT_TRUE(properties->hasFocus());

    // The drawing's menu holds the main menus' own items, with their keys.
    canvas->setFocus();
    QTest::keyClick(canvas, Qt::Key_Menu);
    ASSERT_TRUE(drawingMenu->isVisible());
    EXPECT_EQ(menuItems(drawingMenu),
        (QStringList { "Zoom to &Fit\tF", "",
            "&Close\t" + QKeySequence(QKeySequence::Close).toString(QKeySequence::NativeText),
            "&Properties" }));
    drawingMenu->hide();
    rightClick(canvas, canvas->rect().center());
    ASSERT_TRUE(drawingMenu->isVisible());
    itemNamed(drawingMenu, "&Close")->trigger();
    drawingMenu->hide();
    EXPECT_EQ(window->host()->activeDocument(), nullptr);
    // Nothing open, nothing to offer.
    rightClick(canvas, canvas->rect().center());
    EXPECT_FALSE(drawingMenu->isVisible());
}

// The host has nothing to insert of its own: Insert shows only while an add-in has put an item
// there, as the menus the host does not have.
TEST_F(Workbench, InsertShowsOnlyWhileAnAddInsItemIsInIt)
{
    start();
    EXPECT_FALSE(menu("Insert")->menuAction()->isVisible());
    EXPECT_TRUE(menu("Tools")->menuAction()->isVisible());
    window->host()->AddCommandItem(3, 7, "Revision cloud@Insert", -1, "cloud", "", "A cloud");
    EXPECT_TRUE(menu("Insert")->menuAction()->isVisible());
    EXPECT_EQ(texts(menu("Insert")), QStringList { "Revision cloud" });
    window->host()->RemoveCommandItem(3, "Revision cloud@Insert", "cloud");
    EXPECT_FALSE(menu("Insert")->menuAction()->isVisible());
}
