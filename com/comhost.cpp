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
    return quintptr(quint32(frame.call(QStringLiteral("GetHWnd")).number()));
}

ComView::ComView(ComPtr<IDispatch> view)
    : view(std::move(view))
{
}

std::shared_ptr<CadView> ComView::GetNextView()
{
    return wrapped<ComView>(view.call(QStringLiteral("GetNextView")).object());
}

QString ComView::ViewName()
{
    // The older name is a property.
    const QString member
        = view.firstOffered({ QStringLiteral("GetName2"), QStringLiteral("Name") });
    return (member == QLatin1String("Name") ? view.get(member) : view.call(member)).text();
}

int ComView::ViewType()
{
    return int(view.get(QStringLiteral("Type")).number());
}

bool ComView::ModelLoaded()
{
    return view.call(QStringLiteral("IsModelLoaded")).flag();
}

int ComView::LoadReferencedModel()
{
    // The host answers 0 for a model it loaded; the contract says 1.
    return view.call(QStringLiteral("LoadModel")).number() == 0 ? 1 : 0;
}

QString ComView::ModelPathName()
{
    return view.call(QStringLiteral("GetReferencedModelName")).text();
}

QString ComView::ConfigurationName()
{
    return view.get(QStringLiteral("ReferencedConfiguration")).text();
}

std::shared_ptr<CadDocument> ComView::ReferencedDocument()
{
    return wrapped<ComDocument>(view.get(QStringLiteral("ReferencedDocument")).object());
}

ComSheet::ComSheet(ComPtr<IDispatch> sheet)
    : sheet(std::move(sheet))
{
}

QString ComSheet::GetName()
{
    return sheet.call(QStringLiteral("GetName")).text();
}

QString ComSheet::PropertiesViewName()
{
    return sheet.get(QStringLiteral("CustomPropertyView")).text();
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
    return int((member.endsWith(QLatin1Char('2')) ? manager.call(member, Variant::fromLong(-1))
                                                  : manager.call(member))
                   .number());
}

int ComSelectionManager::hostType(int index)
{
    const QString member = manager.firstOffered(
        { QStringLiteral("GetSelectedObjectType3"), QStringLiteral("GetSelectedObjectType2") });
    return int((member.endsWith(QLatin1Char('3'))
            ? manager.call(member, Variant::fromLong(index), Variant::fromLong(-1))
            : manager.call(member, Variant::fromLong(index)))
                   .number());
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
    ComPtr<IDispatch> object = (member.endsWith(QLatin1Char('6'))
            ? manager.call(member, Variant::fromLong(index), Variant::fromLong(-1))
            : manager.call(member, Variant::fromLong(index)))
                                   .object();
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
        ComPtr<IDispatch> object = document.get(member).object();
        if (!object)
            throw QuilletError(int(E_POINTER),
                QStringLiteral("The host's ") + member + QStringLiteral(" answered no object."));
        documentExtension = std::make_unique<DispatchObject>(std::move(object));
    }
    return *documentExtension;
}

int ComDocument::DocumentType()
{
    return int(document.call(QStringLiteral("GetType")).number());
}

QString ComDocument::PathName()
{
    return document.call(QStringLiteral("GetPathName")).text();
}

QString ComDocument::Title()
{
    return document.call(QStringLiteral("GetTitle")).text();
}

int ComDocument::GetSheetCount()
{
    return int(document.call(QStringLiteral("GetSheetCount")).number());
}

QStringList ComDocument::GetSheetNames()
{
    return document.call(QStringLiteral("GetSheetNames")).names();
}

std::shared_ptr<CadSheet> ComDocument::GetCurrentSheet()
{
    return wrapped<ComSheet>(document.call(QStringLiteral("GetCurrentSheet")).object());
}

bool ComDocument::ActivateSheet(const QString &sheetName)
{
    return document.call(QStringLiteral("ActivateSheet"), Variant::fromString(sheetName)).flag();
}

bool ComDocument::SaveToPath(
    const QString &pathName, int version, int options, int &errors, int &warnings)
{
    // Saved through the document's extension: the members of the same names on the document
    // itself take other arguments. The document-level SaveAs4 is the oldest hosts' only way.
    LONG saveErrors = 0;
    LONG saveWarnings = 0;
    bool saved = false;
    DispatchObject &saver = extension();
    if (saver.offers(QStringLiteral("SaveAs3"))) {
        saved = saver
                    .call(QStringLiteral("SaveAs3"), Variant::fromString(pathName),
                        Variant::fromLong(version), Variant::fromLong(options), noObject(),
                        noObject(), Variant::outLong(&saveErrors), Variant::outLong(&saveWarnings))
                    .flag();
    } else if (saver.offers(QStringLiteral("SaveAs"))) {
        saved = saver
                    .call(QStringLiteral("SaveAs"), Variant::fromString(pathName),
                        Variant::fromLong(version), Variant::fromLong(options), noObject(),
                        Variant::outLong(&saveErrors), Variant::outLong(&saveWarnings))
                    .flag();
    } else {
        saved = document
                    .call(QStringLiteral("SaveAs4"), Variant::fromString(pathName),
                        Variant::fromLong(version), Variant::fromLong(options),
                        Variant::outLong(&saveErrors), Variant::outLong(&saveWarnings))
                    .flag();
    }
    errors = int(saveErrors);
    warnings = int(saveWarnings);
    return saved;
}

std::shared_ptr<CadSelectionManager> ComDocument::SelectionManager()
{
    // Asked anew each time: the host's selection manager is not to be kept.
    return wrapped<ComSelectionManager>(document.get(QStringLiteral("SelectionManager")).object());
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
    return document
        .call(QStringLiteral("GetCustomInfoValue"), Variant::fromString(configuration),
            Variant::fromString(name))
        .text();
}

int ComDocument::CustomPropertyCount(const QString &configuration)
{
    return int(
        document.call(QStringLiteral("GetCustomInfoCount2"), Variant::fromString(configuration))
            .number());
}

QStringList ComDocument::CustomPropertyNames(const QString &configuration)
{
    return document.call(QStringLiteral("GetCustomInfoNames2"), Variant::fromString(configuration))
        .names();
}

QString ComDocument::CustomInfo2(const QString &configuration, const QString &name)
{
    return document
        .get(QStringLiteral("CustomInfo2"), Variant::fromString(configuration),
            Variant::fromString(name))
        .text();
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
    return document
        .call(QStringLiteral("AddCustomInfo3"), Variant::fromString(configuration),
            Variant::fromString(name), Variant::fromLong(type), Variant::fromString(value))
        .flag();
}

std::shared_ptr<CadView> ComDocument::FirstView()
{
    return wrapped<ComView>(document.call(QStringLiteral("GetFirstView")).object());
}

std::shared_ptr<CadSheet> ComDocument::CurrentSheet()
{
    return GetCurrentSheet();
}

std::shared_ptr<CadView> ComDocument::ActiveView()
{
    return wrapped<ComView>(document.get(QStringLiteral("ActiveDrawingView")).object());
}

bool ComDocument::ActivateViewByName(const QString &viewName)
{
    return document.call(QStringLiteral("ActivateView"), Variant::fromString(viewName)).flag();
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
    return application.call(QStringLiteral("GetLocalizedMenuName"), Variant::fromLong(menuId))
        .text();
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
    ComPtr<IDispatch> frame = application.call(member).object();
    if (!frame)
        throw QuilletError(int(E_POINTER),
            QStringLiteral("The host's ") + member + QStringLiteral(" answered no object."));
    return std::make_shared<ComFrame>(std::move(frame));
}

std::shared_ptr<CadDocument> ComApplication::ActiveDocument()
{
    return wrapped<ComDocument>(application.get(QStringLiteral("ActiveDoc")).object());
}

std::shared_ptr<CadDocument> ComApplication::ActivateDocument(
    const QString &pathName, bool silent, int &errorCode)
{
    LONG errors = 0;
    const QString member = application.firstOffered(
        { QStringLiteral("ActivateDoc3"), QStringLiteral("ActivateDoc2") });
    // Silent: without the user's preferences, and without rebuilding the document.
    ComPtr<IDispatch> document = (member.endsWith(QLatin1Char('3'))
            ? application.call(member, Variant::fromString(pathName), Variant::fromBool(!silent),
                Variant::fromLong(1), Variant::outLong(&errors))
            : application.call(member, Variant::fromString(pathName), Variant::fromBool(silent),
                Variant::outLong(&errors)))
                                     .object();
    errorCode = int(errors);
    return wrapped<ComDocument>(std::move(document));
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
    ComPtr<IDispatch> document = (member.endsWith(QLatin1Char('6'))
            ? application.call(member, Variant::fromString(pathName),
                Variant::fromLong(documentType), Variant::fromLong(options),
                Variant::fromString(configuration), Variant::outLong(&openErrors),
                Variant::outLong(&openWarnings))
            : application.call(member, Variant::fromString(pathName),
                Variant::fromLong(documentType), Variant::outLong(&openErrors)))
                                     .object();
    errors = int(openErrors);
    warnings = int(openWarnings);
    return wrapped<ComDocument>(std::move(document));
}
