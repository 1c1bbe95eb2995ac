#include "standinapplication.h"

#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "standindocument.h"
#include "standinfile.h"
#include "standinframe.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

namespace OpenError {
constexpr int Other = 1;
constexpr int FileNotFound = 2;
} // namespace OpenError

namespace {

QString absoluteNative(const QString &nativePath)
{
    return QDir::cleanPath(QFileInfo(nativePath).absoluteFilePath());
}

// Path names compare as the host's own file system compares them: without regard to case.
bool samePath(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

DocumentData emptyDrawing()
{
    DocumentData drawing;
    drawing.type = DocumentData::Type::Drawing;
    SheetData sheet;
    sheet.name = QStringLiteral("Sheet1");
    drawing.sheets.append(sheet);
    drawing.activeSheet = sheet.name;
    return drawing;
}

} // namespace

QString CommandItem::text() const
{
    const qsizetype at = itemPath.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? itemPath : itemPath.left(at);
}

QString CommandItem::menu() const
{
    const qsizetype at = itemPath.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? QString() : itemPath.mid(at + 1);
}

std::shared_ptr<StandInApplication> StandInApplication::create()
{
    return std::shared_ptr<StandInApplication>(new StandInApplication);
}

StandInApplication::StandInApplication()
    : mainFrame(std::make_shared<StandInFrame>())
{
}

StandInApplication::~StandInApplication() = default;

void StandInApplication::RegisterCallbacks(quintptr, QObject *addIn, int cookie)
{
    addIns.insert(cookie, addIn);
}

QString StandInApplication::StandardMenuName(int menuId)
{
    static const QStringList names = { QStringLiteral("File"), QStringLiteral("Edit"),
        QStringLiteral("View"), QStringLiteral("Insert"), QStringLiteral("Tools"),
        QStringLiteral("Window"), QStringLiteral("Help") };
    return menuId >= 0 && menuId < names.size() ? names.at(menuId) : QString();
}

void StandInApplication::AddCommandItem(int documentType, int cookie, const QString &itemPath,
    int position, const QString &callbackName, const QString &flags, const QString &hint)
{
    // Adding the same item again replaces it, so an add-in connected twice shows one item.
    items.removeIf([&](const CommandItem &item) {
        return item.documentType == documentType && item.itemPath == itemPath
            && item.callbackName == callbackName;
    });
    items.append(
        CommandItem { documentType, cookie, itemPath, position, callbackName, flags, hint });
    emit commandItemsChanged();
}

void StandInApplication::RemoveCommandItem(
    int documentType, const QString &itemPath, const QString &callbackName)
{
    const qsizetype removed = items.removeIf([&](const CommandItem &item) {
        return item.documentType == documentType && item.itemPath == itemPath
            && item.callbackName == callbackName;
    });
    if (removed > 0)
        emit commandItemsChanged();
}

std::shared_ptr<CadFrame> StandInApplication::MainFrame()
{
    return mainFrame;
}

std::shared_ptr<CadDocument> StandInApplication::ActiveDocument()
{
    return active;
}

std::shared_ptr<CadDocument> StandInApplication::ActivateDocument(
    const QString &pathName, bool, int &errorCode)
{
    if (auto document = findByName(pathName)) {
        errorCode = 0;
        makeActive(document);
        return document;
    }
    return activate(pathName, 0, errorCode);
}

void StandInApplication::CloseDocument(const QString &name)
{
    if (auto document = findByName(name))
        close(document);
}

std::shared_ptr<CadDocument> StandInApplication::OpenDocument(
    const QString &pathName, int documentType, int, const QString &, int &errors, int &warnings)
{
    warnings = 0;
    return activate(pathName, documentType, errors);
}

std::shared_ptr<StandInDocument> StandInApplication::activate(
    const QString &pathName, int documentType, int &errorCode)
{
    errorCode = OpenError::Other;
    if (pathName.isEmpty()) {
        error = QStringLiteral("no document name given");
        return {};
    }
    QString nativePath;
    try {
        nativePath = FileSystemObject().toNative(pathName);
    } catch (const QuilletError &failure) {
        error = pathName + QStringLiteral(": ") + failure.description;
        return {};
    }
    auto document = findDocument(nativePath);
    if (!document)
        document = load(nativePath, errorCode);
    if (!document)
        return {};
    const bool typeWanted = documentType >= CadCode::DocPart && documentType <= CadCode::DocDrawing;
    if (typeWanted && document->DocumentType() != documentType) {
        error = absoluteNative(nativePath) + QStringLiteral(": not a document of type ")
            + QString::number(documentType);
        // A document loaded only for this call is dropped again; an open one stays open.
        errorCode = OpenError::Other;
        return {};
    }
    errorCode = 0;
    if (!openDocuments.contains(document))
        openDocuments.append(document);
    makeActive(document);
    return document;
}

std::shared_ptr<StandInDocument> StandInApplication::load(const QString &nativePath, int &errorCode)
{
    const QString absolute = absoluteNative(nativePath);
    const QFileInfo info(absolute);
    if (!info.exists() && (!staging || staging->stagedFor(absolute).isEmpty())) {
        errorCode = OpenError::FileNotFound;
        error = absolute + QStringLiteral(": file not found");
        return {};
    }
    try {
        const auto data = readDocumentFile(absolute);
        return std::make_shared<StandInDocument>(
            weak_from_this(), *data, absolute, info.fileName());
    } catch (const StandInFileError &failure) {
        errorCode = OpenError::Other;
        error = failure.message();
        return {};
    }
}

std::shared_ptr<StandInDocument> StandInApplication::open(const QString &nativePath)
{
    if (auto document = findDocument(nativePath)) {
        makeActive(document);
        return document;
    }
    int errorCode = 0;
    auto document = load(nativePath, errorCode);
    if (!document)
        throw StandInFileError(error.toStdString());
    openDocuments.append(document);
    makeActive(document);
    return document;
}

std::shared_ptr<StandInDocument> StandInApplication::newDrawing(const QString &templateNativePath)
{
    DocumentData data;
    if (templateNativePath.isEmpty()) {
        data = emptyDrawing();
    } else {
        const QString templatePath = absoluteNative(templateNativePath);
        try {
            data = *readDocumentFile(templatePath);
        } catch (const StandInFileError &failure) {
            error = failure.message();
            throw;
        }
        if (data.type != DocumentData::Type::Drawing) {
            error = templatePath + QStringLiteral(": a template must be a drawing");
            throw StandInFileError(error.toStdString());
        }
        // The new drawing has no folder of its own to resolve relative model paths against.
        const QDir folder = QFileInfo(templatePath).absoluteDir();
        for (SheetData &sheet : data.sheets) {
            for (ViewData &view : sheet.views)
                view.model = QDir::cleanPath(folder.absoluteFilePath(view.model));
        }
    }
    const QString title = QStringLiteral("Draw") + QString::number(++newDrawingCount);
    auto document = std::make_shared<StandInDocument>(weak_from_this(), data, QString(), title);
    openDocuments.append(document);
    makeActive(document);
    return document;
}

bool StandInApplication::setActiveDocument(const std::shared_ptr<StandInDocument> &document)
{
    if (!openDocuments.contains(document))
        return false;
    makeActive(document);
    return true;
}

void StandInApplication::makeActive(const std::shared_ptr<StandInDocument> &document)
{
    if (active == document)
        return;
    active = document;
    emit documentsChanged();
}

void StandInApplication::close(const std::shared_ptr<StandInDocument> &document)
{
    if (!openDocuments.removeOne(document))
        return;
    // The document opened last among the others takes the closed one's place.
    if (active == document)
        active = openDocuments.isEmpty() ? nullptr : openDocuments.constLast();
    emit documentsChanged();
}

void StandInApplication::closeAllDocuments()
{
    if (openDocuments.isEmpty())
        return;
    openDocuments.clear();
    active.reset();
    emit documentsChanged();
}

std::shared_ptr<StandInDocument> StandInApplication::findDocument(const QString &nativePath) const
{
    const QString absolute = absoluteNative(nativePath);
    for (const auto &document : openDocuments) {
        if (!document->nativePath().isEmpty() && samePath(document->nativePath(), absolute))
            return document;
    }
    return {};
}

std::shared_ptr<StandInDocument> StandInApplication::findByName(const QString &name) const
{
    if (name.isEmpty())
        return {};
    for (const auto &document : openDocuments) {
        if (samePath(document->Title(), name))
            return document;
    }
    try {
        return findDocument(FileSystemObject().toNative(name));
    } catch (const QuilletError &) {
        // Text that is no path can still have named a title; it named nothing.
        return {};
    }
}

QList<CommandItem> StandInApplication::availableCommandItems() const
{
    QList<CommandItem> result;
    if (!active)
        return result;
    for (const CommandItem &item : items) {
        if (item.documentType == active->DocumentType())
            result.append(item);
    }
    return result;
}

bool StandInApplication::invokeCommand(const QString &itemPath)
{
    const QList<CommandItem> available = availableCommandItems();
    const auto item = std::find_if(available.cbegin(), available.cend(),
        [&](const CommandItem &i) { return i.itemPath == itemPath; });
    if (item == available.cend()) {
        error = QStringLiteral("no command \"%1\" for the active document").arg(itemPath);
        return false;
    }
    QObject *addIn = addIns.value(item->cookie);
    if (!addIn) {
        error = QStringLiteral("no add-in registered for cookie %1").arg(item->cookie);
        return false;
    }
    bool result = false;
    if (!QMetaObject::invokeMethod(addIn, item->callbackName.toUtf8().constData(),
            Qt::DirectConnection, Q_RETURN_ARG(bool, result))) {
        error = QStringLiteral("the add-in has no callback \"%1\"").arg(item->callbackName);
        return false;
    }
    if (!result)
        error = QStringLiteral("the callback \"%1\" returned false").arg(item->callbackName);
    return result;
}

std::shared_ptr<const DocumentData> StandInApplication::readDocumentFile(const QString &nativePath)
{
    if (staging) {
        const QString staged = staging->stagedFor(nativePath);
        if (!staged.isEmpty())
            return cache.read(staged);
    }
    return cache.read(nativePath);
}
