#include "hostprivate.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace StrictHost {

namespace {

    constexpr long saveAsCopy = 2;

    constexpr long saveErrorGeneric = 1;
    constexpr long saveErrorFormatNotAvailable = 32;
    constexpr long saveErrorInvalidExtension = 256;

    constexpr long loadErrorFileNotFound = 2;
    constexpr long loadErrorInvalidFileType = 1024;
    constexpr long loadWarningAlreadyOpen = 128;

    constexpr long sheetViewType = 1;
    constexpr long namedViewType = 7;

    size_t nameStart(const std::wstring &path)
    {
        const size_t separator = path.find_last_of(L"\\/");
        return separator == std::wstring::npos ? 0 : separator + 1;
    }

    std::wstring extensionOf(const std::wstring &path)
    {
        const std::wstring name = path.substr(nameStart(path));
        const size_t dot = name.rfind(L'.');
        std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
        std::transform(extension.begin(), extension.end(), extension.begin(), towupper);
        return extension;
    }

    std::string toUtf8(const std::wstring &text)
    {
        std::string bytes(text.size() * 3, '\0');
        bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(),
            int(bytes.size()), nullptr, nullptr));
        return bytes;
    }

    std::wstring fromUtf8(const std::string &bytes)
    {
        std::wstring text(bytes.size(), L'\0');
        text.resize(MultiByteToWideChar(
            CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), int(text.size())));
        return text;
    }

    // "" when the file cannot be read.
    std::string readFile(const std::wstring &path)
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool writeFile(const std::wstring &path, const std::string &bytes)
    {
        std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        return !out.fail();
    }

    // '%', the field separator and line breaks are escaped, so that every value reads back
    // unchanged.
    std::wstring encoded(const std::wstring &text)
    {
        std::wstring result;
        for (wchar_t c : text) {
            wchar_t escape[4] = { c, 0 };
            if (c == L'%' || c == L'|' || c == L'\r' || c == L'\n')
                swprintf(escape, 4, L"%%%02X", unsigned(c));
            result += escape;
        }
        return result;
    }

    // The '|'-separated fields of a value with their escapes undone.
    std::vector<std::wstring> fieldsOf(const std::wstring &value)
    {
        std::vector<std::wstring> fields(1);
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == L'|') {
                fields.emplace_back();
            } else if (value[i] == L'%') {
                fields.back() += wchar_t(std::wcstol(value.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                fields.back() += value[i];
            }
        }
        return fields;
    }

    std::wstring line(const wchar_t *key, std::initializer_list<std::wstring> fields)
    {
        std::wstring text = key + std::wstring(L"=");
        for (const std::wstring &field : fields)
            text += (&field == fields.begin() ? L"" : L"|") + encoded(field);
        return text + L"\r\n";
    }

    std::wstring faultText(const HostFault &fault)
    {
        const std::wstring time = std::to_wstring(fault.milliseconds);
        switch (fault.kind) {
        case HostFault::Hang:
            return L"hang";
        case HostFault::Crash:
            return L"crash";
        case HostFault::Slow:
            return L"slow=" + time;
        case HostFault::Busy:
            return L"busy=" + time;
        case HostFault::None:
            break;
        }
        return L"";
    }

    // False when the text names no fault.
    bool readFault(const std::wstring &text, HostFault &fault)
    {
        if (text == L"hang" || text == L"crash") {
            fault.kind = text == L"hang" ? HostFault::Hang : HostFault::Crash;
            return true;
        }
        const bool slow = text.starts_with(L"slow=");
        if (!slow && !text.starts_with(L"busy="))
            return false;
        const std::wstring time = text.substr(5);
        if (time.empty() || time.size() > 9
            || !std::all_of(time.begin(), time.end(), [](wchar_t c) { return iswdigit(c); }))
            return false;
        fault.kind = slow ? HostFault::Slow : HostFault::Busy;
        fault.milliseconds = std::wcstoul(time.c_str(), nullptr, 10);
        return true;
    }

    std::string serialize(const HostDocument &document)
    {
        std::wstring text = line(L"type", { document.isDrawing() ? L"drawing" : L"part" });
        for (const std::wstring &configuration : document.configurations)
            text += line(L"configuration", { configuration });
        for (const HostProperty &property : document.properties)
            text += line(L"property", { property.configuration, property.name, property.value });
        for (const HostSheet &sheet : document.sheets) {
            text += line(L"sheet", { sheet.name });
            for (const HostView &view : sheet.views)
                text += line(L"view", { view.name, view.modelPath, view.configuration });
        }
        if (document.isDrawing()) {
            const HostSheet &sheet = document.sheets[document.activeSheet];
            text += line(L"active", { sheet.name });
            if (document.activeView >= 0)
                text += line(L"activeview", { sheet.views[document.activeView].name });
        }
        if (document.fault.kind != HostFault::None)
            text += line(L"fault", { faultText(document.fault) });
        return toUtf8(text);
    }

    // The index of the sheet or view of that name, or -1.
    template <class T> int indexOf(const std::vector<T> &items, const std::wstring &name)
    {
        const auto found = std::find_if(
            items.begin(), items.end(), [&name](const T &item) { return item.name == name; });
        return found == items.end() ? -1 : int(found - items.begin());
    }

    // Null unless the file is a well-formed host document; a malformed file opens as nothing
    // rather than as a partial document.
    std::unique_ptr<HostDocument> readDocument(const std::wstring &path)
    {
        auto document = std::make_unique<HostDocument>();
        document->path = path;
        std::wistringstream lines(fromUtf8(readFile(path)));
        std::wstring activeView;
        bool typed = false;
        for (std::wstring line; std::getline(lines, line);) {
            if (line.ends_with(L'\r'))
                line.pop_back();
            const size_t equals = line.find(L'=');
            if (equals == std::wstring::npos)
                return nullptr;
            const std::wstring key = line.substr(0, equals);
            const std::vector<std::wstring> fields = fieldsOf(line.substr(equals + 1));
            const size_t count = fields.size();
            const std::wstring &first = fields[0];
            const bool drawing = document->isDrawing();
            if (!typed && key == L"type" && count == 1 && (first == L"drawing" || first == L"part"))
                document->type = first == L"drawing" ? drawingType : partType;
            else if (!typed)
                return nullptr;
            else if (key == L"configuration" && count == 1 && !drawing && !first.empty())
                document->configurations.push_back(first);
            else if (key == L"property" && count == 3 && document->hasConfiguration(first))
                document->properties.push_back({ first, fields[1], fields[2] });
            else if (key == L"sheet" && count == 1 && drawing
                && indexOf(document->sheets, first) < 0)
                document->sheets.emplace_back().name = first;
            else if (key == L"view" && count == 3 && !document->sheets.empty())
                document->sheets.back().views.push_back({ first, fields[1], fields[2] });
            else if (key == L"active" && count == 1 && indexOf(document->sheets, first) >= 0)
                document->activeSheet = size_t(indexOf(document->sheets, first));
            else if (key == L"activeview" && count == 1 && drawing)
                activeView = first;
            else if (key == L"fault" && count == 1) {
                if (!readFault(first, document->fault))
                    return nullptr;
            } else
                return nullptr;
            typed = true;
        }
        if (!typed || (document->isDrawing() && document->sheets.empty()))
            return nullptr;
        if (!activeView.empty()) {
            document->activeView
                = indexOf(document->sheets[document->activeSheet].views, activeView);
            if (document->activeView < 0)
                return nullptr;
        }
        return document;
    }

    Handler saver(HostPrivate *host, HostDocument *document, size_t errorsAt)
    {
        return [host, document, errorsAt](Invocation &c) {
            long errors = 0;
            c.answerFlag(host->save(document, c.text(0), c.number(1), c.number(2), &errors));
            c.setOut(errorsAt, errors);
            c.setOut(errorsAt + 1, 0);
        };
    }

    class DocumentObject final : public StrictDispatch {
    public:
        DocumentObject(HostPrivate *host, HostDocument *document)
            : StrictDispatch(host, L"ModelDoc", 3000)
            , document(document)
        {
            using enum Param;
            using enum MemberKind;
            add(Method, L"GetType", {}, [document](Invocation &c) { c.answer(document->type); });
            add(Method, L"GetPathName", {},
                [document](Invocation &c) { c.answer(document->path); });
            add(Method, L"GetTitle", {},
                [document](Invocation &c) { c.answer(document->title()); });
            add(Get, L"Extension", {},
                [document](Invocation &c) { c.answer(document->extension); });
            add(Get, L"SelectionManager", {},
                [document](Invocation &c) { c.answer(document->selectionManager); });
            add(Method, L"Rebuild", { Long }, [](Invocation &) {});
            // The oldest hosts' only way to save; current ones save through the Extension.
            add(Method, L"SaveAs4", { String, Long, Long, LongOut, LongOut },
                saver(host, document, 3));
            addProperties();
            if (document->isDrawing())
                addDrawing();
            else
                addKnown({ L"GetSheetCount", L"GetSheetNames", L"GetCurrentSheet", L"ActivateSheet",
                    L"GetFirstView", L"ActiveDrawingView", L"ActivateView" });
            addKnown({ L"GetCustomInfoCount", L"GetCustomInfoNames", L"CustomInfo",
                L"AddCustomInfo2", L"AddCustomInfo", L"SaveAs", L"SaveAs2", L"Save3",
                L"ClearSelection2", L"ForceRebuild3", L"ForceRebuild", L"EditUndo2",
                L"SetBlockingState", L"ResetBlockingState", L"EditRebuild3", L"IGetSheetNames",
                L"IGetCurrentSheet", L"GetViewCount" });
            addKnown({ L"SaveAs3" }, L"SaveAs3 must be called on the document's Extension");
        }

    protected:
        std::wstring logName() const override { return L"ModelDoc:" + document->fileName(); }
        std::wstring displayName() const override
        {
            return document->isDrawing() ? L"Drawing" : L"Part";
        }

    private:
        void addProperties()
        {
            using enum Param;
            using enum MemberKind;
            HostDocument *document = this->document;
            const auto valueOf = [document](Invocation &c) {
                const HostProperty *property = document->findProperty(c.text(0), c.text(1));
                c.answer(property ? property->value : L"");
            };
            add(Method, L"GetCustomInfoValue", { String, String }, valueOf);
            add(Get, L"CustomInfo2", { String, String }, valueOf);
            // Setting a property that does not exist adds nothing: AddCustomInfo3 adds.
            add(Put, L"CustomInfo2", { String, String, String }, [document](Invocation &c) {
                if (HostProperty *property = document->findProperty(c.text(0), c.text(1))) {
                    property->value = c.text(2);
                    document->modified = true;
                }
            });
            add(Method, L"GetCustomInfoCount2", { String },
                [this](Invocation &c) { c.answer(long(names(c.text(0)).size())); });
            add(Method, L"GetCustomInfoNames2", { String }, [this](Invocation &c) {
                if (const std::vector<std::wstring> found = names(c.text(0)); !found.empty())
                    c.answerTexts(found, VT_VARIANT);
            });
            add(Method, L"AddCustomInfo3", { String, String, Long, String },
                [document](Invocation &c) {
                    const bool added = !c.text(1).empty() && document->hasConfiguration(c.text(0))
                        && !document->findProperty(c.text(0), c.text(1));
                    if (added) {
                        document->properties.push_back({ c.text(0), c.text(1), c.text(3) });
                        document->modified = true;
                    }
                    c.answerFlag(added);
                });
        }

        std::vector<std::wstring> names(const std::wstring &configuration) const
        {
            std::vector<std::wstring> found;
            for (const HostProperty &property : document->properties) {
                if (property.configuration == configuration)
                    found.push_back(property.name);
            }
            return found;
        }

        void addDrawing()
        {
            using enum Param;
            using enum MemberKind;
            HostDocument *document = this->document;
            add(Method, L"GetSheetCount", {},
                [document](Invocation &c) { c.answer(long(document->sheets.size())); });
            add(Method, L"GetSheetNames", {}, [document](Invocation &c) {
                std::vector<std::wstring> sheetNames;
                for (const HostSheet &sheet : document->sheets)
                    sheetNames.push_back(sheet.name);
                c.answerTexts(sheetNames, VT_BSTR);
            });
            add(Method, L"GetCurrentSheet", {}, [document](Invocation &c) {
                c.answer(document->sheets[document->activeSheet].object);
            });
            // True is answered as 1, as the host does for some members: callers test != 0.
            add(Method, L"ActivateSheet", { String }, [document](Invocation &c) {
                const int sheet = indexOf(document->sheets, c.text(0));
                if (sheet >= 0 && size_t(sheet) != document->activeSheet) {
                    document->activeSheet = size_t(sheet);
                    document->activeView = -1;
                }
                c.answerFlag(sheet >= 0, 1);
            });
            add(Method, L"GetFirstView", {}, [document](Invocation &c) {
                c.answer(document->sheets[document->activeSheet].sheetView);
            });
            add(Get, L"ActiveDrawingView", {}, [document](Invocation &c) {
                const HostSheet &sheet = document->sheets[document->activeSheet];
                c.answer(
                    document->activeView < 0 ? nullptr : sheet.views[document->activeView].object);
            });
            add(Method, L"ActivateView", { String }, [document](Invocation &c) {
                const int view = indexOf(document->sheets[document->activeSheet].views, c.text(0));
                if (view >= 0)
                    document->activeView = view;
                c.answerFlag(view >= 0);
            });
        }

        HostDocument *document;
    };

    class ExtensionObject final : public StrictDispatch {
    public:
        ExtensionObject(HostPrivate *host, HostDocument *document)
            : StrictDispatch(host, L"ModelDocExtension", 4000)
        {
            using enum Param;
            using enum MemberKind;
            addCurrent(Method, L"SaveAs3", { String, Long, Long, Object, Object, LongOut, LongOut },
                saver(host, document, 5));
            add(Method, L"SaveAs", { String, Long, Long, Object, LongOut, LongOut },
                saver(host, document, 4));
            // An older host rebuilds through the document's own Rebuild.
            addCurrent(Method, L"Rebuild", { Long }, [](Invocation &c) { c.answerFlag(true); });
            addKnown({ L"SaveAs2", L"CustomPropertyManager" });
        }
    };

    class SheetObject final : public StrictDispatch {
    public:
        SheetObject(HostPrivate *host, HostDocument *document, size_t sheet)
            : StrictDispatch(host, L"Sheet", 5000)
        {
            add(MemberKind::Method, L"GetName", {},
                [document, sheet](Invocation &c) { c.answer(document->sheets[sheet].name); });
            // Every sheet takes its properties from its default view.
            add(MemberKind::Get, L"CustomPropertyView", {},
                [](Invocation &c) { c.answer(std::wstring(L"Default")); });
        }
    };

    // A drawing view, or with view -1 the sheet itself as the head of its view list.
    class ViewObject final : public StrictDispatch {
    public:
        ViewObject(HostPrivate *host, HostDocument *document, size_t sheet, int view)
            : StrictDispatch(host, L"View", 6000)
        {
            using enum MemberKind;
            HostSheet *owner = &document->sheets[sheet];
            HostView *shown = view < 0 ? nullptr : &owner->views[size_t(view)];
            add(Method, L"GetNextView", {}, [owner, view](Invocation &c) {
                const size_t next = size_t(view + 1);
                c.answer(next < owner->views.size() ? owner->views[next].object : nullptr);
            });
            const auto nameOf
                = [owner, shown](Invocation &c) { c.answer(shown ? shown->name : owner->name); };
            addCurrent(Method, L"GetName2", {}, nameOf);
            add(Get, L"Name", {}, nameOf);
            add(Get, L"Type", {},
                [shown](Invocation &c) { c.answer(shown ? namedViewType : sheetViewType); });
            add(Method, L"IsModelLoaded", {},
                [shown](Invocation &c) { c.answerFlag(shown && shown->model); });
            add(Method, L"LoadModel", {}, [host, shown](Invocation &c) {
                if (shown && !shown->model)
                    shown->model = host->loadModel(shown->modelPath);
                c.answer(shown && shown->model ? 0L : -1L);
            });
            add(Method, L"GetReferencedModelName", {},
                [shown](Invocation &c) { c.answer(shown ? shown->modelPath : L""); });
            add(Get, L"ReferencedConfiguration", {},
                [shown](Invocation &c) { c.answer(shown ? shown->configuration : L""); });
            add(Get, L"ReferencedDocument", {}, [shown](Invocation &c) {
                c.answer(shown && shown->model ? shown->model->object : nullptr);
            });
            addKnown({ L"GetUniqueName" });
        }
    };

    // Nothing is selected in this host's documents: every member answers as for no selection.
    class SelectionObject final : public StrictDispatch {
    public:
        explicit SelectionObject(HostPrivate *host)
            : StrictDispatch(host, L"SelectionMgr", 7000)
        {
            using enum Param;
            using enum MemberKind;
            const auto none = [](Invocation &c) { c.answer(0L); };
            const auto noObject = [](Invocation &c) { c.answer(nullptr); };
            addCurrent(Method, L"GetSelectedObjectCount2", { Long }, none);
            add(Method, L"GetSelectedObjectCount", {}, none);
            addCurrent(Method, L"GetSelectedObjectType3", { Long, Long }, none);
            add(Method, L"GetSelectedObjectType2", { Long }, none);
            addCurrent(Method, L"GetSelectedObject6", { Long, Long }, noObject);
            add(Method, L"GetSelectedObject5", { Long }, noObject);
            addKnown({ L"GetSelectedObjectType", L"GetSelectedObject" });
        }
    };

    std::wstring sheetName(const HostDocument &document)
    {
        return document.isDrawing() ? document.sheets[document.activeSheet].name : L"";
    }

} // namespace

std::wstring fullPath(const std::wstring &path)
{
    wchar_t full[MAX_PATH * 4];
    const DWORD length
        = path.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(std::size(full)), full, nullptr);
    return length > 0 && length < std::size(full) ? std::wstring(full, length) : path;
}

std::wstring HostDocument::fileName() const
{
    return path.substr(nameStart(path));
}

std::wstring HostDocument::title() const
{
    const std::wstring name = fileName();
    return name.substr(0, name.rfind(L'.'));
}

bool HostDocument::hasConfiguration(const std::wstring &configuration) const
{
    return configuration.empty()
        || std::find(configurations.begin(), configurations.end(), configuration)
        != configurations.end();
}

HostProperty *HostDocument::findProperty(
    const std::wstring &configuration, const std::wstring &name)
{
    for (HostProperty &property : properties) {
        if (property.configuration == configuration && sameText(property.name, name))
            return &property;
    }
    return nullptr;
}

HostDocument *HostPrivate::findOpen(const std::wstring &name) const
{
    std::vector<HostDocument *> byFileName;
    std::vector<HostDocument *> byTitle;
    for (const auto &document : documents) {
        if (document->state != DocumentState::Open || name.empty())
            continue;
        if (nameStart(name) > 0 && sameText(document->path, fullPath(name)))
            return document.get();
        if (sameText(document->fileName(), name))
            byFileName.push_back(document.get());
        if (sameText(document->title(), name))
            byTitle.push_back(document.get());
    }
    // A title shared by a part and its drawing names neither.
    if (byFileName.size() == 1)
        return byFileName.front();
    return byTitle.size() == 1 ? byTitle.front() : nullptr;
}

HostDocument *HostPrivate::loaded(const std::wstring &path) const
{
    for (const auto &document : documents) {
        if (document->state != DocumentState::Closed && sameText(document->path, path))
            return document.get();
    }
    return nullptr;
}

HostDocument *HostPrivate::open(
    const std::wstring &name, long expectedType, long *errors, long *warnings)
{
    const std::wstring path = fullPath(name);
    HostDocument *document = loaded(path);
    std::unique_ptr<HostDocument> read = document ? nullptr : readDocument(path);
    const long type = document ? document->type : read ? read->type : 0;
    long error = 0;
    if (!document && !read && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        error = loadErrorFileNotFound;
    else if (type == 0 || (expectedType != 0 && type != expectedType))
        error = loadErrorInvalidFileType;
    if (errors)
        *errors = error;
    if (warnings)
        *warnings = document && document->state == DocumentState::Open ? loadWarningAlreadyOpen : 0;
    if (error)
        return nullptr;
    if (!document)
        document = adopt(std::move(read));
    document->state = DocumentState::Open;
    active = document;
    return document;
}

HostDocument *HostPrivate::loadModel(const std::wstring &path)
{
    HostDocument *document = loaded(path);
    if (!document) {
        std::unique_ptr<HostDocument> read = readDocument(path);
        if (!read || read->isDrawing())
            return nullptr;
        read->state = DocumentState::Loaded;
        document = adopt(std::move(read));
    }
    return document->isDrawing() ? nullptr : document;
}

HostDocument *HostPrivate::adopt(std::unique_ptr<HostDocument> owned)
{
    HostDocument *document = documents.emplace_back(std::move(owned)).get();
    document->object = create<DocumentObject>(this, document);
    document->extension = create<ExtensionObject>(this, document);
    document->selectionManager = create<SelectionObject>(this);
    for (size_t s = 0; s < document->sheets.size(); ++s) {
        HostSheet &sheet = document->sheets[s];
        sheet.object = create<SheetObject>(this, document, s);
        sheet.sheetView = create<ViewObject>(this, document, s, -1);
        for (size_t v = 0; v < sheet.views.size(); ++v) {
            sheet.views[v].object = create<ViewObject>(this, document, s, int(v));
            sheet.views[v].model = loadModel(sheet.views[v].modelPath);
        }
    }
    return document;
}

void HostPrivate::close(HostDocument *document)
{
    if (active == document)
        active = nullptr;
    // A part stays loaded: an open drawing may still show it.
    document->state = document->isDrawing() ? DocumentState::Closed : DocumentState::Loaded;
}

bool HostPrivate::save(
    HostDocument *document, const std::wstring &name, long version, long options, long *errors)
{
    const std::wstring target = fullPath(name);
    const std::wstring extension = extensionOf(target);
    const bool native = extension == (document->isDrawing() ? L"SLDDRW" : L"SLDPRT");
    const std::string content = native
        ? serialize(*document)
        : toUtf8(L"document=" + document->path + L"\r\nsheet=" + sheetName(*document) + L"\r\n");
    const std::vector<std::wstring> exports = { L"PDF", L"DXF", L"TIF", L"JPG" };
    if (extension == L"DWG" || extension == L"EDRW")
        *errors = saveErrorFormatNotAvailable;
    else if (!native && std::find(exports.begin(), exports.end(), extension) == exports.end())
        *errors = saveErrorInvalidExtension;
    // A missing folder among others.
    else if (!writeFile(target, content))
        *errors = saveErrorGeneric;
    else
        *errors = 0;
    if (*errors)
        return false;
    q.saves.push_back({ target, version, options, sheetName(*document) });
    // Saving in the native format without the copy option makes the new file the document's.
    if (native && !(options & saveAsCopy)) {
        document->path = target;
        document->modified = false;
    }
    return true;
}

bool HostPrivate::closeAll(bool includeModified)
{
    bool allClosed = true;
    for (const auto &document : documents) {
        if (document->state != DocumentState::Open)
            continue;
        if (document->modified && !includeModified)
            allClosed = false;
        else
            close(document.get());
    }
    return allClosed;
}

void writeTestDrawing(const std::wstring &folder)
{
    const std::wstring base = fullPath(folder + L"\\");
    HostDocument plate;
    plate.configurations = { L"Default" };
    plate.properties = { { L"", L"Revision", L"C" }, { L"", L"Description", L"Base plate" },
        { L"", L"Material", L"steel" }, { L"Default", L"Finish", L"painted" } };

    HostDocument bracket;
    bracket.configurations = { L"Default" };
    bracket.properties = { { L"", L"Revision", L"A" }, { L"", L"Description", L"Angle bracket" } };

    const auto view = [&base](const wchar_t *name) {
        return HostView { name, base + L"PLATE.SLDPRT", L"Default" };
    };
    HostDocument drawing;
    drawing.type = drawingType;
    drawing.properties = { { L"", L"Revision", L"B" } };
    drawing.sheets = { { L"Sheet1", { view(L"Drawing View1"), view(L"Drawing View2") } },
        { L"Sheet2", { view(L"Drawing View3") } },
        { L"Detail A", { view(L"Drawing View4"), view(L"Drawing View5") } } };

    for (const auto &[name, document] : { std::pair { L"PLATE.SLDPRT", &plate },
             std::pair { L"PLATE.SLDDRW", &drawing }, std::pair { L"BRACKET.SLDPRT", &bracket } }) {
        if (!writeFile(base + name, serialize(*document)))
            throw std::runtime_error("cannot write the test drawing");
    }
}

} // namespace StrictHost
