#pragma once

// The host contract: the CAD application's objects as the add-in sees them. Method names are the
// host's own operation names, and codes keep the host's conventions:
//   document type 1 part, 2 assembly, 3 drawing;
//   view type 1 a sheet's own view;
//   selection type 12 a drawing view, 13 a sheet, 14 a dimension, 15 a note;
//   custom property type 30 text; configuration "" means the general properties;
//   LoadReferencedModel returns 1 on success; ActivateDocument's error code 0 means success.
// Host objects are handed out as shared pointers; "none" is an empty pointer.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtPlugin>
#include <memory>

namespace CadCode {
inline constexpr int DocPart = 1;
inline constexpr int DocAssembly = 2;
inline constexpr int DocDrawing = 3;
inline constexpr int ViewSheet = 1;
inline constexpr int SelDrawingView = 12;
inline constexpr int SelSheet = 13;
inline constexpr int SelDimension = 14;
inline constexpr int SelNote = 15;
inline constexpr int PropText = 30;
inline constexpr int MenuTools = 4;
} // namespace CadCode

class CadDocument;

// Anything the selection manager can hand out.
class CadObject {
public:
    virtual ~CadObject() = default;
};

class CadFrame {
public:
    virtual ~CadFrame() = default;
    virtual void SetStatusBarText(const QString &text) = 0;
    // The host's main window as the system knows it, so that the add-in's windows can be owned by
    // it; 0 when the host's windows are the add-in's own toolkit's.
    virtual quintptr WindowHandle() = 0;
};

class CadView : public CadObject {
public:
    // On a sheet's own view this is the sheet's first drawing view.
    virtual std::shared_ptr<CadView> GetNextView() = 0;
    virtual QString ViewName() = 0;
    virtual int ViewType() = 0;
    virtual bool ModelLoaded() = 0;
    virtual int LoadReferencedModel() = 0;
    virtual QString ModelPathName() = 0;
    virtual QString ConfigurationName() = 0;
    // The model the view shows, when it is loaded, without making it the active document; none
    // when it is not loaded.
    virtual std::shared_ptr<CadDocument> ReferencedDocument() = 0;
};

class CadSheet : public CadObject {
public:
    virtual QString GetName() = 0;
    // "Default" names the sheet's first drawing view.
    virtual QString PropertiesViewName() = 0;
};

class CadSelectionManager {
public:
    virtual ~CadSelectionManager() = default;
    virtual int SelectedCount() = 0;
    // Indices run from 1.
    virtual int SelectedType(int index) = 0;
    virtual std::shared_ptr<CadObject> SelectedObject(int index) = 0;
};

// A document; a drawing is the same object used through its drawing operations.
class CadDocument {
public:
    virtual ~CadDocument() = default;

    virtual int DocumentType() = 0;
    virtual QString PathName() = 0;
    virtual QString Title() = 0;
    virtual int GetSheetCount() = 0;
    virtual QStringList GetSheetNames() = 0;
    virtual std::shared_ptr<CadSheet> GetCurrentSheet() = 0;
    virtual bool ActivateSheet(const QString &sheetName) = 0;
    // The file type follows the extension; the document keeps its own path name.
    virtual bool SaveToPath(
        const QString &pathName, int version, int options, int &errors, int &warnings)
        = 0;
    virtual std::shared_ptr<CadSelectionManager> SelectionManager() = 0;
    // Brings every sheet up to date before a save run; 1 rebuilds everything. Changes neither the
    // active sheet nor the selection.
    virtual void Rebuild(int options) = 0;

    virtual QString CustomPropertyValue(const QString &configuration, const QString &name) = 0;
    virtual int CustomPropertyCount(const QString &configuration) = 0;
    virtual QStringList CustomPropertyNames(const QString &configuration) = 0;
    virtual QString CustomInfo2(const QString &configuration, const QString &name) = 0;
    virtual void SetCustomInfo2(
        const QString &configuration, const QString &name, const QString &value)
        = 0;
    // False when a property of that name exists already.
    virtual bool AddCustomInfo3(
        const QString &configuration, const QString &name, int type, const QString &value)
        = 0;

    // Drawing operations.
    virtual std::shared_ptr<CadView> FirstView() = 0;
    virtual std::shared_ptr<CadSheet> CurrentSheet() = 0;
    virtual std::shared_ptr<CadView> ActiveView() = 0;
    virtual bool ActivateViewByName(const QString &viewName) = 0;
};

class CadApplication {
public:
    virtual ~CadApplication() = default;

    // The add-in object receives its command callbacks by name.
    virtual void RegisterCallbacks(quintptr moduleHandle, QObject *addIn, int cookie) = 0;
    virtual QString StandardMenuName(int menuId) = 0;
    virtual void AddCommandItem(int documentType, int cookie, const QString &itemPath, int position,
        const QString &callbackName, const QString &flags, const QString &hint)
        = 0;
    virtual void RemoveCommandItem(
        int documentType, const QString &itemPath, const QString &callbackName)
        = 0;
    virtual std::shared_ptr<CadFrame> MainFrame() = 0;

    virtual std::shared_ptr<CadDocument> ActiveDocument() = 0;
    virtual std::shared_ptr<CadDocument> ActivateDocument(
        const QString &pathName, bool silent, int &errorCode)
        = 0;
    // By path name or by title.
    virtual void CloseDocument(const QString &name) = 0;
    virtual std::shared_ptr<CadDocument> OpenDocument(const QString &pathName, int documentType,
        int options, const QString &configuration, int &errors, int &warnings)
        = 0;
};

// What the host calls on an add-in.
class CadAddIn {
public:
    virtual ~CadAddIn() = default;
    virtual bool SwAddIn_ConnectToSW(std::shared_ptr<CadApplication> thisSW, int cookie) = 0;
    virtual bool SwAddIn_DisconnectFromSW() = 0;
};

// A plugin's root object hands out the add-in object that the host then connects.
class CadAddInFactory {
public:
    virtual ~CadAddInFactory() = default;
    virtual QObject *createAddIn() = 0;
};

#define CadAddInFactory_iid "org.quillet.CadAddInFactory/1.0"
Q_DECLARE_INTERFACE(CadAddInFactory, CadAddInFactory_iid)
