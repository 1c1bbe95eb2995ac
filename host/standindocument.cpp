#include "standindocument.h"

#include "dxfdocument.h"
#include "platform/filesystemobject.h"
#include "platform/pdfwritervalue.h"
#include "platform/quilleterror.h"
#include "sheetexport.h"
#include "standinapplication.h"
#include "standinfile.h"
#include "standinselectionmanager.h"
#include "standinsheet.h"
#include "standinview.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <functional>

namespace SaveError {
constexpr int NotWritten = 1;
constexpr int ReadOnly = 2;
constexpr int EmptyName = 4;
constexpr int NotAvailable = 32;
constexpr int UnknownExtension = 256;
} // namespace SaveError

namespace {

// Why a write to file failed: the system's reason, or else the writer's own in why.
void failedWrite(QFileDevice &file, QString *why)
{
    // A write the system cut short, as a full disk does, leaves no reason on the file; the rest,
    // tried again, is refused with it.
    if (file.error() != QFileDevice::NoError)
        file.flush();
    if (file.error() != QFileDevice::NoError || why->isEmpty())
        *why = file.errorString();
}

bool saveInPlace(const QString &target, const std::function<bool(QIODevice &)> &write, QString *why)
{
    // The new content goes to a temporary file beside the target and replaces it only when
    // complete, so a failed save leaves an earlier file as it was.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = file.errorString();
        return false;
    }
    // The buffer is flushed here, not by commit(), which would rename a file cut short by a
    // full disk into place as if it were complete.
    if (!write(file) || !file.flush() || file.error() != QFileDevice::NoError) {
        failedWrite(file, why);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *why = file.errorString();
        return false;
    }
    return true;
}

int documentTypeCode(DocumentData::Type type)
{
    switch (type) {
    case DocumentData::Type::Drawing:
        return CadCode::DocDrawing;
    case DocumentData::Type::Part:
        return CadCode::DocPart;
    case DocumentData::Type::Assembly:
        return CadCode::DocAssembly;
    }
    return 0;
}

bool selectionEntryExists(const SheetData &sheet, const SelectionEntry &entry)
{
    switch (entry.kind) {
    case SelectionEntry::Kind::View:
        return std::any_of(sheet.views.cbegin(), sheet.views.cend(),
            [&](const ViewData &view) { return view.name == entry.name; });
    case SelectionEntry::Kind::Sheet:
        return entry.name == sheet.name;
    case SelectionEntry::Kind::Note:
        return entry.noteIndex >= 0 && entry.noteIndex < sheet.notes.size();
    }
    return false;
}

// A file that is not marked writable counts as read-only even for a user, such as root, whom the
// operating system would let write it anyway: the host never replaces a read-only file.
bool isReadOnly(const QFileInfo &info)
{
    const QFile::Permissions permissions = info.permissions();
    return !(permissions & QFile::WriteOwner) || !(permissions & QFile::WriteUser);
}

} // namespace

StandInDocument::StandInDocument(std::weak_ptr<StandInApplication> application, DocumentData data,
    QString nativePath, QString title)
    : app(std::move(application))
    , document(std::move(data))
    , path(std::move(nativePath))
    , title(std::move(title))
{
}

int StandInDocument::DocumentType()
{
    return documentTypeCode(document.type);
}

QString StandInDocument::PathName()
{
    return path.isEmpty() ? QString() : FileSystemObject().fromNative(path);
}

int StandInDocument::GetSheetCount()
{
    return int(document.sheets.size());
}

QStringList StandInDocument::GetSheetNames()
{
    QStringList names;
    for (const SheetData &sheet : std::as_const(document.sheets))
        names.append(sheet.name);
    return names;
}

std::shared_ptr<CadSheet> StandInDocument::GetCurrentSheet()
{
    if (activeSheetIndex() < 0)
        return {};
    return std::make_shared<StandInSheet>(shared_from_this(), document.activeSheet);
}

bool StandInDocument::ActivateSheet(const QString &sheetName)
{
    if (!isDrawing() || document.sheetIndex(sheetName) < 0)
        return false;
    if (sheetName == document.activeSheet)
        return true;
    document.activeSheet = sheetName;
    document.selection.clear();
    activeView.clear();
    changed();
    return true;
}

bool StandInDocument::SaveToPath(const QString &pathName, int, int, int &errors, int &warnings)
{
    warnings = 0;
    errors = saveCopy(pathName);
    return errors == 0;
}

int StandInDocument::saveCopy(const QString &pathName)
{
    if (pathName.isEmpty())
        return SaveError::EmptyName;
    QString target;
    try {
        target = FileSystemObject().toNative(pathName);
    } catch (const QuilletError &) {
        // Text that names no place on a mapped drive cannot be written.
        return SaveError::NotWritten;
    }

    const QFileInfo info(target);
    const QString extension = QLatin1Char('.') + info.suffix().toUpper();
    const std::optional<DocumentData::Type> nativeType = documentTypeForFileName(target);
    // A DXF drawing has no stand-in document to be written as: its content is the DXF file's.
    const bool ownFormat = nativeType && *nativeType == document.type && !document.dxf;
    const bool exportFormat = isDrawing() && isExportExtension(extension);
    if (!ownFormat && !exportFormat) {
        const bool known = nativeType || isExportExtension(extension)
            || extension == QLatin1String(".DWG") || extension == QLatin1String(".EDRW");
        return known ? SaveError::NotAvailable : SaveError::UnknownExtension;
    }

    if (info.exists()) {
        if (info.isDir())
            return SaveError::NotWritten;
        if (isReadOnly(info))
            return SaveError::ReadOnly;
    }

    QString why;
    const auto write = [&](QIODevice &file) {
        return ownFormat ? writeNative(file) : writeExportFile(file, extension, &why);
    };
    const auto application = app.lock();
    StagedSaves *staging = application ? application->stagedSaves() : nullptr;
    if (staging ? !staging->write(target, write, &why) : !saveInPlace(target, write, &why)) {
        // The error code says only that the file was not written; the user needs to know why.
        if (application) {
            application->notifyMessage(
                QStringLiteral("cannot save %1: %2").arg(QDir::toNativeSeparators(target), why));
        }
        return SaveError::NotWritten;
    }
    if (application)
        application->forgetDocumentFile(target);
    return 0;
}

bool StandInDocument::writeNative(QIODevice &device) const
{
    // Model paths become absolute, so the copy opens from any folder.
    DocumentData copy = document;
    for (SheetData &sheet : copy.sheets) {
        for (ViewData &view : sheet.views)
            view.model = modelNativePath(view);
    }
    const QByteArray content = writeStandInDocument(copy);
    return device.write(content) == content.size();
}

bool StandInDocument::writeExportFile(QIODevice &device, const QString &extension, QString *why)
{
    // The models a view shows stay alive until the export is written.
    QHash<QString, std::shared_ptr<const DocumentData>> models;
    ExportRequest request;
    request.drawing = &document;
    request.title = title;
    request.sheetIndex = activeSheetIndex();
    request.allSheets = extension == QLatin1String(".PDF") && readPdfWriterValue() == 1;
    request.extension = extension;
    // Only a DXF drawing has image files of its own and entities it may not draw.
    if (document.dxf) {
        request.folder = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
        request.drawn = [this](int sheetIndex, const QList<std::pair<QString, int>> &skipped) {
            reportSkipped(sheetIndex, skipped);
        };
    }
    request.modelOf = [this, &models](const ViewData &view) -> const DocumentData * {
        const QString modelPath = modelNativePath(view);
        auto model = models.value(modelPath);
        if (!model) {
            model = modelOf(view);
            if (!model)
                return nullptr;
            models.insert(modelPath, model);
        }
        return model.get();
    };
    return writeExport(request, device, why);
}

std::shared_ptr<CadSelectionManager> StandInDocument::SelectionManager()
{
    return std::make_shared<StandInSelectionManager>(shared_from_this());
}

void StandInDocument::Rebuild(int /*options*/)
{
    ++rebuilds;
}

QString StandInDocument::CustomPropertyValue(const QString &configuration, const QString &name)
{
    const PropertySet *set = document.propertySet(configuration);
    const QString value = set ? set->value(name) : QString();
    return value.isNull() ? QLatin1String("") : value;
}

int StandInDocument::CustomPropertyCount(const QString &configuration)
{
    const PropertySet *set = document.propertySet(configuration);
    return set ? int(set->values.size()) : 0;
}

QStringList StandInDocument::CustomPropertyNames(const QString &configuration)
{
    QStringList names;
    if (const PropertySet *set = document.propertySet(configuration)) {
        for (const auto &entry : set->values)
            names.append(entry.first);
    }
    return names;
}

QString StandInDocument::CustomInfo2(const QString &configuration, const QString &name)
{
    if (document.dxf && configuration.isEmpty()) {
        const QString value = dxfPropertyValue(document, activeSheetIndex(), name);
        return value.isNull() ? QLatin1String("") : value;
    }
    return CustomPropertyValue(configuration, name);
}

void StandInDocument::SetCustomInfo2(
    const QString &configuration, const QString &name, const QString &value)
{
    if (!canWrite(configuration) || name.isEmpty())
        return;
    document.propertySetFor(configuration).set(name, value);
    changed();
}

bool StandInDocument::AddCustomInfo3(
    const QString &configuration, const QString &name, int, const QString &value)
{
    if (!canWrite(configuration) || name.isEmpty())
        return false;
    PropertySet &set = document.propertySetFor(configuration);
    if (set.contains(name))
        return false;
    set.set(name, value);
    changed();
    return true;
}

bool StandInDocument::canWrite(const QString &configuration) const
{
    return configuration.isEmpty() || document.configurations.contains(configuration);
}

std::shared_ptr<CadView> StandInDocument::FirstView()
{
    if (activeSheetIndex() < 0)
        return {};
    return std::make_shared<StandInView>(shared_from_this(), document.activeSheet, QString());
}

std::shared_ptr<CadSheet> StandInDocument::CurrentSheet()
{
    return GetCurrentSheet();
}

std::shared_ptr<CadView> StandInDocument::ActiveView()
{
    if (activeView.isEmpty() || !view(document.activeSheet, activeView))
        return {};
    return std::make_shared<StandInView>(shared_from_this(), document.activeSheet, activeView);
}

bool StandInDocument::ActivateViewByName(const QString &viewName)
{
    if (viewName.isEmpty() || !view(document.activeSheet, viewName))
        return false;
    activeView = viewName;
    return true;
}

int StandInDocument::activeSheetIndex() const
{
    return isDrawing() ? document.sheetIndex(document.activeSheet) : -1;
}

const SheetData *StandInDocument::sheet(const QString &name) const
{
    const int index = isDrawing() ? document.sheetIndex(name) : -1;
    return index < 0 ? nullptr : &document.sheets.at(index);
}

const ViewData *StandInDocument::view(const QString &sheetName, const QString &viewName) const
{
    const SheetData *sheetData = sheet(sheetName);
    if (!sheetData)
        return nullptr;
    for (const ViewData &viewData : sheetData->views) {
        if (viewData.name == viewName)
            return &viewData;
    }
    return nullptr;
}

bool StandInDocument::setSelection(const QList<SelectionEntry> &entries)
{
    const SheetData *active = sheet(document.activeSheet);
    if (!active)
        return entries.isEmpty();
    for (const SelectionEntry &entry : entries) {
        if (!selectionEntryExists(*active, entry))
            return false;
    }
    document.selection = entries;
    changed();
    return true;
}

void StandInDocument::clearSelection()
{
    if (document.selection.isEmpty())
        return;
    document.selection.clear();
    changed();
}

QString StandInDocument::modelNativePath(const ViewData &viewData) const
{
    const QString folder = path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();
    return QDir::cleanPath(QDir(folder).absoluteFilePath(viewData.model));
}

std::shared_ptr<const DocumentData> StandInDocument::modelOf(const ViewData &viewData) const
{
    const auto application = app.lock();
    if (!application)
        return {};
    try {
        auto model = application->readDocumentFile(modelNativePath(viewData));
        if (model->type == DocumentData::Type::Drawing)
            return {};
        return model;
    } catch (const StandInFileError &) {
        // A model that cannot be read is drawn as an empty view.
        return {};
    }
}

void StandInDocument::markModelLoaded(const QString &modelPath)
{
    bool any = false;
    for (SheetData &sheetData : document.sheets) {
        for (ViewData &viewData : sheetData.views) {
            if (!viewData.loaded && modelNativePath(viewData) == modelPath) {
                viewData.loaded = true;
                any = true;
            }
        }
    }
    if (any)
        changed();
}

void StandInDocument::reportSkipped(int sheetIndex, const QList<std::pair<QString, int>> &skipped)
{
    if (skipped.isEmpty() || sheetIndex < 0 || sheetIndex >= document.sheets.size()
        || reportedSheets.contains(sheetIndex))
        return;
    reportedSheets.insert(sheetIndex);
    QStringList counts;
    for (const auto &[type, count] : skipped)
        counts.append(QStringLiteral("%1 %2").arg(count).arg(type));
    if (const auto application = app.lock())
        application->notifyMessage(
            QStringLiteral("%1, sheet %2: not drawn: %3")
                .arg(title, document.sheets.at(sheetIndex).name, counts.join(QLatin1String(", "))));
}

void StandInDocument::changed()
{
    if (const auto application = app.lock())
        application->notifyDocumentChanged(this);
}
