#pragma once

#include "addin/CadHost.h"
#include "documentdata.h"

#include <QSet>
#include <QString>
#include <memory>

class QIODevice;
class StandInApplication;

// An open stand-in document: a drawing, part or assembly held as DocumentData, with the path it
// was read from (native; empty for a drawing never saved), its title, and the drawing's active
// view. Sheets, views and selected objects are handed out as small objects that find their
// sheet and view by name on each call.
class StandInDocument : public CadDocument, public std::enable_shared_from_this<StandInDocument> {
public:
    StandInDocument(std::weak_ptr<StandInApplication> application, DocumentData data,
        QString nativePath, QString title);

    // The host contract.
    int DocumentType() override;
    QString PathName() override;
    QString Title() override { return title; }
    int GetSheetCount() override;
    QStringList GetSheetNames() override;
    std::shared_ptr<CadSheet> GetCurrentSheet() override;
    // False for a name that is no sheet. Another sheet loses the selection and the active view;
    // the sheet that is active already keeps both.
    bool ActivateSheet(const QString &sheetName) override;
    // Error code, a sum of: 1 the file could not be written, 2 the target exists and is
    // read-only, 4 empty file name, 32 the format is not available on this host, 256 unknown
    // extension. Warnings are always 0. Writes a temporary file and renames it into place.
    bool SaveToPath(
        const QString &pathName, int version, int options, int &errors, int &warnings) override;
    std::shared_ptr<CadSelectionManager> SelectionManager() override;
    // Sheets are drawn from the document when they are saved, so there is nothing to bring up to
    // date; the calls are counted for tests.
    void Rebuild(int options) override;
    int rebuildCount() const { return rebuilds; }

    QString CustomPropertyValue(const QString &configuration, const QString &name) override;
    int CustomPropertyCount(const QString &configuration) override;
    QStringList CustomPropertyNames(const QString &configuration) override;
    QString CustomInfo2(const QString &configuration, const QString &name) override;
    // Sets or adds the property; nothing for a configuration the document does not have.
    void SetCustomInfo2(
        const QString &configuration, const QString &name, const QString &value) override;
    // False when the property exists, the name is empty or the configuration is unknown. Every
    // type is kept as text.
    bool AddCustomInfo3(
        const QString &configuration, const QString &name, int type, const QString &value) override;

    std::shared_ptr<CadView> FirstView() override;
    std::shared_ptr<CadSheet> CurrentSheet() override;
    // The view last activated by name on the active sheet, or none.
    std::shared_ptr<CadView> ActiveView() override;
    bool ActivateViewByName(const QString &viewName) override;

    // For the host's own code and tests.
    const DocumentData &data() const { return document; }
    QString nativePath() const { return path; }
    bool isDrawing() const { return document.type == DocumentData::Type::Drawing; }
    // -1 for a part or an assembly.
    int activeSheetIndex() const;
    const SheetData *sheet(const QString &name) const;
    const ViewData *view(const QString &sheetName, const QString &viewName) const;
    QString activeViewName() const { return activeView; }
    // Replaces the selection; false, and nothing changed, when an entry names nothing on the
    // active sheet.
    bool setSelection(const QList<SelectionEntry> &entries);
    void clearSelection();
    // The absolute native path of the model a view shows.
    QString modelNativePath(const ViewData &view) const;
    // The part or assembly a view shows, read through the application's cache whether or not
    // the view has it loaded; none when it cannot be read.
    std::shared_ptr<const DocumentData> modelOf(const ViewData &view) const;
    // Marks every view of this drawing that shows the model at modelPath as loaded.
    void markModelLoaded(const QString &modelPath);
    std::shared_ptr<StandInApplication> application() const { return app.lock(); }
    // Tells the application's messages what a DXF sheet left out when it was drawn, the first
    // time the sheet is drawn with something left out.
    void reportSkipped(int sheetIndex, const QList<std::pair<QString, int>> &skipped);

private:
    int rebuilds = 0;
    QSet<int> reportedSheets;
    int saveCopy(const QString &pathName);
    bool writeNative(QIODevice &device) const;
    // The export's reason for a failure goes to why.
    bool writeExportFile(QIODevice &device, const QString &extension, QString *why);
    bool canWrite(const QString &configuration) const;
    void changed();

    std::weak_ptr<StandInApplication> app;
    DocumentData document;
    QString path;
    QString title;
    QString activeView;
};
