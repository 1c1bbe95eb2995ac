#pragma once

#include "addin/CadHost.h"
#include "documentcache.h"
#include "documentdata.h"
#include "stagedsaves.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

class StandInDocument;
class StandInFrame;

// A menu item an add-in added, as it passed it.
struct CommandItem {
    int documentType = 0;
    int cookie = 0;
    // "Quillet 1.00@Tools": the item's text, "@", the name of the menu it belongs to.
    QString itemPath;
    int position = 0;
    QString callbackName;
    QString flags;
    QString hint;

    QString text() const;
    QString menu() const;
};

// The stand-in CAD application: open documents and the active one, the add-ins' callbacks and
// menu items, and the main frame. At the host contract every path is Windows path text through
// the drive map; the C++ API below takes native paths. Path names compare without regard to
// case, as the host's own file system does.
class StandInApplication : public QObject,
                           public CadApplication,
                           public std::enable_shared_from_this<StandInApplication> {
    Q_OBJECT
public:
    static std::shared_ptr<StandInApplication> create();
    ~StandInApplication() override;

    // The host contract.
    void RegisterCallbacks(quintptr moduleHandle, QObject *addIn, int cookie) override;
    // 0 File, 1 Edit, 2 View, 3 Insert, 4 Tools, 5 Window, 6 Help; "" for any other id.
    QString StandardMenuName(int menuId) override;
    void AddCommandItem(int documentType, int cookie, const QString &itemPath, int position,
        const QString &callbackName, const QString &flags, const QString &hint) override;
    void RemoveCommandItem(
        int documentType, const QString &itemPath, const QString &callbackName) override;
    std::shared_ptr<CadFrame> MainFrame() override;
    std::shared_ptr<CadDocument> ActiveDocument() override;
    // By path name or by the title of an open document. Error code 0 success, 2 file not found,
    // 1 anything else (a malformed document, an unknown type, a name that is no path).
    std::shared_ptr<CadDocument> ActivateDocument(
        const QString &pathName, bool silent, int &errorCode) override;
    void CloseDocument(const QString &name) override;
    // The open document of that path, or the file loaded and made active. errors as for
    // ActivateDocument; a documentType 1 to 3 that differs from the file's type is error 1.
    std::shared_ptr<CadDocument> OpenDocument(const QString &pathName, int documentType,
        int options, const QString &configuration, int &errors, int &warnings) override;

    // Documents, by native path. open() returns the open document of that path or loads the
    // file; either way it becomes the active document. Throws StandInFileError with the
    // reader's message.
    std::shared_ptr<StandInDocument> open(const QString &nativePath);
    // A drawing that was never saved: empty path name, title Draw1, Draw2, ... Without a
    // template it has one empty A3 sheet "Sheet1"; with one it is a copy of that drawing whose
    // model paths are made absolute. It becomes the active document. Throws StandInFileError.
    std::shared_ptr<StandInDocument> newDrawing(const QString &templateNativePath = {});
    QList<std::shared_ptr<StandInDocument>> documents() const { return openDocuments; }
    std::shared_ptr<StandInDocument> activeDocument() const { return active; }
    // Makes an open document the active one; false for a document that is not open.
    bool setActiveDocument(const std::shared_ptr<StandInDocument> &document);
    void close(const std::shared_ptr<StandInDocument> &document);
    void closeAllDocuments();
    // The open document of that native path, or none.
    std::shared_ptr<StandInDocument> findDocument(const QString &nativePath) const;
    // Why the last open, activation or command failed.
    QString lastError() const { return error; }

    std::shared_ptr<StandInFrame> frame() const { return mainFrame; }

    // Menu items in the order they were added.
    QList<CommandItem> commandItems() const { return items; }
    // The items that are offered while the active document is what it is.
    QList<CommandItem> availableCommandItems() const;
    // Calls the item's callback on the add-in registered under its cookie, by name, only while
    // a document of the item's type is active. True when the callback ran and returned true;
    // otherwise lastError() says which of these failed.
    bool invokeCommand(const QString &itemPath);
    QObject *addInForCookie(int cookie) const { return addIns.value(cookie); }

    // A document file read through the application's cache. Throws StandInFileError.
    std::shared_ptr<const DocumentData> readDocumentFile(const QString &nativePath);
    // The host wrote this file: the next read takes it from disk.
    void forgetDocumentFile(const QString &nativePath) { cache.forget(nativePath); }
    // From now on every save is staged beside its target instead of replacing it; a staged
    // file is its target's content for this application.
    void stageSaves() { staging.emplace(); }
    // None while saves replace their targets.
    StagedSaves *stagedSaves() { return staging ? &*staging : nullptr; }

    // Called by a document whose sheets, selection or properties changed.
    void notifyDocumentChanged(StandInDocument *document) { emit documentChanged(document); }
    // Something the user should read in the host's log, such as what a drawing could not show.
    void notifyMessage(const QString &text) { emit message(text); }

signals:
    // A document was opened or closed, or another one became active.
    void documentsChanged();
    void commandItemsChanged();
    // The active sheet, the selection, the properties or the loaded models of a document.
    void documentChanged(StandInDocument *document);
    void message(const QString &text);

private:
    StandInApplication();

    // The open document whose path name or title is name (Windows path text), or none.
    std::shared_ptr<StandInDocument> findByName(const QString &name) const;
    // Loads a file as a new open document; error code as ActivateDocument's.
    std::shared_ptr<StandInDocument> load(const QString &nativePath, int &errorCode);
    // Windows path text to an open or loaded document, made active.
    std::shared_ptr<StandInDocument> activate(
        const QString &pathName, int documentType, int &errorCode);
    void makeActive(const std::shared_ptr<StandInDocument> &document);

    std::shared_ptr<StandInFrame> mainFrame;
    QList<std::shared_ptr<StandInDocument>> openDocuments;
    std::shared_ptr<StandInDocument> active;
    QHash<int, QPointer<QObject>> addIns;
    QList<CommandItem> items;
    DocumentCache cache;
    std::optional<StagedSaves> staging;
    int newDrawingCount = 0;
    QString error;
};
