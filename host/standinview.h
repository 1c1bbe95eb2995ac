#pragma once

#include "addin/CadHost.h"

#include <QString>
#include <memory>

class StandInDocument;
struct ViewData;

// A view of a stand-in drawing: the sheet's own view (an empty view name) or a drawing view,
// found by sheet and view name.
class StandInView : public CadView {
public:
    // The type code of every drawing view: the host's named view.
    static constexpr int drawingViewType = 7;

    StandInView(std::shared_ptr<StandInDocument> document, QString sheetName, QString viewName);

    std::shared_ptr<CadView> GetNextView() override;
    // The sheet's own view carries the sheet's name.
    QString ViewName() override;
    int ViewType() override;
    // False for a model whose file does not exist, as the drawing may still say it is loaded.
    bool ModelLoaded() override;
    // 1 when the model could be read, else 0 (a missing or malformed model file).
    int LoadReferencedModel() override;
    // The model's full path as Windows path text; "" on the sheet's own view.
    QString ModelPathName() override;
    QString ConfigurationName() override;
    // The open model, or one read for the purpose that the application does not list as open.
    std::shared_ptr<CadDocument> ReferencedDocument() override;

    QString sheetName() const { return sheet; }
    bool isSheetView() const { return name.isEmpty(); }

private:
    const ViewData *data() const;

    std::shared_ptr<StandInDocument> document;
    QString sheet;
    QString name;
};
