#include "addin/quilletmain.h"
#include "dialogdriver.h"
#include "loghelp/helpabout.h"
#include "loghelp/logform.h"
#include "loghelp/messagewindow.h"
#include "platform/moduleinfo.h"
#include "save/outputlog.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

class LogWindow : public ::testing::Test {
protected:
    void SetUp() override { OutputLog::instance().clear(); }
    void TearDown() override { logForm::unload(); }

    static void append(const QString &line) { OutputLog::instance().append(line); }
};

TEST_F(LogWindow, ShowsLinesAppendedWhileHiddenAndRefreshAddsOnlyNewOnes)
{
    append("Document has 3 sheets");
    logForm *window = logForm::instance();
    EXPECT_EQ(window->windowTitle(), "Quillet 1.00 [Output Log]");
    append("");
    window->show();
    auto *list = window->findChild<QListWidget *>("log");
    QListWidgetItem *first = list->item(0);
    const QString longLine = "Sheet1 filename: " + QString(183, QLatin1Char('W'));
    append(longLine);
    append("");
    window->refreshLines();
    window->refreshLines();
    EXPECT_EQ(list->item(0), first);
    EXPECT_EQ(window->lines(), QStringList({ "Document has 3 sheets", "", longLine, "" }));

    // Rows share one size, which must still hold the longest line.
    EXPECT_GE(list->visualItemRect(list->item(3)).width(),
        list->fontMetrics().horizontalAdvance(longLine));
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
}

TEST_F(LogWindow, SelectedLinesAreCopiedInTheLogsOrderByKeysAndByTheContextMenu)
{
    const QStringList lines { "Drawing Document Name: PLATE", "", "Sheet1 filename: PLATE_Sheet1",
        "Finished, but check output files!" };
    for (const QString &line : lines)
        append(line);
    logForm *window = logForm::instance();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto *list = window->findChild<QListWidget *>("log");
    auto *menu = window->findChild<QMenu *>("mnuLog");
    auto *copy = window->findChild<QAction *>("mnuCopy");
    ASSERT_TRUE(menu && copy);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    const auto key = [](QWidget *to, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(to, key, modifiers);
    };

    // Nothing is picked when the window opens, so there is nothing to copy.
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(copy->isEnabled());
    key(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "before");
    // The keys work from Done, where the keyboard starts; the empty line is copied as one.
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "done");
    key(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    key(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), lines.join('\n'));

    // Lines picked with the mouse come out in the log's order, not in the order picked.
    const auto click = [&](int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
            list->visualItemRect(list->item(row)).center());
    };
    click(3);
    click(0, Qt::ControlModifier);
    key(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), lines.at(0) + '\n' + lines.at(3));

    // A right click on a line (the request the platform makes of it) opens the menu, with the
    // keys beside its items.
    const QPoint onLine = list->visualItemRect(list->item(2)).center();
    QContextMenuEvent rightClick(
        QContextMenuEvent::Mouse, onLine, list->viewport()->mapToGlobal(onLine));
    QApplication::sendEvent(list->viewport(), &rightClick);
    ASSERT_TRUE(menu->isVisible());
    QStringList items;
    for (const QAction *action : menu->actions())
        items.append(action->text() + '\t' + action->shortcut().toString(QKeySequence::NativeText));
    EXPECT_EQ(items, QStringList({ "&Copy\tCtrl+C", "Select &All\tCtrl+A" }));
    EXPECT_TRUE(copy->isShortcutVisibleInContextMenu());
    menu->hide();
    // Shift+F10 and the Menu key open it for the line list.
    for (const Qt::Key opener : { Qt::Key_F10, Qt::Key_Menu }) {
        key(list, opener, opener == Qt::Key_F10 ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_TRUE(menu->isVisible()) << opener;
        menu->hide();
    }
    list->clearSelection();
    window->findChild<QAction *>("mnuSelectAll")->trigger();
    copy->trigger();
    EXPECT_EQ(clipboard->text(), lines.join('\n'));
}

TEST_F(LogWindow, EveryWayOfClosingDestroysTheWindowAndItsLines)
{
    const std::vector<std::pair<const char *, std::function<void(logForm *)>>> closers = {
        { "Done", [](logForm *w) { press(*w, "done"); } },
        { "Enter",
            [](logForm *w) {
                QTest::keyClick(w->findChild<QListWidget *>("log"), Qt::Key_Return);
            } },
        { "Esc", [](logForm *w) { QTest::keyClick(w, Qt::Key_Escape); } },
        { "frame", [](logForm *w) { w->close(); } },
        { "unload", [](logForm *) { logForm::unload(); } },
    };
    for (const auto &[how, close] : closers) {
        SCOPED_TRACE(how);
        append("Drawing Document Name: PLATE");
        QPointer<logForm> window = logForm::instance();
        window->show();
        close(window);
        EXPECT_EQ(logForm::existing(), nullptr);
        EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
        EXPECT_TRUE(logForm::instance()->lines().isEmpty());
        logForm::unload();
    }
}

TEST_F(LogWindow, ModalShowWaitsForDoneWithTheRunsProgress)
{
    QDialog mainDialog;
    mainDialog.show();
    LogSurroundings surroundings(&mainDialog);
    surroundings.hideMainDialog();
    surroundings.showLogModeless();
    QPointer<logForm> window = logForm::existing();
    ASSERT_TRUE(window);
    EXPECT_FALSE(mainDialog.isVisible());
    EXPECT_TRUE(window->isVisible() && window->isWindow() && !window->isModal());
    EXPECT_EQ(window->parentWidget(), &mainDialog);

    auto *progress = window->findChild<QProgressBar *>("progress");
    surroundings.showProgress(0, 0);
    EXPECT_EQ(progress->text(), "Sheets done: 0 of 0");
    EXPECT_GT(progress->maximum(), progress->minimum());
    surroundings.showProgress(3, 3);
    surroundings.appendLog("Finished, but check output files!");
    surroundings.hideLog();
    EXPECT_FALSE(window->isVisible());

    whileModal("logForm", [&](QWidget &shown) {
        EXPECT_EQ(&shown, window);
        EXPECT_EQ(window->lines(), QStringList({ "Finished, but check output files!" }));
        EXPECT_EQ(progress->value(), 3);
        EXPECT_EQ(progress->text(), "Sheets done: 3 of 3");
        press(shown, "done");
    });
    surroundings.showLogModal();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
}

TEST_F(LogWindow, MainDialogGoingTakesTheLogWindowWithIt)
{
    auto *mainDialog = new QDialog;
    LogSurroundings surroundings(mainDialog);
    surroundings.appendLog("Drawing Document Name: PLATE");
    surroundings.showLogModeless();
    QPointer<logForm> window = logForm::existing();
    delete mainDialog;
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(OutputLog::instance().lines().isEmpty());
    surroundings.hideMainDialog();
    surroundings.refreshLog();
    EXPECT_TRUE(logForm::instance()->lines().isEmpty());
}

class HelpAbout : public ::testing::Test {
protected:
    void SetUp() override { qputenv("PATH", QFile::encodeName(pathDir.path())); }
    void TearDown() override { qputenv("PATH", savedPath); }

    // An xdg-open on PATH that writes the number of its arguments and each argument on a line,
    // then ends with the status given.
    void installOpener(int status = 0) const
    {
        const QString opener = pathDir.filePath("xdg-open");
        writeNative(opener,
            "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + QFile::encodeName(argsFile) + "'\nexit "
                + QByteArray::number(status) + "\n");
        QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void expectOneError(const QString &text)
    {
        EXPECT_EQ(recorded.texts(), QStringList { "Quillet 1.00 [Error]|" + text });
        EXPECT_EQ(recorded.shown.value(0).icon, MsgBox::Icon::Exclamation);
        recorded.shown.clear();
    }

    const QByteArray savedPath = qgetenv("PATH");
    QTemporaryDir pathDir;
    QTemporaryDir moduleHome;
    const QString moduleDir = moduleHome.filePath("Quillet Add In");
    const QString argsFile = pathDir.filePath("args.txt");
    RecordedMessages recorded;
};

TEST_F(HelpAbout, AboutBoxNamesProductCopyrightAndTheInstalledManual)
{
    setModuleDirectory(moduleDir);
    showAboutBox();
    setModuleDirectory(QString());
    EXPECT_EQ(recorded.texts(),
        QStringList { "Quillet 1.00 [Copyright]|Quillet 1.00 " + Quilletmain::legalCopyright
            + QString(7, QLatin1Char(' ')) + "\r\n\r\n" + windowsOr("file:///", "file://")
            + QDir::fromNativeSeparators(moduleDir).replace(' ', "%20")
            + "/doc/Quillet_User_Manual.html" });
    EXPECT_EQ(recorded.shown.value(0).icon, MsgBox::Icon::Information);
}

// A handler of a user action never lets a failure reach the event loop: it is shown once, with
// the procedure recorded last, and the handler's arguments still reach it.
TEST_F(HelpAbout, AGuardedHandlerShowsWhatItDoesNotHandle)
{
    Quilletmain::curProcName = QStringLiteral("mnuShowHelp");
    guarded([](int number) { throw QuilletError(number, QStringLiteral("Disk full")); })(61);
    expectOneError("Disk full Error #61 in mnuShowHelp.       ");
    guarded([] { throw std::runtime_error("unexpected"); })();
    expectOneError("Internal error Error #51 in mnuShowHelp.       ");
}

// Elsewhere than on Windows the manual goes to xdg-open, here a stand-in on PATH.
#ifndef Q_OS_WIN
TEST_F(HelpAbout, ManualCommandChecksOpenerThenManualThenHandsOverItsPath)
{
    showUserManual(moduleDir);
    expectOneError("xdg-open not found. Error #15001 in mnuShowHelp.       ");
    EXPECT_EQ(Quilletmain::curProcName, "mnuShowHelp");

    installOpener();
    const QString notFound = QStringLiteral(
        "Help file [Quillet_User_Manual.html] not found. Error #16001 in mnuShowHelp.       ");
    showUserManual(moduleDir);
    expectOneError(notFound);
    // A directory by the manual's name is no manual: it is not handed to the opener either.
    const QString manual = moduleDir + "/doc/Quillet_User_Manual.html";
    ASSERT_TRUE(QDir().mkpath(manual));
    showUserManual(moduleDir);
    expectOneError(notFound);
    ASSERT_TRUE(QDir(manual).removeRecursively());

    writeNative(manual, "<html></html>");
    showUserManual(moduleDir);
    EXPECT_TRUE(recorded.shown.isEmpty());
    const QByteArray expected = "1\n" + QFile::encodeName(manual) + "\n";
    for (int wait = 0; wait < 500 && readNative(argsFile) != expected; ++wait)
        QThread::msleep(10);
    EXPECT_EQ(readNative(argsFile), expected);
    // Nothing is shown while the opener runs, and nothing after it ended well.
    QTest::qWait(200);
    EXPECT_TRUE(recorded.shown.isEmpty());

    // An opener that finds no program for HTML files ends with a status of its own; the user
    // learns where the manual is, to open it by hand.
    installOpener(3);
    showUserManual(moduleDir);
    EXPECT_TRUE(recorded.shown.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !recorded.shown.isEmpty(); }));
    expectOneError("No program opened the user manual [" + manual
        + "]; open it in a web browser. Error #16101 in mnuShowHelp.       ");
}
#endif

// On Windows the manual goes to the command interpreter below WINDIR, here a stand-in that writes
// down its command line and how its window was asked to show.
#ifdef Q_OS_WIN
TEST_F(HelpAbout, ManualCommandStartsTheInterpreterBelowWindirWithItsWindowHidden)
{
    const QByteArray savedWindir = qgetenv("WINDIR");
    const auto restoreWindir = qScopeGuard([&] { qputenv("WINDIR", savedWindir); });
    const QString windir = QDir::toNativeSeparators(pathDir.path());
    qputenv("WINDIR", windir.toLocal8Bit());
    qputenv("QUILLET_RECORD_FILE", argsFile.toLocal8Bit());
    showUserManual(moduleDir);
    expectOneError("cmd.exe not found. Error #15001 in mnuShowHelp.       ");

    ASSERT_TRUE(QDir().mkpath(pathDir.filePath("system32")));
    ASSERT_TRUE(QFile::copy(QUILLET_RECORDER_FILE, pathDir.filePath("system32/cmd.exe")));
    showUserManual(moduleDir);
    expectOneError(
        "Help file [Quillet_User_Manual.html] not found. Error #16001 in mnuShowHelp.       ");

    const QString manual = moduleDir + "/doc/Quillet_User_Manual.html";
    writeNative(manual, "<html></html>");
    showUserManual(moduleDir);
    EXPECT_TRUE(recorded.shown.isEmpty());
    const QByteArray expected = ("\"" + windir + "\\system32\\cmd.exe\" /C \""
        + QDir::toNativeSeparators(manual) + "\"\nhidden\n")
                                    .toUtf8();
    for (int wait = 0; wait < 500 && readNative(argsFile) != expected; ++wait)
        QThread::msleep(10);
    EXPECT_EQ(readNative(argsFile), expected);
}
#endif
