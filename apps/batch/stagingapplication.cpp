#include "stagingapplication.h"

#include "stagedsaves.h"

#include <QFile>

namespace {

class StagingDocument : public CadDocument {
public:
    StagingDocument(std::shared_ptr<CadDocument> document, StagedSaves &staging, bool inPlace)
        : document(std::move(document))
        , staging(staging)
        , inPlace(inPlace)
    {
    }

    bool SaveToPath(
        const QString &pathName, int version, int options, int &errors, int &warnings) override
    {
        QString why;
        if (!staging.stage(
                pathName,
                [&](const QString &staged, QString *) {
                    return document->SaveToPath(staged, version, options, errors, warnings);
                },
                &why))
            return false;
        if (!inPlace)
            return true;
        const StagedSaves::File file = staging.files().constLast();
        staging.clear();
        if (StagedSaves::commit(file, &why))
            return true;
        QFile::remove(file.staged);
        return false;
    }

    int DocumentType() override { return document->DocumentType(); }
    QString PathName() override { return document->PathName(); }
    QString Title() override { return document->Title(); }
    int GetSheetCount() override { return document->GetSheetCount(); }
    QStringList GetSheetNames() override { return document->GetSheetNames(); }
    std::shared_ptr<CadSheet> GetCurrentSheet() override { return document->GetCurrentSheet(); }
    bool ActivateSheet(const QString &sheetName) override
    {
        return document->ActivateSheet(sheetName);
    }
    std::shared_ptr<CadSelectionManager> SelectionManager() override
    {
        return document->SelectionManager();
    }
    void Rebuild(int options) override { document->Rebuild(options); }
    QString CustomPropertyValue(const QString &configuration, const QString &name) override
    {
        return document->CustomPropertyValue(configuration, name);
    }
    int CustomPropertyCount(const QString &configuration) override
    {
        return document->CustomPropertyCount(configuration);
    }
    QStringList CustomPropertyNames(const QString &configuration) override
    {
        return document->CustomPropertyNames(configuration);
    }
    QString CustomInfo2(const QString &configuration, const QString &name) override
    {
        return document->CustomInfo2(configuration, name);
    }
    void SetCustomInfo2(
        const QString &configuration, const QString &name, const QString &value) override
    {
        document->SetCustomInfo2(configuration, name, value);
    }
    bool AddCustomInfo3(
        const QString &configuration, const QString &name, int type, const QString &value) override
    {
        return document->AddCustomInfo3(configuration, name, type, value);
    }
    std::shared_ptr<CadView> FirstView() override { return document->FirstView(); }
    std::shared_ptr<CadSheet> CurrentSheet() override { return document->CurrentSheet(); }
    std::shared_ptr<CadView> ActiveView() override { return document->ActiveView(); }
    bool ActivateViewByName(const QString &viewName) override
    {
        return document->ActivateViewByName(viewName);
    }

private:
    std::shared_ptr<CadDocument> document;
    StagedSaves &staging;
    bool inPlace;
};

class StagingApplication : public CadApplication {
public:
    StagingApplication(std::shared_ptr<CadApplication> host, StagedSaves &staging, bool inPlace)
        : host(std::move(host))
        , staging(staging)
        , inPlace(inPlace)
    {
    }

    std::shared_ptr<CadDocument> ActiveDocument() override
    {
        return staged(host->ActiveDocument());
    }
    std::shared_ptr<CadDocument> ActivateDocument(
        const QString &pathName, bool silent, int &errorCode) override
    {
        return staged(host->ActivateDocument(onDisk(pathName), silent, errorCode));
    }
    void CloseDocument(const QString &name) override { host->CloseDocument(onDisk(name)); }
    std::shared_ptr<CadDocument> OpenDocument(const QString &pathName, int documentType,
        int options, const QString &configuration, int &errors, int &warnings) override
    {
        return staged(host->OpenDocument(
            onDisk(pathName), documentType, options, configuration, errors, warnings));
    }

    void RegisterCallbacks(quintptr moduleHandle, QObject *addIn, int cookie) override
    {
        host->RegisterCallbacks(moduleHandle, addIn, cookie);
    }
    QString StandardMenuName(int menuId) override { return host->StandardMenuName(menuId); }
    void AddCommandItem(int documentType, int cookie, const QString &itemPath, int position,
        const QString &callbackName, const QString &flags, const QString &hint) override
    {
        host->AddCommandItem(documentType, cookie, itemPath, position, callbackName, flags, hint);
    }
    void RemoveCommandItem(
        int documentType, const QString &itemPath, const QString &callbackName) override
    {
        host->RemoveCommandItem(documentType, itemPath, callbackName);
    }
    std::shared_ptr<CadFrame> MainFrame() override { return host->MainFrame(); }

private:
    std::shared_ptr<CadDocument> staged(std::shared_ptr<CadDocument> document)
    {
        if (!document)
            return nullptr;
        return std::make_shared<StagingDocument>(std::move(document), staging, inPlace);
    }
    // A target saved in this run is, until its call renames it into place, its staged file.
    QString onDisk(const QString &pathName) const
    {
        const QString file = staging.stagedFor(pathName);
        return file.isEmpty() ? pathName : file;
    }

    std::shared_ptr<CadApplication> host;
    StagedSaves &staging;
    bool inPlace;
};

} // namespace

std::shared_ptr<CadApplication> stagingApplication(
    std::shared_ptr<CadApplication> host, StagedSaves &staging, bool inPlace)
{
    return std::make_shared<StagingApplication>(std::move(host), staging, inPlace);
}
