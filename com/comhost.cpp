#include "comhost.h"

#include "callbackobject.h"
#include "platform/quilleterror.h"

namespace {

// The host's selection codes that differ from the contract's.
constexpr long hostSelectedSheet = 19;

template <typename Wrapper> std::shared_ptr<Wrapper> wrapped(ComPtr<IDispatch> object)
{
    return object ? std::make_shared<Wrapper>(std::move(object)) : nullptr;
}

// An object argument that names no object.
Variant noObject()
{
    return Variant::fromDispatch(nullptr);
}

} // namespace

ComFrame::ComFrame(ComPtr<IDispatch> frame)
    : frame(std::move(frame))
{
}

void ComFrame::SetStatusBarText(const QString &text)
{
    frame.call(QStringLiteral("SetStatusBarText"), Variant::fromString(text));
}

quintptr ComFrame::WindowHandle()
{
    // The 64-bit member is for early binding only; window handles fit in 32 bits on every
    // Windows.
    const QString member = QStringLiteral("GetHWnd");
    return quintptr(quint32(DispatchObject::asNumber(frame.call(member), member)));
}

ComView::ComView(ComPtr<IDispatch> view)
    : view(std::move(view))
{
}

std::shared_ptr<CadView> ComView::GetNextView()
{
    const QString member = QStringLiteral("GetNextView");
    return wrapped<ComView>(DispatchObject::asObject(view.call(member), member));
}

QString ComView::ViewName()
{
    const QString member
        = view.firstOffered({ QStringLiteral("GetName2"), QStringLiteral("Name") });
    return DispatchObject::asText(
        member == QLatin1String("Name") ? view.get(member) : view.call(member), member);
}

int ComView::ViewType()
{
    const QString member = QStringLiteral("Type");
    return int(DispatchObject::asNumber(view.get(member), member));
}

bool ComView::ModelLoaded()
{
    const QString member = QStringLiteral("IsModelLoaded");
    return DispatchObject::asFlag(view.call(member), member);
}

int ComView::LoadReferencedModel()
{
    // The host answers 0 for a model it loaded; the contract says 1.
    const QString member = QStringLiteral("LoadModel");
    return DispatchObject::asNumber(view.call(member), member) == 0 ? 1 : 0;
}

QString ComView::ModelPathName()
{
    const QString member = QStringLiteral("GetReferencedModelName");
    return DispatchObject::asText(view.call(member), member);
}

QString ComView::ConfigurationName()
{
    const QString member = QStringLiteral("ReferencedConfiguration");
    return DispatchObject::asText(view.get(member), member);
}

std::shared_ptr<CadDocument> ComView::ReferencedDocument()
{
    const QString member = QStringLiteral("ReferencedDocument");
    return wrapped<ComDocument>(DispatchObject::asObject(view.get(member), member));
}

ComSheet::ComSheet(ComPtr<IDispatch> sheet)
    : sheet(std::move(sheet))
{
}

QString ComSheet::GetName()
{
    const QString member = QStringLiteral("GetName");
    return DispatchObject::asText(sheet.call(member), member);
}

QString ComSheet::PropertiesViewName()
{
    const QString member = QStringLiteral("CustomPropertyView");
    return DispatchObject::asText(sheet.get(member), member);
}

ComSelectionManager::ComSelectionManager(ComPtr<IDispatch> manager)
    : manager(std::move(manager))
{
}

int ComSelectionManager::SelectedCount()
{
    const QString member = manager.firstOffered(
        { QStringLiteral("GetSelectedObjectCount2"), QStringLiteral("GetSelectedObjectCount") });
    // Mark -1: the objects selected under any mark.
    return int(DispatchObject::asNumber(member.endsWith(QLatin1Char('2'))
            ? manager.call(member, Variant::fromLong(-1))
            : manager.call(member),
        member));
}

int ComSelectionManager::hostType(int index)
{
    const QString member = manager.firstOffered(
        { QStringLiteral("GetSelectedObjectType3"), QStringLiteral("GetSelectedObjectType2") });
    return int(DispatchObject::asNumber(member.endsWith(QLatin1Char('3'))
            ? manager.call(member, Variant::fromLong(index), Variant::fromLong(-1))
            : manager.call(member, Variant::fromLong(index)),
        member));
}

int ComSelectionManager::SelectedType(int index)
{
    const int type = hostType(index);
    return type == hostSelectedSheet ? CadCode::SelSheet : type;
}

std::shared_ptr<CadObject> ComSelectionManager::SelectedObject(int index)
{
    const int type = hostType(index);
    const QString member = manager.firstOffered(
        { QStringLiteral("GetSelectedObject6"), QStringLiteral("GetSelectedObject5") });
    ComPtr<IDispatch> object = DispatchObject::asObject(member.endsWith(QLatin1Char('6'))
            ? manager.call(member, Variant::fromLong(index), Variant::fromLong(-1))
            : manager.call(member, Variant::fromLong(index)),
        member);
    if (!object)
        return nullptr;
    if (type == CadCode::SelDrawingView)
        return std::make_shared<ComView>(std::move(object));
    if (type == hostSelectedSheet)
        return std::make_shared<ComSheet>(std::move(object));
    return std::make_shared<ComObject>(std::move(object));
}

ComDocument::ComDocument(ComPtr<IDispatch> document)
    : document(std::move(document))
{
}

DispatchObject &ComDocument::extension()
{
    if (!documentExtension) {
        const QString member = QStringLiteral("Extension");
        ComPtr<IDispatch> object = DispatchObject::asObject(document.get(member), member);
        if (!object)
            throw QuilletError(int(E_POINTER),
                QStringLiteral("The host's ") + member + QStringLiteral(" answered no object."));
        documentExtension = std::make_unique<DispatchObject>(std::move(object));
    }
    return *documentExtension;
}

int ComDocument::DocumentType()
{
    const QString member = QStringLiteral("GetType");
    return int(DispatchObject::asNumber(document.call(member), member));
}

QString ComDocument::PathName()
{
    const QString member = QStringLiteral("GetPathName");
    return DispatchObject::asText(document.call(member), member);
}

QString ComDocument::Title()
{
    const QString member = QStringLiteral("GetTitle");
    return DispatchObject::asText(document.call(member), member);
}

int ComDocument::GetSheetCount()
{
    const QString member = QStringLiteral("GetSheetCount");
    return int(DispatchObject::asNumber(document.call(member), member));
}

QStringList ComDocument::GetSheetNames()
{
    const QString member = QStringLiteral("GetSheetNames");
    return DispatchObject::asNames(document.call(member), member);
}

std::shared_ptr<CadSheet> ComDocument::GetCurrentSheet()
{
    const QString member = QStringLiteral("GetCurrentSheet");
    return wrapped<ComSheet>(DispatchObject::asObject(document.call(member), member));
}

bool ComDocument::ActivateSheet(const QString &sheetName)
{
    const QString member = QStringLiteral("ActivateSheet");
    return DispatchObject::asFlag(document.call(member, Variant::fromString(sheetName)), member);
}

bool ComDocument::SaveToPath(
    const QString &pathName, int version, int options, int &errors, int &warnings)
{
    // Saved through the document's extension: the members of the same names on the document
    // itself take other arguments. The document-level SaveAs4 is the oldest hosts' only way.
    LONG saveErrors = 0;
    LONG saveWarnings = 0;
    Variant result;
    QString member;
    DispatchObject &saver = extension();
    if (saver.offers(QStringLiteral("SaveAs3"))) {
        member = QStringLiteral("SaveAs3");
        result = saver.call(member, Variant::fromString(pathName), Variant::fromLong(version),
            Variant::fromLong(options), noObject(), noObject(), Variant::outLong(&saveErrors),
            Variant::outLong(&saveWarnings));
    } else if (saver.offers(QStringLiteral("SaveAs"))) {
        member = QStringLiteral("SaveAs");
        result = saver.call(member, Variant::fromString(pathName), Variant::fromLong(version),
            Variant::fromLong(options), noObject(), Variant::outLong(&saveErrors),
            Variant::outLong(&saveWarnings));
    } else {
        member = QStringLiteral("SaveAs4");
        result = document.call(member, Variant::fromString(pathName), Variant::fromLong(version),
            Variant::fromLong(options), Variant::outLong(&saveErrors),
            Variant::outLong(&saveWarnings));
    }
    errors = int(saveErrors);
    warnings = int(saveWarnings);
    return DispatchObject::asFlag(result, member);
}

std::shared_ptr<CadSelectionManager> ComDocument::SelectionManager()
{
    // Asked anew each time: the host's selection manager is not to be kept.
    const QString member = QStringLiteral("SelectionManager");
    return wrapped<ComSelectionManager>(DispatchObject::asObject(document.get(member), member));
}

void ComDocument::Rebuild(int options)
{
    const QString member = QStringLiteral("Rebuild");
    if (extension().offers(member))
        extension().call(member, Variant::fromLong(options));
    else
        document.call(member, Variant::fromLong(options));
}

QString ComDocument::CustomPropertyValue(const QString &configuration, const QString &name)
{
    const QString member = QStringLiteral("GetCustomInfoValue");
    return DispatchObject::asText(
        document.call(member, Variant::fromString(configuration), Variant::fromString(name)),
        member);
}

int ComDocument::CustomPropertyCount(const QString &configuration)
{
    const QString member = QStringLiteral("GetCustomInfoCount2");
    return int(DispatchObject::asNumber(
        document.call(member, Variant::fromString(configuration)), member));
}

QStringList ComDocument::CustomPropertyNames(const QString &configuration)
{
    const QString member = QStringLiteral("GetCustomInfoNames2");
    return DispatchObject::asNames(
        document.call(member, Variant::fromString(configuration)), member);
}

QString ComDocument::CustomInfo2(const QString &configuration, const QString &name)
{
    const QString member = QStringLiteral("CustomInfo2");
    return DispatchObject::asText(
        document.get(member, Variant::fromString(configuration), Variant::fromString(name)),
        member);
}

void ComDocument::SetCustomInfo2(
    const QString &configuration, const QString &name, const QString &value)
{
    document.put(QStringLiteral("CustomInfo2"), Variant::fromString(configuration),
        Variant::fromString(name), Variant::fromString(value));
}

bool ComDocument::AddCustomInfo3(
    const QString &configuration, const QString &name, int type, const QString &value)
{
    const QString member = QStringLiteral("AddCustomInfo3");
    return DispatchObject::asFlag(
        document.call(member, Variant::fromString(configuration), Variant::fromString(name),
            Variant::fromLong(type), Variant::fromString(value)),
        member);
}

std::shared_ptr<CadView> ComDocument::FirstView()
{
    const QString member = QStringLiteral("GetFirstView");
    return wrapped<ComView>(DispatchObject::asObject(document.call(member), member));
}

std::shared_ptr<CadSheet> ComDocument::CurrentSheet()
{
    return GetCurrentSheet();
}

std::shared_ptr<CadView> ComDocument::ActiveView()
{
    const QString member = QStringLiteral("ActiveDrawingView");
    return wrapped<ComView>(DispatchObject::asObject(document.get(member), member));
}

bool ComDocument::ActivateViewByName(const QString &viewName)
{
    const QString member = QStringLiteral("ActivateView");
    return DispatchObject::asFlag(document.call(member, Variant::fromString(viewName)), member);
}

ComApplication::ComApplication(ComPtr<IDispatch> application)
    : application(std::move(application))
{
}

void ComApplication::RegisterCallbacks(quintptr moduleHandle, QObject *addIn, int cookie)
{
    const ComPtr<CallbackObject> callbacks = CallbackObject::create(addIn);
    // A module loaded above 2 GB needs the 64-bit handle of the current member; the older one
    // takes a long.
    const QString member = application.firstOffered(
        { QStringLiteral("SetAddinCallbackInfo2"), QStringLiteral("SetAddinCallbackInfo") });
    application.call(member,
        member.endsWith(QLatin1Char('2')) ? Variant::fromInt64(qint64(moduleHandle))
                                          : Variant::fromLong(long(moduleHandle)),
        Variant::fromDispatch(callbacks.Get()), Variant::fromLong(cookie));
}

QString ComApplication::StandardMenuName(int menuId)
{
    const QString member = QStringLiteral("GetLocalizedMenuName");
    return DispatchObject::asText(application.call(member, Variant::fromLong(menuId)), member);
}

void ComApplication::AddCommandItem(int documentType, int cookie, const QString &itemPath,
    int position, const QString &callbackName, const QString &flags, const QString &hint)
{
    // The sixth argument names the item's enable method; the current member takes an image
    // list after the hint, which the item does without.
    const QString member = application.firstOffered(
        { QStringLiteral("AddMenuItem5"), QStringLiteral("AddMenuItem2") });
    if (member.endsWith(QLatin1Char('5')))
        application.call(member, Variant::fromLong(documentType), Variant::fromLong(cookie),
            Variant::fromString(itemPath), Variant::fromLong(position),
            Variant::fromString(callbackName), Variant::fromString(flags),
            Variant::fromString(hint), Variant());
    else
        application.call(member, Variant::fromLong(documentType), Variant::fromLong(cookie),
            Variant::fromString(itemPath), Variant::fromLong(position),
            Variant::fromString(callbackName), Variant::fromString(flags),
            Variant::fromString(hint));
}

void ComApplication::RemoveCommandItem(
    int documentType, const QString &itemPath, const QString &callbackName)
{
    application.call(QStringLiteral("RemoveMenu"), Variant::fromLong(documentType),
        Variant::fromString(itemPath), Variant::fromString(callbackName));
}

std::shared_ptr<CadFrame> ComApplication::MainFrame()
{
    // A method on this host, not a property.
    const QString member = QStringLiteral("Frame");
    ComPtr<IDispatch> frame = DispatchObject::asObject(application.call(member), member);
    if (!frame)
        throw QuilletError(int(E_POINTER),
            QStringLiteral("The host's ") + member + QStringLiteral(" answered no object."));
    return std::make_shared<ComFrame>(std::move(frame));
}

std::shared_ptr<CadDocument> ComApplication::ActiveDocument()
{
    const QString member = QStringLiteral("ActiveDoc");
    return wrapped<ComDocument>(DispatchObject::asObject(application.get(member), member));
}

std::shared_ptr<CadDocument> ComApplication::ActivateDocument(
    const QString &pathName, bool silent, int &errorCode)
{
    LONG errors = 0;
    const QString member = application.firstOffered(
        { QStringLiteral("ActivateDoc3"), QStringLiteral("ActivateDoc2") });
    // Silent: without the user's preferences, and without rebuilding the document.
    const Variant result = member.endsWith(QLatin1Char('3'))
        ? application.call(member, Variant::fromString(pathName), Variant::fromBool(!silent),
            Variant::fromLong(1), Variant::outLong(&errors))
        : application.call(member, Variant::fromString(pathName), Variant::fromBool(silent),
            Variant::outLong(&errors));
    errorCode = int(errors);
    return wrapped<ComDocument>(DispatchObject::asObject(result, member));
}

void ComApplication::CloseDocument(const QString &name)
{
    application.call(QStringLiteral("CloseDoc"), Variant::fromString(name));
}

std::shared_ptr<CadDocument> ComApplication::OpenDocument(const QString &pathName, int documentType,
    int options, const QString &configuration, int &errors, int &warnings)
{
    LONG openErrors = 0;
    LONG openWarnings = 0;
    const QString member
        = application.firstOffered({ QStringLiteral("OpenDoc6"), QStringLiteral("OpenDocSilent") });
    const Variant result = member.endsWith(QLatin1Char('6'))
        ? application.call(member, Variant::fromString(pathName), Variant::fromLong(documentType),
            Variant::fromLong(options), Variant::fromString(configuration),
            Variant::outLong(&openErrors), Variant::outLong(&openWarnings))
        : application.call(member, Variant::fromString(pathName), Variant::fromLong(documentType),
            Variant::outLong(&openErrors));
    errors = int(openErrors);
    warnings = int(openWarnings);
    return wrapped<ComDocument>(DispatchObject::asObject(result, member));
}
