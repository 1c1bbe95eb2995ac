#include "hostprivate.h"

#include <cwctype>
#include <stdexcept>

namespace StrictHost {

namespace {

    constexpr long saveAsCopy = 2;

    constexpr long saveErrorGeneric = 1;
    constexpr long saveErrorReadOnly = 2;
    constexpr long saveErrorNameEmpty = 4;
    constexpr long saveErrorAtSign = 8;
    constexpr long saveErrorFileLock = 16;
    constexpr long saveErrorFormatNotAvailable = 32;
    constexpr long saveErrorInvalidExtension = 256;
    constexpr long saveErrorNameTooLong = 2048;
    constexpr size_t maxPathLength = 255;

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

    std::wstring folderOf(const std::wstring &path)
    {
        const size_t start = nameStart(path);
        return start == 0 ? std::wstring() : path.substr(0, start - 1);
    }

    std::wstring extensionOf(const std::wstring &path)
    {
        const std::wstring name = path.substr(nameStart(path));
        const size_t dot = name.rfind(L'.');
        return dot == std::wstring::npos ? std::wstring() : folded(name.substr(dot + 1));
    }

    bool isAbsolute(const std::wstring &path)
    {
        return (path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
            || path.starts_with(L"\\\\");
    }

    bool isFolder(const std::wstring &path)
    {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string toUtf8(const std::wstring &text)
    {
        if (text.empty())
            return {};
        const int size = WideCharToMultiByte(
            CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(size, '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
            size, nullptr, nullptr);
        return bytes;
    }

    // False when the bytes are not UTF-8.
    bool fromUtf8(const std::string &bytes, std::wstring *text)
    {
        text->clear();
        if (bytes.empty())
            return true;
        const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
            static_cast<int>(bytes.size()), nullptr, 0);
        if (size <= 0)
            return false;
        text->resize(size);
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
            static_cast<int>(bytes.size()), text->data(), size);
        return true;
    }

    class FileHandle {
    public:
        explicit FileHandle(HANDLE handle)
            : handle(handle)
        {
        }
        ~FileHandle()
        {
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        }
        FileHandle(const FileHandle &) = delete;
        FileHandle &operator=(const FileHandle &) = delete;
        HANDLE get() const { return handle; }
        bool valid() const { return handle != INVALID_HANDLE_VALUE; }

    private:
        HANDLE handle;
    };

    // Host documents are small; anything larger is not one.
    constexpr DWORD maxDocumentSize = 1 << 20;

    bool readFile(const std::wstring &path, std::string *bytes)
    {
        FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > maxDocumentSize)
            return false;
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        return bytes->empty()
            || (ReadFile(
                    file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr)
                && read == bytes->size());
    }

    // The Win32 error of a failed write, or ERROR_SUCCESS.
    DWORD writeFile(const std::wstring &path, const std::string &bytes)
    {
        FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return GetLastError();
        DWORD written = 0;
        if (!bytes.empty()
            && (!WriteFile(
                    file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
                || written != bytes.size()))
            return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        return ERROR_SUCCESS;
    }

    // The field separator and line breaks inside values are escaped so a value such as a
    // description with a '|' or a line break reads back unchanged.
    std::wstring encodeField(const std::wstring &text)
    {
        std::wstring encoded;
        for (wchar_t c : text) {
            switch (c) {
            case L'%':
                encoded += L"%25";
                break;
            case L'|':
                encoded += L"%7C";
                break;
            case L'\r':
                encoded += L"%0D";
                break;
            case L'\n':
                encoded += L"%0A";
                break;
            default:
                encoded += c;
            }
        }
        return encoded;
    }

    bool decodeField(const std::wstring &field, std::wstring *text)
    {
        text->clear();
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] != L'%') {
                *text += field[i];
                continue;
            }
            if (i + 2 >= field.size())
                return false;
            const std::wstring digits = field.substr(i + 1, 2);
            if (!iswxdigit(digits[0]) || !iswxdigit(digits[1]))
                return false;
            *text += static_cast<wchar_t>(std::stoi(digits, nullptr, 16));
            i += 2;
        }
        return true;
    }

    bool splitFields(const std::wstring &value, size_t count, std::vector<std::wstring> *fields)
    {
        fields->clear();
        size_t start = 0;
        for (;;) {
            const size_t bar = value.find(L'|', start);
            std::wstring field;
            if (!decodeField(value.substr(start, bar - start), &field))
                return false;
            fields->push_back(field);
            if (bar == std::wstring::npos)
                break;
            start = bar + 1;
        }
        return fields->size() == count;
    }

    std::string serialize(const HostDocument &document)
    {
        std::wstring text = document.isDrawing() ? L"type=drawing\r\n" : L"type=part\r\n";
        for (const std::wstring &configuration : document.configurations)
            text += L"configuration=" + encodeField(configuration) + L"\r\n";
        for (const HostProperty &property : document.properties) {
            text += L"property=" + encodeField(property.configuration) + L"|"
                + encodeField(property.name) + L"|" + encodeField(property.value) + L"\r\n";
        }
        for (const HostSheet &sheet : document.sheets) {
            text += L"sheet=" + encodeField(sheet.name) + L"\r\n";
            if (sheet.propertyView != L"Default")
                text += L"propertyview=" + encodeField(sheet.propertyView) + L"\r\n";
            for (const HostView &view : sheet.views) {
                text += L"view=" + encodeField(sheet.name) + L"|" + encodeField(view.name) + L"|"
                    + encodeField(view.modelPath) + L"|" + encodeField(view.configuration)
                    + L"\r\n";
            }
        }
        if (document.isDrawing()) {
            const HostSheet &sheet = document.sheets[document.activeSheet];
            text += L"active=" + encodeField(sheet.name) + L"\r\n";
            if (document.activeView >= 0)
                text += L"activeview=" + encodeField(sheet.views[document.activeView].name)
                    + L"\r\n";
        }
        return toUtf8(text);
    }

    int findSheet(const HostDocument &document, const std::wstring &name)
    {
        for (size_t i = 0; i < document.sheets.size(); ++i) {
            if (document.sheets[i].name == name)
                return static_cast<int>(i);
        }
        return -1;
    }

    // The sheet and view index of a drawing view, or false.
    bool findView(
        const HostDocument &document, const std::wstring &name, size_t *sheet, size_t *view)
    {
        for (size_t s = 0; s < document.sheets.size(); ++s) {
            for (size_t v = 0; v < document.sheets[s].views.size(); ++v) {
                if (document.sheets[s].views[v].name == name) {
                    *sheet = s;
                    *view = v;
                    return true;
                }
            }
        }
        return false;
    }

    // Null unless the file is a well-formed host document; a malformed file opens as nothing
    // rather than as a partial document.
    std::unique_ptr<HostDocument> readDocument(const std::wstring &path)
    {
        std::string bytes;
        std::wstring text;
        if (!readFile(path, &bytes))
            return nullptr;
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.erase(0, 3);
        if (!fromUtf8(bytes, &text))
            return nullptr;

        auto document = std::make_unique<HostDocument>();
        document->path = path;
        std::wstring activeView;
        std::vector<std::wstring> selected;
        bool typed = false;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos)
                end = text.size();
            std::wstring line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == L'\r')
                line.pop_back();
            if (line.empty())
                continue;
            const size_t equals = line.find(L'=');
            if (equals == std::wstring::npos)
                return nullptr;
            const std::wstring key = line.substr(0, equals);
            const std::wstring value = line.substr(equals + 1);
            std::vector<std::wstring> fields;
            if (!typed) {
                if (key != L"type" || (value != L"drawing" && value != L"part"))
                    return nullptr;
                document->type = value == L"drawing" ? drawingType : partType;
                typed = true;
            } else if (key == L"configuration" && !document->isDrawing()) {
                if (!splitFields(value, 1, &fields) || fields[0].empty()
                    || document->hasConfiguration(fields[0]))
                    return nullptr;
                document->configurations.push_back(fields[0]);
            } else if (key == L"property") {
                if (!splitFields(value, 3, &fields) || fields[1].empty()
                    || !document->hasConfiguration(fields[0])
                    || document->findProperty(fields[0], fields[1]))
                    return nullptr;
                document->properties.push_back({ fields[0], fields[1], fields[2] });
            } else if (key == L"sheet" && document->isDrawing()) {
                if (!splitFields(value, 1, &fields) || fields[0].empty()
                    || findSheet(*document, fields[0]) >= 0)
                    return nullptr;
                document->sheets.emplace_back().name = fields[0];
            } else if (key == L"propertyview" && !document->sheets.empty()) {
                if (!splitFields(value, 1, &fields))
                    return nullptr;
                document->sheets.back().propertyView = fields[0];
            } else if (key == L"view" && document->isDrawing()) {
                size_t sheet = 0;
                size_t view = 0;
                if (!splitFields(value, 4, &fields) || fields[1].empty()
                    || findSheet(*document, fields[0]) < 0
                    || findView(*document, fields[1], &sheet, &view))
                    return nullptr;
                std::wstring model = fields[2];
                if (!model.empty() && !isAbsolute(model))
                    model = folderOf(path) + L"\\" + model;
                document->sheets[findSheet(*document, fields[0])].views.push_back(
                    { fields[1], model.empty() ? model : fullPath(model), fields[3] });
            } else if (key == L"active" && document->isDrawing()) {
                if (!splitFields(value, 1, &fields) || findSheet(*document, fields[0]) < 0)
                    return nullptr;
                document->activeSheet = findSheet(*document, fields[0]);
            } else if (key == L"activeview" && document->isDrawing()) {
                if (!splitFields(value, 1, &fields))
                    return nullptr;
                activeView = fields[0];
            } else if (key == L"select") {
                if (!splitFields(value, 1, &fields))
                    return nullptr;
                selected.push_back(fields[0]);
            } else {
                return nullptr;
            }
        }
        if (!typed || (document->isDrawing() && document->sheets.empty()))
            return nullptr;
        if (!activeView.empty()) {
            const HostSheet &sheet = document->sheets[document->activeSheet];
            for (size_t v = 0; v < sheet.views.size(); ++v) {
                if (sheet.views[v].name == activeView)
                    document->activeView = static_cast<int>(v);
            }
            if (document->activeView < 0)
                return nullptr;
        }
        for (const std::wstring &name : selected) {
            size_t sheet = 0;
            size_t view = 0;
            if (findSheet(*document, name) >= 0)
                document->selection.push_back(
                    { selectedSheet, static_cast<size_t>(findSheet(*document, name)), 0 });
            else if (findView(*document, name, &sheet, &view))
                document->selection.push_back({ selectedView, sheet, view });
            else
                return nullptr;
        }
        return document;
    }

    class DocumentObject final : public StrictDispatch {
    public:
        DocumentObject(HostPrivate *host, HostDocument *document)
            : StrictDispatch(host, L"ModelDoc", 3000)
            , document(document)
        {
            using enum Param;
            const auto method = MemberKind::Method;
            add(L"GetType", method, {},
                [document](const Arguments &, Result &r) { r.setNumber(document->type); });
            add(L"GetPathName", method, {},
                [document](const Arguments &, Result &r) { r.setText(document->path); });
            add(L"GetTitle", method, {},
                [document](const Arguments &, Result &r) { r.setText(document->title()); });
            add(L"Extension", MemberKind::Get, {},
                [document](const Arguments &, Result &r) { r.setObject(document->extension); });
            add(L"SelectionManager", MemberKind::Get, {}, [document](const Arguments &, Result &r) {
                r.setObject(document->selectionManager);
            });
            addProperties();
            add(L"Rebuild", method, { Long }, [](const Arguments &, Result &) {});
            add(L"SaveAs4", method, { String, Long, Long, LongOut, LongOut },
                [host, document](const Arguments &a, Result &r) {
                    long errors = 0;
                    r.setFlag(host->save(document, a.text(0), a.number(1), a.number(2), &errors));
                    a.setNumber(3, errors);
                    a.setNumber(4, 0);
                });
            if (document->isDrawing())
                addDrawing();
            else
                addKnown({ L"GetSheetCount", L"GetSheetNames", L"GetCurrentSheet", L"ActivateSheet",
                    L"GetFirstView", L"ActiveDrawingView", L"ActivateView", L"GetViewCount" });
            addKnown({ L"GetCustomInfoCount", L"GetCustomInfoNames", L"CustomInfo",
                L"AddCustomInfo2", L"AddCustomInfo", L"SaveAs", L"SaveAs2", L"Save3",
                L"ClearSelection2", L"ForceRebuild3", L"ForceRebuild", L"EditUndo2",
                L"SetBlockingState", L"ResetBlockingState", L"EditRebuild3", L"IGetSheetNames",
                L"IGetCurrentSheet" });
            addMisplaced(L"SaveAs3", L"SaveAs3 must be called on the document's Extension");
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
            const auto method = MemberKind::Method;
            HostDocument *document = this->document;
            const auto valueOf = [document](const Arguments &a, Result &r) {
                const HostProperty *property = document->findProperty(a.text(0), a.text(1));
                r.setText(property ? property->value : L"");
            };
            add(L"GetCustomInfoValue", method, { String, String }, valueOf);
            add(L"CustomInfo2", MemberKind::Get, { String, String }, valueOf);
            // Setting a property that does not exist adds nothing: AddCustomInfo3 adds.
            add(L"CustomInfo2", MemberKind::Put, { String, String, String },
                [document](const Arguments &a, Result &) {
                    if (HostProperty *property = document->findProperty(a.text(0), a.text(1)))
                        property->value = a.text(2);
                });
            add(L"GetCustomInfoCount2", method, { String }, [this](const Arguments &a, Result &r) {
                r.setNumber(static_cast<long>(names(a.text(0)).size()));
            });
            add(L"GetCustomInfoNames2", method, { String }, [this](const Arguments &a, Result &r) {
                const std::vector<std::wstring> found = names(a.text(0));
                if (!found.empty())
                    r.setTexts(found, VT_VARIANT);
            });
            add(L"AddCustomInfo3", method, { String, String, Long, String },
                [document](const Arguments &a, Result &r) {
                    const std::wstring configuration = a.text(0);
                    const std::wstring name = a.text(1);
                    const bool added = !name.empty() && document->hasConfiguration(configuration)
                        && !document->findProperty(configuration, name);
                    if (added)
                        document->properties.push_back({ configuration, name, a.text(3) });
                    r.setFlag(added);
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
            const auto method = MemberKind::Method;
            HostDocument *document = this->document;
            add(L"GetSheetCount", method, {}, [document](const Arguments &, Result &r) {
                r.setNumber(static_cast<long>(document->sheets.size()));
            });
            add(L"GetSheetNames", method, {}, [document](const Arguments &, Result &r) {
                std::vector<std::wstring> sheetNames;
                for (const HostSheet &sheet : document->sheets)
                    sheetNames.push_back(sheet.name);
                r.setTexts(sheetNames, VT_BSTR);
            });
            add(L"GetCurrentSheet", method, {}, [document](const Arguments &, Result &r) {
                r.setObject(document->sheets[document->activeSheet].object);
            });
            // True is answered as 1, as the host does for some members: callers test != 0.
            add(L"ActivateSheet", method, { String }, [document](const Arguments &a, Result &r) {
                const int sheet = findSheet(*document, a.text(0));
                if (sheet >= 0 && static_cast<size_t>(sheet) != document->activeSheet) {
                    document->activeSheet = sheet;
                    document->activeView = -1;
                    document->selection.clear();
                }
                r.setFlag(sheet >= 0, 1);
            });
            add(L"GetFirstView", method, {}, [document](const Arguments &, Result &r) {
                r.setObject(document->sheets[document->activeSheet].sheetView);
            });
            add(L"ActiveDrawingView", MemberKind::Get, {},
                [document](const Arguments &, Result &r) {
                    const HostSheet &sheet = document->sheets[document->activeSheet];
                    r.setObject(document->activeView < 0
                            ? nullptr
                            : sheet.views[document->activeView].object);
                });
            add(L"ActivateView", method, { String }, [document](const Arguments &a, Result &r) {
                const HostSheet &sheet = document->sheets[document->activeSheet];
                for (size_t v = 0; v < sheet.views.size(); ++v) {
                    if (sheet.views[v].name == a.text(0)) {
                        document->activeView = static_cast<int>(v);
                        r.setFlag(true);
                        return;
                    }
                }
                r.setFlag(false);
            });
            // Every sheet counts as a view of its own.
            add(L"GetViewCount", method, {}, [document](const Arguments &, Result &r) {
                size_t count = document->sheets.size();
                for (const HostSheet &sheet : document->sheets)
                    count += sheet.views.size();
                r.setNumber(static_cast<long>(count));
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
            const auto method = MemberKind::Method;
            add(
                L"SaveAs3", method, { String, Long, Long, Object, Object, LongOut, LongOut },
                [host, document](const Arguments &a, Result &r) {
                    long errors = 0;
                    r.setFlag(host->save(document, a.text(0), a.number(1), a.number(2), &errors));
                    a.setNumber(5, errors);
                    a.setNumber(6, 0);
                },
                true);
            add(L"SaveAs", method, { String, Long, Long, Object, LongOut, LongOut },
                [host, document](const Arguments &a, Result &r) {
                    long errors = 0;
                    r.setFlag(host->save(document, a.text(0), a.number(1), a.number(2), &errors));
                    a.setNumber(4, errors);
                    a.setNumber(5, 0);
                });
            add(
                L"Rebuild", method, { Long }, [](const Arguments &, Result &r) { r.setFlag(true); },
                true);
            addKnown({ L"SaveAs2", L"CustomPropertyManager" });
        }
    };

    class SheetObject final : public StrictDispatch {
    public:
        SheetObject(HostPrivate *host, HostDocument *document, size_t sheet)
            : StrictDispatch(host, L"Sheet", 5000)
        {
            add(L"GetName", MemberKind::Method, {},
                [document, sheet](
                    const Arguments &, Result &r) { r.setText(document->sheets[sheet].name); });
            add(L"CustomPropertyView", MemberKind::Get, {},
                [document, sheet](const Arguments &, Result &r) {
                    r.setText(document->sheets[sheet].propertyView);
                });
        }
    };

    // A drawing view, or with view -1 the sheet itself as the head of its view list.
    class ViewObject final : public StrictDispatch {
    public:
        ViewObject(HostPrivate *host, HostDocument *document, size_t sheet, int view)
            : StrictDispatch(host, L"View", 6000)
        {
            using enum Param;
            const auto method = MemberKind::Method;
            const auto drawingView = [document, sheet, view]() -> HostView * {
                return view < 0 ? nullptr : &document->sheets[sheet].views[view];
            };
            add(L"GetNextView", method, {}, [document, sheet, view](const Arguments &, Result &r) {
                const auto &views = document->sheets[sheet].views;
                const size_t next = static_cast<size_t>(view + 1);
                r.setObject(next < views.size() ? views[next].object : nullptr);
            });
            const auto nameOf = [document, sheet, drawingView](const Arguments &, Result &r) {
                const HostView *shown = drawingView();
                r.setText(shown ? shown->name : document->sheets[sheet].name);
            };
            add(L"GetName2", method, {}, nameOf, true);
            add(L"Name", MemberKind::Get, {}, nameOf);
            add(L"Type", MemberKind::Get, {}, [view](const Arguments &, Result &r) {
                r.setNumber(view < 0 ? sheetViewType : namedViewType);
            });
            add(L"IsModelLoaded", method, {}, [drawingView](const Arguments &, Result &r) {
                const HostView *shown = drawingView();
                r.setFlag(shown && shown->model);
            });
            add(L"LoadModel", method, {}, [host, drawingView](const Arguments &, Result &r) {
                HostView *shown = drawingView();
                if (shown && !shown->model)
                    shown->model = host->loadModel(shown->modelPath);
                r.setNumber(shown && shown->model ? 0 : -1);
            });
            add(L"GetReferencedModelName", method, {}, [drawingView](const Arguments &, Result &r) {
                const HostView *shown = drawingView();
                r.setText(shown ? shown->modelPath : L"");
            });
            add(L"ReferencedConfiguration", MemberKind::Get, {},
                [drawingView](const Arguments &, Result &r) {
                    const HostView *shown = drawingView();
                    r.setText(shown ? shown->configuration : L"");
                });
            add(L"ReferencedDocument", MemberKind::Get, {},
                [drawingView](const Arguments &, Result &r) {
                    const HostView *shown = drawingView();
                    r.setObject(shown && shown->model ? shown->model->object : nullptr);
                });
            addKnown({ L"GetUniqueName" });
        }
    };

    class SelectionObject final : public StrictDispatch {
    public:
        SelectionObject(HostPrivate *host, HostDocument *document)
            : StrictDispatch(host, L"SelectionMgr", 7000)
            , document(document)
        {
            using enum Param;
            const auto method = MemberKind::Method;
            add(
                L"GetSelectedObjectCount2", method, { Long },
                [this](const Arguments &a, Result &r) { r.setNumber(count(a.number(0))); }, true);
            add(L"GetSelectedObjectCount", method, {},
                [this](const Arguments &, Result &r) { r.setNumber(count(-1)); });
            add(
                L"GetSelectedObjectType3", method, { Long, Long },
                [this](const Arguments &a, Result &r) {
                    const HostSelection *selected = at(a.number(0), a.number(1));
                    r.setNumber(selected ? selected->type : 0);
                },
                true);
            add(L"GetSelectedObjectType2", method, { Long }, [this](const Arguments &a, Result &r) {
                const HostSelection *selected = at(a.number(0), -1);
                r.setNumber(selected ? selected->type : 0);
            });
            add(
                L"GetSelectedObject6", method, { Long, Long },
                [this](const Arguments &a, Result &r) {
                    r.setObject(objectOf(at(a.number(0), a.number(1))));
                },
                true);
            add(L"GetSelectedObject5", method, { Long }, [this](const Arguments &a, Result &r) {
                r.setObject(objectOf(at(a.number(0), -1)));
            });
            addKnown({ L"GetSelectedObjectType", L"GetSelectedObject" });
        }

    private:
        // Nothing here carries a selection mark: mark -1 (all) and 0 (unmarked) see everything.
        long count(long mark) const
        {
            return mark == -1 || mark == 0 ? static_cast<long>(document->selection.size()) : 0;
        }

        const HostSelection *at(long index, long mark) const
        {
            if (index < 1 || index > count(mark))
                return nullptr;
            return &document->selection[index - 1];
        }

        IDispatch *objectOf(const HostSelection *selected) const
        {
            if (!selected)
                return nullptr;
            const HostSheet &sheet = document->sheets[selected->sheet];
            return selected->type == selectedSheet ? sheet.object
                                                   : sheet.views[selected->view].object;
        }

        HostDocument *document;
    };

    std::wstring sheetName(const HostDocument &document)
    {
        return document.isDrawing() ? document.sheets[document.activeSheet].name : L"";
    }

    bool referencedByOthers(const std::vector<std::unique_ptr<HostDocument>> &documents,
        const HostDocument *model, const HostDocument *except)
    {
        for (const auto &document : documents) {
            if (document.get() == except || document->state == DocumentState::Closed)
                continue;
            for (const HostSheet &sheet : document->sheets) {
                for (const HostView &view : sheet.views) {
                    if (view.model == model)
                        return true;
                }
            }
        }
        return false;
    }

} // namespace

std::wstring fullPath(const std::wstring &path)
{
    if (path.empty())
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(length < size ? length : 0);
    return full.empty() ? path : full;
}

std::wstring HostDocument::fileName() const
{
    return path.substr(nameStart(path));
}

std::wstring HostDocument::title() const
{
    const std::wstring name = fileName();
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool HostDocument::hasConfiguration(const std::wstring &configuration) const
{
    if (configuration.empty())
        return true;
    for (const std::wstring &known : configurations) {
        if (known == configuration)
            return true;
    }
    return false;
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
    if (name.empty())
        return nullptr;
    const std::wstring asPath = fullPath(name);
    HostDocument *byFileName = nullptr;
    HostDocument *byTitle = nullptr;
    int fileNames = 0;
    int titles = 0;
    for (const auto &document : documents) {
        if (document->state != DocumentState::Open)
            continue;
        if (isAbsolute(name) && sameText(document->path, asPath))
            return document.get();
        if (sameText(document->fileName(), name)) {
            byFileName = document.get();
            ++fileNames;
        }
        if (sameText(document->title(), name)) {
            byTitle = document.get();
            ++titles;
        }
    }
    // A title shared by a part and its drawing names neither.
    if (fileNames == 1)
        return byFileName;
    return titles == 1 ? byTitle : nullptr;
}

HostDocument *HostPrivate::open(
    const std::wstring &path, long expectedType, long *errors, long *warnings)
{
    *errors = 0;
    *warnings = 0;
    for (const auto &document : documents) {
        if (document->state == DocumentState::Closed || !sameText(document->path, path))
            continue;
        if (expectedType != 0 && document->type != expectedType) {
            *errors = loadErrorInvalidFileType;
            return nullptr;
        }
        if (document->state == DocumentState::Open)
            *warnings = loadWarningAlreadyOpen;
        document->state = DocumentState::Open;
        return document.get();
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES
        || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *errors = loadErrorFileNotFound;
        return nullptr;
    }
    std::unique_ptr<HostDocument> document = readDocument(path);
    if (!document || (expectedType != 0 && document->type != expectedType)) {
        *errors = loadErrorInvalidFileType;
        return nullptr;
    }
    return adopt(std::move(document));
}

HostDocument *HostPrivate::loadModel(const std::wstring &path)
{
    if (path.empty())
        return nullptr;
    for (const auto &document : documents) {
        if (document->state != DocumentState::Closed && sameText(document->path, path))
            return document->isDrawing() ? nullptr : document.get();
    }
    std::unique_ptr<HostDocument> document = readDocument(path);
    if (!document || document->isDrawing())
        return nullptr;
    document->state = DocumentState::Referenced;
    return adopt(std::move(document));
}

HostDocument *HostPrivate::adopt(std::unique_ptr<HostDocument> owned)
{
    HostDocument *document = owned.get();
    documents.push_back(std::move(owned));
    document->object = create<DocumentObject>(this, document);
    document->extension = create<ExtensionObject>(this, document);
    document->selectionManager = create<SelectionObject>(this, document);
    for (size_t s = 0; s < document->sheets.size(); ++s) {
        HostSheet &sheet = document->sheets[s];
        sheet.object = create<SheetObject>(this, document, s);
        sheet.sheetView = create<ViewObject>(this, document, s, -1);
        for (size_t v = 0; v < sheet.views.size(); ++v)
            sheet.views[v].object = create<ViewObject>(this, document, s, static_cast<int>(v));
    }
    for (HostSheet &sheet : document->sheets) {
        for (HostView &view : sheet.views)
            view.model = loadModel(view.modelPath);
    }
    return document;
}

void HostPrivate::activate(HostDocument *document)
{
    document->state = DocumentState::Open;
    active = document;
}

void HostPrivate::close(HostDocument *document)
{
    if (active == document)
        active = nullptr;
    // A model a drawing still shows stays loaded, only no longer open on its own.
    document->state = referencedByOthers(documents, document, document) ? DocumentState::Referenced
                                                                        : DocumentState::Closed;
    for (const auto &other : documents) {
        if (other->state == DocumentState::Referenced
            && !referencedByOthers(documents, other.get(), nullptr))
            other->state = DocumentState::Closed;
    }
}

bool HostPrivate::save(
    HostDocument *document, const std::wstring &name, long version, long options, long *errors)
{
    *errors = 0;
    if (name.empty()) {
        *errors = saveErrorNameEmpty;
        return false;
    }
    // A bare file name lands in the active document's folder.
    std::wstring target = name;
    if (nameStart(name) == 0) {
        const std::wstring folder = folderOf(active ? active->path : document->path);
        if (!folder.empty())
            target = folder + L"\\" + name;
    }
    target = fullPath(target);
    const std::wstring extension = extensionOf(target);
    const std::wstring nativeExtension = document->isDrawing() ? L"SLDDRW" : L"SLDPRT";
    const bool native = extension == nativeExtension;
    static const std::set<std::wstring> exports
        = { L"PDF", L"DXF", L"TIF", L"TIFF", L"JPG", L"JPEG", L"PNG", L"BMP" };
    if (target.size() > maxPathLength)
        *errors = saveErrorNameTooLong;
    else if (target.substr(nameStart(target)).find(L'@') != std::wstring::npos)
        *errors = saveErrorAtSign;
    else if (extension == L"DWG" || extension == L"EDRW")
        *errors = saveErrorFormatNotAvailable;
    else if (!native && !exports.count(extension))
        *errors = saveErrorInvalidExtension;
    else if (!isFolder(folderOf(target)))
        *errors = saveErrorGeneric;
    else if (const DWORD attributes = GetFileAttributesW(target.c_str());
             attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        *errors = saveErrorReadOnly;
    if (*errors)
        return false;

    const std::string content = native
        ? serialize(*document)
        : toUtf8(L"document=" + document->path + L"\r\nsheet=" + sheetName(*document) + L"\r\n");
    const DWORD written = writeFile(target, content);
    if (written != ERROR_SUCCESS) {
        *errors = written == ERROR_SHARING_VIOLATION ? saveErrorFileLock : saveErrorGeneric;
        return false;
    }
    q.saves.push_back({ document->path, target, version, options, sheetName(*document) });
    // Saving in the native format without the copy option makes the new file the document's.
    if (native && !(options & saveAsCopy))
        document->path = target;
    return true;
}

void writeTestDrawing(const std::wstring &folder)
{
    std::wstring base = fullPath(folder);
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';

    HostDocument plate;
    plate.configurations = { L"Default" };
    plate.properties = { { L"", L"Revision", L"C" }, { L"", L"Description", L"Base plate" },
        { L"", L"Material", L"steel" }, { L"Default", L"Finish", L"painted" } };

    HostDocument bracket;
    bracket.configurations = { L"Default" };
    bracket.properties = { { L"", L"Revision", L"A" }, { L"", L"Description", L"Angle bracket" } };

    const std::wstring model = base + L"PLATE.SLDPRT";
    const auto view = [&model](const wchar_t *name) {
        return HostView { name, model, L"Default" };
    };
    HostDocument drawing;
    drawing.type = drawingType;
    drawing.properties = { { L"", L"Revision", L"B" } };
    drawing.sheets
        = { { L"Sheet1", L"Default", { view(L"Drawing View1"), view(L"Drawing View2") } },
              { L"Sheet2", L"Default", { view(L"Drawing View3") } },
              { L"Detail A", L"Default", { view(L"Drawing View4"), view(L"Drawing View5") } } };

    for (const auto &[name, document] : { std::pair { L"PLATE.SLDPRT", &plate },
             std::pair { L"PLATE.SLDDRW", &drawing }, std::pair { L"BRACKET.SLDPRT", &bracket } }) {
        if (writeFile(base + name, serialize(*document)) != ERROR_SUCCESS)
            throw std::runtime_error("cannot write the test drawing");
    }
}

} // namespace StrictHost
