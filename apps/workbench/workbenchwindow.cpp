#include "workbenchwindow.h"

#include "dxfdocument.h"
#include "standinhost.h"
#include "workbench/addinmanager.h"
#include "workbench/addinsdialog.h"
#include "workbench/recentfiles.h"
#include "workbench/sheetcanvas.h"
#include "workbench/sheettabbar.h"
#include "workbench/workbenchoptions.h"
#include "workbench/workbenchsettings.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

namespace {

const QString programName = QStringLiteral("quillet-workbench");
const QString recentKey = QStringLiteral("RecentFiles");
// Qt's file dialog matches patterns without regard to case, so *.dxf also finds DRAWING.DXF.
const QString documentFilter = QStringLiteral(
    "Drawings, parts and assemblies (*.SLDDRW *.dxf *.SLDPRT *.SLDASM);;DXF drawings (*.dxf)");
const QString drawingFilter = QStringLiteral("Drawings (*.SLDDRW)");
constexpr double zoomStep = 1.25;

// Menu and item texts show a "&" as it is.
QString menuText(const QString &text)
{
    return QString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Shift+F10 and the Menu key ask for the context menu of the widget with the keyboard focus, as
// a right click asks the widget under the pointer; not every platform sends that request itself.
bool isContextMenuKey(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (event.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

// The keyboard's request, placed at the widget's caret or current item.
void requestContextMenu(QWidget *widget)
{
    if (!widget)
        return;
    const QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &request);
}

} // namespace

WorkbenchWindow::WorkbenchWindow(const QStringList &pluginDirectories, QWidget *parent)
    : QMainWindow(parent)
    , app(StandInApplication::create())
{
    setObjectName(QStringLiteral("workbench"));
    setWindowTitle(programName);
    prompts.message
        = [this](const QString &text) { QMessageBox::warning(this, programName, text); };
    prompts.openFileName
        = [this](const QString &caption, const QString &filter, const QString &start) {
              return QFileDialog::getOpenFileName(this, caption, start, filter);
          };

    canvas = new SheetCanvas;
    tabs = new SheetTabBar;
    tabs->hide();
    properties = new QTreeWidget;
    properties->setObjectName(QStringLiteral("properties"));
    properties->setHeaderLabels({ QStringLiteral("Property"), QStringLiteral("Value") });
    auto *sheetArea = new QWidget;
    auto *sheetLayout = new QVBoxLayout(sheetArea);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    sheetLayout->setSpacing(0);
    sheetLayout->addWidget(canvas, 1);
    sheetLayout->addWidget(tabs);
    splitter = new QSplitter;
    splitter->addWidget(sheetArea);
    splitter->addWidget(properties);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({ 800, 250 });
    setCentralWidget(splitter);
    statusText = new QLabel;
    statusText->setObjectName(QStringLiteral("statusText"));
    // A long text is cut at the window's edge rather than widening the window.
    statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(statusText, 1);
    hostLog = new QPlainTextEdit;
    hostLog->setObjectName(QStringLiteral("hostLog"));
    hostLog->setReadOnly(true);
    logDock = new QDockWidget(QStringLiteral("Log"));
    logDock->setObjectName(QStringLiteral("logDock"));
    logDock->setWidget(hostLog);
    addDockWidget(Qt::BottomDockWidgetArea, logDock);
    logDock->hide();
    resize(1100, 750);
    buildMenus();
    buildContextMenus();

    connect(app.get(), &StandInApplication::documentsChanged, this, [this] {
        showActiveDocument();
        refreshAddInItems();
    });
    connect(
        app.get(), &StandInApplication::documentChanged, this, [this](StandInDocument *document) {
            if (document == app->activeDocument().get())
                showActiveDocument();
        });
    connect(app.get(), &StandInApplication::commandItemsChanged, this,
        &WorkbenchWindow::refreshAddInItems);
    connect(app->frame().get(), &StandInFrame::statusBarTextChanged, statusText, &QLabel::setText);
    // What the host could not show of a drawing is worth a look, so the log comes up with it.
    connect(app.get(), &StandInApplication::message, this, [this](const QString &text) {
        hostLog->appendPlainText(text);
        if (!logDock->isVisible()) {
            logDock->show();
            // A few lines' room: the sheet keeps the window.
            resizeDocks({ logDock }, { 6 * hostLog->fontMetrics().lineSpacing() }, Qt::Vertical);
        }
    });
    connect(tabs, &QTabBar::currentChanged, this, &WorkbenchWindow::chooseSheet);
    connect(canvas, &SheetCanvas::selectionRequested, this, &WorkbenchWindow::select);

    addInManager = std::make_unique<AddInManager>(app, pluginDirectories);
    addInManager->connectChosen();
    if (addInManager->plugins().isEmpty())
        statusText->setText(QStringLiteral("No add-in found in ")
            + QDir::toNativeSeparators(pluginDirectories.join(QStringLiteral(" or "))));
}

WorkbenchWindow::~WorkbenchWindow()
{
    // The add-ins say goodbye to a host that no longer shows anything.
    QObject::disconnect(app.get(), nullptr, this, nullptr);
    QObject::disconnect(app->frame().get(), nullptr, statusText, nullptr);
    addInManager.reset();
}

void WorkbenchWindow::setPrompts(Prompts replacement)
{
    prompts = std::move(replacement);
}

QMenu *WorkbenchWindow::addMenu(const QString &name)
{
    QMenu *menu = menuBar()->addMenu(QLatin1Char('&') + name);
    menu->setObjectName(name);
    menus.append(menu);
    return menu;
}

// The host names its standard menus; add-ins place their items by those names.
void WorkbenchWindow::buildMenus()
{
    QMenu *file = addMenu(app->StandardMenuName(0));
    file->addAction(
        QStringLiteral("&Open..."), QKeySequence::Open, this, &WorkbenchWindow::chooseDocument);
    file->addAction(
        QStringLiteral("&New..."), QKeySequence::New, this, &WorkbenchWindow::chooseTemplate);
    closeAction = file->addAction(
        QStringLiteral("&Close"), QKeySequence::Close, this, &WorkbenchWindow::closeDocument);
    file->addSeparator();
    recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    recentMenu->setObjectName(QStringLiteral("recentFiles"));
    connect(recentMenu, &QMenu::aboutToShow, this, &WorkbenchWindow::fillRecentMenu);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *edit = addMenu(app->StandardMenuName(1));
    edit->addAction(QStringLiteral("Clear &Selection"), QKeySequence(Qt::Key_Escape), this,
        &WorkbenchWindow::clearSelection);

    QMenu *view = addMenu(app->StandardMenuName(2));
    zoomToFitAction = view->addAction(
        QStringLiteral("Zoom to &Fit"), QKeySequence(Qt::Key_F), canvas, &SheetCanvas::zoomToFit);
    view->addAction(QStringLiteral("Zoom &In"), QKeySequence::ZoomIn, canvas,
        [this] { canvas->zoomBy(zoomStep); });
    view->addAction(QStringLiteral("Zoom &Out"), QKeySequence::ZoomOut, canvas,
        [this] { canvas->zoomBy(1 / zoomStep); });
    view->addSeparator();
    QAction *showLog = logDock->toggleViewAction();
    showLog->setText(QStringLiteral("&Log"));
    view->addAction(showLog);

    // Shown only while an add-in's item is in it, as the menus the host does not have.
    insertMenu = addMenu(app->StandardMenuName(3));
    insertMenu->menuAction()->setVisible(false);
    QMenu *tools = addMenu(app->StandardMenuName(CadCode::MenuTools));
    tools->addAction(QStringLiteral("&Add-Ins..."), this, &WorkbenchWindow::showAddIns);

    // Filled as it opens, so no item is taken away while it is being chosen.
    windowMenu = addMenu(app->StandardMenuName(5));
    connect(windowMenu, &QMenu::aboutToShow, this, &WorkbenchWindow::fillWindowMenu);

    QMenu *help = addMenu(app->StandardMenuName(6));
    help->addAction(QStringLiteral("&About quillet-workbench"), this, &WorkbenchWindow::showAbout);
}

void WorkbenchWindow::buildContextMenus()
{
    sheetMenu = new QMenu(this);
    sheetMenu->setObjectName(QStringLiteral("sheetMenu"));
    activateSheetAction = sheetMenu->addAction(
        QStringLiteral("&Activate"), this, [this] { chooseSheet(menuSheet); });
    // The items act on the tab they were opened on; the main menu's keys are shown beside them.
    sheetMenu->addAction(QStringLiteral("Zoom to &Fit\t")
            + zoomToFitAction->shortcut().toString(QKeySequence::NativeText),
        this, [this] {
            chooseSheet(menuSheet);
            canvas->zoomToFit();
        });
    sheetMenu->addSeparator();
    sheetMenu->addAction(QStringLiteral("&Properties"), this, [this] {
        chooseSheet(menuSheet);
        showProperties();
    });
    tabs->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tabs, &QWidget::customContextMenuRequested, this, &WorkbenchWindow::showSheetMenu);

    drawingMenu = new QMenu(this);
    drawingMenu->setObjectName(QStringLiteral("drawingMenu"));
    drawingMenu->addAction(zoomToFitAction);
    drawingMenu->addSeparator();
    drawingMenu->addAction(closeAction);
    drawingMenu->addAction(QStringLiteral("&Properties"), this, &WorkbenchWindow::showProperties);
    canvas->setContextMenuPolicy(Qt::CustomContextMenu);
    // The drawing takes the keyboard when clicked, so its menu is a key away as well.
    canvas->setFocusPolicy(Qt::StrongFocus);
    connect(canvas, &QWidget::customContextMenuRequested, this, &WorkbenchWindow::showDrawingMenu);
}

void WorkbenchWindow::showSheetMenu(const QPoint &position)
{
    menuSheet = tabs->tabAt(position);
    if (menuSheet < 0)
        return;
    activateSheetAction->setEnabled(menuSheet != tabs->currentIndex());
    sheetMenu->popup(tabs->mapToGlobal(position));
}

void WorkbenchWindow::showDrawingMenu(const QPoint &position)
{
    if (app->activeDocument())
        drawingMenu->popup(canvas->mapToGlobal(position));
}

void WorkbenchWindow::showProperties()
{
    QList<int> sizes = splitter->sizes();
    if (sizes.value(1) == 0) {
        sizes = { qMax(sizes.value(0) - 250, 0), 250 };
        splitter->setSizes(sizes);
    }
    properties->setFocus(Qt::OtherFocusReason);
}

void WorkbenchWindow::keyPressEvent(QKeyEvent *event)
{
    if (isContextMenuKey(*event))
        requestContextMenu(QApplication::focusWidget());
    else
        QMainWindow::keyPressEvent(event);
}

QMenu *WorkbenchWindow::menuNamed(const QString &name)
{
    // An item without a menu of its own goes where the add-ins' commands are.
    const QString wanted = name.isEmpty() ? app->StandardMenuName(CadCode::MenuTools) : name;
    for (QMenu *menu : menus + addedMenus) {
        if (menu->objectName() == wanted)
            return menu;
    }
    // A menu the host does not have goes before Help.
    auto *menu = new QMenu(QLatin1Char('&') + menuText(wanted), this);
    menu->setObjectName(wanted);
    menuBar()->insertMenu(menus.constLast()->menuAction(), menu);
    addedMenus.append(menu);
    return menu;
}

bool WorkbenchWindow::openDocument(const QString &nativePath)
{
    std::shared_ptr<StandInDocument> document;
    try {
        document = app->open(nativePath);
    } catch (const StandInFileError &failure) {
        prompts.message(failure.message());
        return false;
    }
    remember(document->nativePath());
    return true;
}

bool WorkbenchWindow::newDrawing(const QString &templateNativePath)
{
    try {
        app->newDrawing(templateNativePath);
    } catch (const StandInFileError &failure) {
        prompts.message(failure.message());
        return false;
    }
    return true;
}

void WorkbenchWindow::chooseDocument()
{
    const auto active = app->activeDocument();
    const QString start = active && !active->nativePath().isEmpty()
        ? QFileInfo(active->nativePath()).path()
        : QString();
    const QString path = prompts.openFileName(QStringLiteral("Open"), documentFilter, start);
    if (!path.isEmpty())
        openDocument(path);
}

// The template offered first is the active drawing.
void WorkbenchWindow::chooseTemplate()
{
    const auto active = app->activeDocument();
    const QString start = active && active->isDrawing() ? active->nativePath() : QString();
    const QString path
        = prompts.openFileName(QStringLiteral("New Drawing from Template"), drawingFilter, start);
    if (!path.isEmpty())
        newDrawing(path);
}

void WorkbenchWindow::closeDocument()
{
    if (const auto active = app->activeDocument())
        app->close(active);
}

void WorkbenchWindow::showAddIns()
{
    AddInsDialog dialog(*addInManager, this);
    dialog.exec();
}

void WorkbenchWindow::showAbout()
{
    QMessageBox::about(this, QStringLiteral("About quillet-workbench"),
        programName + QLatin1Char(' ') + WorkbenchOptions::version()
            + QStringLiteral("\n\nThe stand-in CAD host: it opens stand-in drawings, parts and "
                             "assemblies and runs the add-ins found beside it."));
}

void WorkbenchWindow::fillWindowMenu()
{
    windowMenu->clear();
    const auto active = app->activeDocument();
    const auto documents = app->documents();
    for (const auto &document : documents) {
        QAction *action = windowMenu->addAction(menuText(document->Title()));
        action->setCheckable(true);
        action->setChecked(document == active);
        const std::weak_ptr<StandInDocument> chosen = document;
        connect(action, &QAction::triggered, this, [this, chosen] {
            if (const auto document = chosen.lock())
                app->setActiveDocument(document);
        });
    }
}

void WorkbenchWindow::fillRecentMenu()
{
    recentMenu->clear();
    const QStringList recent = workbenchSettings()->value(recentKey).toStringList();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent.at(i);
        QAction *action = recentMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(menuText(QDir::toNativeSeparators(path))));
        connect(action, &QAction::triggered, this, [this, path] {
            // A document that cannot be opened any more is not offered again.
            if (!openDocument(path)) {
                const auto settings = workbenchSettings();
                settings->setValue(recentKey,
                    RecentFiles::removed(settings->value(recentKey).toStringList(), path));
            }
        });
    }
    recentMenu->setEnabled(!recent.isEmpty());
}

void WorkbenchWindow::remember(const QString &nativePath)
{
    const auto settings = workbenchSettings();
    settings->setValue(
        recentKey, RecentFiles::added(settings->value(recentKey).toStringList(), nativePath));
}

void WorkbenchWindow::showActiveDocument()
{
    const auto document = app->activeDocument();
    const bool drawing = document && document->isDrawing();
    tabs->setSheets(drawing ? document->GetSheetNames() : QStringList(),
        drawing ? document->activeSheetIndex() : -1);
    tabs->setVisible(drawing);
    if (!document) {
        shownDocument.reset();
        canvas->clearScene();
        properties->clear();
        setWindowTitle(programName);
        return;
    }
    const QString sheet = drawing ? document->data().activeSheet : QString();
    const bool another = document != shownDocument.lock() || sheet != shownSheet;
    shownDocument = document;
    shownSheet = sheet;
    canvas->setScene(SheetScene::of(*document), another);
    canvas->setSelection(document->data().selection);
    fillProperties(*document);
    setWindowTitle(document->Title() + QStringLiteral(" - ") + programName);
}

void WorkbenchWindow::fillProperties(StandInDocument &document)
{
    properties->clear();
    if (document.data().dxf) {
        // What a filename format can name on this sheet, grouped by where it comes from, in
        // the order the names are looked up.
        QTreeWidgetItem *group = nullptr;
        QString groupName;
        for (const DxfProperty &property :
            dxfProperties(document.data(), document.activeSheetIndex())) {
            const QString name = property.source == DxfProperty::Source::Drawing
                ? QStringLiteral("Drawing")
                : property.source == DxfProperty::Source::Block
                ? QStringLiteral("Block %1").arg(property.block)
                : QStringLiteral("Block %1 (hidden)").arg(property.block);
            if (!group || name != groupName) {
                group = new QTreeWidgetItem(properties, { name });
                groupName = name;
            }
            new QTreeWidgetItem(group, { property.name, property.value });
        }
        properties->expandAll();
        properties->resizeColumnToContents(0);
        return;
    }
    for (const PropertySet &set : document.data().properties) {
        auto *group = new QTreeWidgetItem(properties,
            { set.configuration.isEmpty() ? QStringLiteral("General") : set.configuration });
        for (const auto &[name, value] : set.values)
            new QTreeWidgetItem(group, { name, value });
    }
    properties->expandAll();
    properties->resizeColumnToContents(0);
}

void WorkbenchWindow::chooseSheet(int index)
{
    const auto document = app->activeDocument();
    if (document && index >= 0)
        document->ActivateSheet(tabs->sheets().value(index));
}

void WorkbenchWindow::select(const QList<SelectionEntry> &entries)
{
    const auto document = app->activeDocument();
    if (!document || !document->isDrawing())
        return;
    if (entries.isEmpty())
        document->clearSelection();
    else
        document->setSelection(entries);
}

void WorkbenchWindow::clearSelection()
{
    select({});
}

// The items of the add-ins that the active document offers, each in its menu at its position.
void WorkbenchWindow::refreshAddInItems()
{
    if (commandRunning) {
        itemsOutdated = true;
        return;
    }
    for (QAction *action : std::as_const(addInActions)) {
        for (QMenu *menu : menus + addedMenus)
            menu->removeAction(action);
        // Its triggered signal may still be on its way out.
        action->deleteLater();
    }
    addInActions.clear();
    const QList<CommandItem> items = app->availableCommandItems();
    for (const CommandItem &item : items) {
        QMenu *menu = menuNamed(item.menu());
        auto *action = new QAction(menuText(item.text()), this);
        action->setStatusTip(item.hint);
        action->setToolTip(item.hint);
        const QString itemPath = item.itemPath;
        connect(action, &QAction::triggered, this, [this, itemPath] { runCommand(itemPath); });
        menu->insertAction(menu->actions().value(item.position), action);
        addInActions.append(action);
    }
    // Insert and the menus the host does not have show only while they hold something.
    for (QMenu *menu : addedMenus + QList<QMenu *> { insertMenu })
        menu->menuAction()->setVisible(!menu->isEmpty());
}

void WorkbenchWindow::runCommand(const QString &itemPath)
{
    commandRunning = true;
    QString failure;
    // An add-in's failure must not take the host down with it.
    try {
        if (!app->invokeCommand(itemPath))
            failure = app->lastError();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    commandRunning = false;
    if (itemsOutdated) {
        itemsOutdated = false;
        refreshAddInItems();
    }
    if (!failure.isEmpty()) {
        CommandItem item;
        item.itemPath = itemPath;
        prompts.message(QStringLiteral("The command \"%1\" failed: %2").arg(item.text(), failure));
    }
}
