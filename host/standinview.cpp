#include "standinview.h"

#include "platform/filesystemobject.h"
#include "standinapplication.h"
#include "standindocument.h"
#include "standinfile.h"

#include <QFileInfo>

StandInView::StandInView(
    std::shared_ptr<StandInDocument> document, QString sheetName, QString viewName)
    : document(std::move(document))
    , sheet(std::move(sheetName))
    , name(std::move(viewName))
{
}

const ViewData *StandInView::data() const
{
    return isSheetView() ? nullptr : document->view(sheet, name);
}

std::shared_ptr<CadView> StandInView::GetNextView()
{
    const SheetData *sheetData = document->sheet(sheet);
    if (!sheetData)
        return {};
    qsizetype next = 0;
    if (!isSheetView()) {
        next = -1;
        for (qsizetype i = 0; i < sheetData->views.size(); ++i) {
            if (sheetData->views.at(i).name == name)
                next = i + 1;
        }
        if (next < 0)
            return {};
    }
    if (next >= sheetData->views.size())
        return {};
    return std::make_shared<StandInView>(document, sheet, sheetData->views.at(next).name);
}

QString StandInView::ViewName()
{
    return isSheetView() ? sheet : name;
}

int StandInView::ViewType()
{
    return isSheetView() ? CadCode::ViewSheet : drawingViewType;
}

bool StandInView::ModelLoaded()
{
    // A model whose file has gone cannot be in memory, whatever the drawing recorded.
    const ViewData *view = data();
    return view && view->loaded && QFileInfo::exists(document->modelNativePath(*view));
}

int StandInView::LoadReferencedModel()
{
    const ViewData *view = data();
    const auto application = document->application();
    if (!view || !application)
        return 0;
    const QString modelPath = document->modelNativePath(*view);
    try {
        const auto model = application->readDocumentFile(modelPath);
        if (model->type == DocumentData::Type::Drawing)
            return 0;
    } catch (const StandInFileError &) {
        // The host answers a model it cannot read with 0; the reason is not part of the call.
        return 0;
    }
    document->markModelLoaded(modelPath);
    return 1;
}

QString StandInView::ModelPathName()
{
    const ViewData *view = data();
    if (!view)
        return {};
    return FileSystemObject().fromNative(document->modelNativePath(*view));
}

QString StandInView::ConfigurationName()
{
    const ViewData *view = data();
    return view ? view->configuration : QString();
}

std::shared_ptr<CadDocument> StandInView::ReferencedDocument()
{
    const ViewData *view = data();
    const auto application = document->application();
    if (!view || !view->loaded || !application)
        return {};
    const QString modelPath = document->modelNativePath(*view);
    if (auto open = application->findDocument(modelPath))
        return open;
    const auto model = document->modelOf(*view);
    if (!model)
        return {};
    return std::make_shared<StandInDocument>(
        application, *model, modelPath, QFileInfo(modelPath).fileName());
}
