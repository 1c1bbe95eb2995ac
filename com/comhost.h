#pragma once

#include "addin/CadHost.h"
#include "dispatchobject.h"

// The host contract bound to the real host's objects by late binding. Each class wraps one host
// object and calls the members the host's published API names, the current member first and the
// older one where the host lacks it. Every wrapper holds its host object until it is destroyed,
// and nothing else holds one.

class ComFrame : public CadFrame {
public:
    explicit ComFrame(ComPtr<IDispatch> frame);
    void SetStatusBarText(const QString &text) override;
    quintptr WindowHandle() override;

private:
    DispatchObject frame;
};

class ComView : public CadView {
public:
    explicit ComView(ComPtr<IDispatch> view);
    std::shared_ptr<CadView> GetNextView() override;
    QString ViewName() override;
    int ViewType() override;
    bool ModelLoaded() override;
    int LoadReferencedModel() override;
    QString ModelPathName() override;
    QString ConfigurationName() override;
    std::shared_ptr<CadDocument> ReferencedDocument() override;

private:
    DispatchObject view;
};

class ComSheet : public CadSheet {
public:
    explicit ComSheet(ComPtr<IDispatch> sheet);
    QString GetName() override;
    QString PropertiesViewName() override;

private:
    DispatchObject sheet;
};

// A selected object that is neither a view nor a sheet: the add-in only skips it.
class ComObject : public CadObject {
public:
    explicit ComObject(ComPtr<IDispatch> object)
        : object(std::move(object))
    {
    }

private:
    ComPtr<IDispatch> object;
};

class ComSelectionManager : public CadSelectionManager {
public:
    explicit ComSelectionManager(ComPtr<IDispatch> manager);
    int SelectedCount() override;
    // The host's sheet code is the contract's sheet code.
    int SelectedType(int index) override;
    std::shared_ptr<CadObject> SelectedObject(int index) override;

private:
    int hostType(int index);
    DispatchObject manager;
};

class ComDocument : public CadDocument {
public:
    explicit ComDocument(ComPtr<IDispatch> document);

    int DocumentType() override;
    QString PathName() override;
    QString Title() override;
    int GetSheetCount() override;
    QStringList GetSheetNames() override;
    std::shared_ptr<CadSheet> GetCurrentSheet() override;
    bool ActivateSheet(const QString &sheetName) override;
    bool SaveToPath(
        const QString &pathName, int version, int options, int &errors, int &warnings) override;
    std::shared_ptr<CadSelectionManager> SelectionManager() override;
    void Rebuild(int options) override;

    QString CustomPropertyValue(const QString &configuration, const QString &name) override;
    int CustomPropertyCount(const QString &configuration) override;
    QStringList CustomPropertyNames(const QString &configuration) override;
    QString CustomInfo2(const QString &configuration, const QString &name) override;
    void SetCustomInfo2(
        const QString &configuration, const QString &name, const QString &value) override;
    bool AddCustomInfo3(
        const QString &configuration, const QString &name, int type, const QString &value) override;

    std::shared_ptr<CadView> FirstView() override;
    std::shared_ptr<CadSheet> CurrentSheet() override;
    std::shared_ptr<CadView> ActiveView() override;
    bool ActivateViewByName(const QString &viewName) override;

private:
    DispatchObject &extension();

    DispatchObject document;
    std::unique_ptr<DispatchObject> documentExtension;
};

class ComApplication : public CadApplication {
public:
    explicit ComApplication(ComPtr<IDispatch> application);

    // The host is handed a callback object of ours that calls the add-in's commands by name.
    void RegisterCallbacks(quintptr moduleHandle, QObject *addIn, int cookie) override;
    QString StandardMenuName(int menuId) override;
    void AddCommandItem(int documentType, int cookie, const QString &itemPath, int position,
        const QString &callbackName, const QString &flags, const QString &hint) override;
    void RemoveCommandItem(
        int documentType, const QString &itemPath, const QString &callbackName) override;
    std::shared_ptr<CadFrame> MainFrame() override;

    std::shared_ptr<CadDocument> ActiveDocument() override;
    std::shared_ptr<CadDocument> ActivateDocument(
        const QString &pathName, bool silent, int &errorCode) override;
    void CloseDocument(const QString &name) override;
    std::shared_ptr<CadDocument> OpenDocument(const QString &pathName, int documentType,
        int options, const QString &configuration, int &errors, int &warnings) override;

private:
    DispatchObject application;
};
