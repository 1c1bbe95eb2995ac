#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class AddInManager;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTreeWidget;
class SheetCanvas;
class SheetTabBar;
class StandInApplication;
class StandInDocument;
struct SelectionEntry;

// quillet-workbench's main window over the stand-in host: the open documents, the active one
// shown sheet by sheet, the standard menus with the items the add-ins add, and the status bar
// text they set. The add-ins come from one plugin directory and are reached only through the
// host contract.
class WorkbenchWindow : public QMainWindow {
    Q_OBJECT
public:
    // What needs the user; tests answer in its place.
    struct Prompts {
        // Something failed and the user should know why.
        std::function<void(const QString &text)> message;
        // The native path of a file to open, empty when the user cancels.
        std::function<QString(const QString &caption, const QString &filter, const QString &start)>
            openFileName;
    };

    // Connects the add-ins of the plugin directories that the workbench's settings ask for; the
    // status bar says so when there is none.
    explicit WorkbenchWindow(const QStringList &pluginDirectories, QWidget *parent = nullptr);
    ~WorkbenchWindow() override;

    void setPrompts(Prompts prompts);
    std::shared_ptr<StandInApplication> host() const { return app; }
    AddInManager &addIns() { return *addInManager; }

    // Opens a document as the active one; a document that cannot be opened is reported with the
    // host's message and changes nothing.
    bool openDocument(const QString &nativePath);
    // A drawing never saved, made from a template drawing.
    bool newDrawing(const QString &templateNativePath);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildMenus();
    QMenu *addMenu(const QString &name);
    QMenu *menuNamed(const QString &name);

    void chooseDocument();
    void chooseTemplate();
    void closeDocument();
    void showAddIns();
    void showAbout();
    void fillWindowMenu();
    void fillRecentMenu();
    void remember(const QString &nativePath);

    void showActiveDocument();
    void fillProperties(StandInDocument &document);
    void chooseSheet(int index);
    // The context menus of the sheet tabs and of the drawing, by mouse and keyboard.
    void buildContextMenus();
    void showSheetMenu(const QPoint &position);
    void showDrawingMenu(const QPoint &position);
    // The properties panel, opened again if it was pushed shut, with the keyboard in it.
    void showProperties();
    void select(const QList<SelectionEntry> &entries);
    void clearSelection();

    void refreshAddInItems();
    void runCommand(const QString &itemPath);

    std::shared_ptr<StandInApplication> app;
    std::unique_ptr<AddInManager> addInManager;
    Prompts prompts;

    // File to Help, as the host names them; then the menus that add-in items asked for.
    QList<QMenu *> menus;
    QList<QMenu *> addedMenus;
    QList<QAction *> addInActions;
    QMenu *recentMenu = nullptr;
    QMenu *windowMenu = nullptr;
    // A standard menu that add-ins may fill; the host itself has nothing to insert.
    QMenu *insertMenu = nullptr;
    QAction *closeAction = nullptr;
    QAction *zoomToFitAction = nullptr;
    QMenu *sheetMenu = nullptr;
    QAction *activateSheetAction = nullptr;
    QMenu *drawingMenu = nullptr;
    // The tab the sheet menu was opened on.
    int menuSheet = -1;
    SheetTabBar *tabs = nullptr;
    SheetCanvas *canvas = nullptr;
    QTreeWidget *properties = nullptr;
    QSplitter *splitter = nullptr;
    QLabel *statusText = nullptr;
    // The host's own messages, such as what a DXF sheet could not show.
    QPlainTextEdit *hostLog = nullptr;
    QDockWidget *logDock = nullptr;

    // What the canvas shows, so that another document or sheet is fitted anew.
    std::weak_ptr<StandInDocument> shownDocument;
    QString shownSheet;
    // A command's own menu item stays until the command returns.
    bool commandRunning = false;
    bool itemsOutdated = false;
};
