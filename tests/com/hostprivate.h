#pragma once

#include "strictdispatch.h"
#include "stricthost.h"

#include <map>
#include <memory>
#include <string>
#include <vector>
#include <wrl/client.h>

namespace StrictHost {

inline constexpr long partType = 1;
inline constexpr long drawingType = 3;

struct HostDocument;

struct HostProperty {
    std::wstring configuration; // "": the file's own properties
    std::wstring name;
    std::wstring value;
};

struct HostView {
    std::wstring name;
    std::wstring modelPath;
    std::wstring configuration;
    HostDocument *model = nullptr;
    StrictDispatch *object = nullptr;
};

struct HostSheet {
    std::wstring name;
    std::vector<HostView> views;
    StrictDispatch *object = nullptr;
    // The sheet as the first entry of its own view list.
    StrictDispatch *sheetView = nullptr;
};

struct HostFault {
    enum Kind { None, Hang, Crash, Slow, Busy };
    Kind kind = None;
    unsigned long milliseconds = 0;
};

// Open: listed and activatable. Loaded: only because a drawing's view shows it.
enum class DocumentState { Open, Loaded, Closed };

struct HostDocument {
    std::wstring path;
    long type = partType;
    std::vector<std::wstring> configurations;
    std::vector<HostProperty> properties;
    std::vector<HostSheet> sheets;
    size_t activeSheet = 0;
    int activeView = -1; // of the active sheet's views; -1: the sheet itself
    DocumentState state = DocumentState::Open;
    HostFault fault;
    // Changed since it was read or last saved in its own format.
    bool modified = false;
    StrictDispatch *object = nullptr;
    StrictDispatch *extension = nullptr;
    StrictDispatch *selectionManager = nullptr;

    bool isDrawing() const { return type == drawingType; }
    std::wstring fileName() const;
    // The file name without its extension, as Explorer shows it with extensions hidden.
    std::wstring title() const;
    bool hasConfiguration(const std::wstring &configuration) const;
    HostProperty *findProperty(const std::wstring &configuration, const std::wstring &name);
};

class HostPrivate : public StrictContext {
public:
    HostPrivate(Host &q, Options options);
    ~HostPrivate();

    void violation(const std::wstring &text) override
    {
        q.violations.push_back(text);
        if (options.violationObserver)
            options.violationObserver(text);
    }
    void logCall(const std::wstring &object, const std::wstring &member,
        std::vector<std::wstring> args) override
    {
        q.calls.push_back({ object, member, std::move(args) });
        if (options.callObserver)
            options.callObserver(q.calls.back());
    }
    bool offers(const std::wstring &member, bool current) const override;
    const std::wstring *failure(const std::wstring &member) const override;

    // The host's one reference to every object it creates, kept until it ends.
    template <class T, class... A> T *create(A &&...args)
    {
        T *created = new T(std::forward<A>(args)...);
        // Adopts the creation reference; MinGW's ComPtr::Attach would add one more.
        *objects.emplace_back().GetAddressOf() = created;
        return created;
    }

    // By full path, file name or title (a title shared by two open documents matches neither).
    HostDocument *findOpen(const std::wstring &name) const;
    // Finds the loaded document of the file or reads it, and activates it. expectedType 0
    // accepts any type.
    HostDocument *open(const std::wstring &name, long expectedType = 0, long *errors = nullptr,
        long *warnings = nullptr);
    HostDocument *loadModel(const std::wstring &path);
    void close(HostDocument *document);
    bool save(
        HostDocument *document, const std::wstring &name, long version, long options, long *errors);
    // Closes every open document, or only the unmodified ones; whether none is left open.
    bool closeAll(bool includeModified);

    Host &q;
    Options options;
    std::vector<Microsoft::WRL::ComPtr<StrictDispatch>> objects;
    std::vector<std::unique_ptr<HostDocument>> documents;
    HostDocument *active = nullptr;
    StrictDispatch *application = nullptr;
    StrictDispatch *frame = nullptr;
    HWND window = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> callback;
    long nextCommandId = 1;
    std::vector<std::pair<std::wstring, Microsoft::WRL::ComPtr<ISwAddin>>> addIns; // by CLSID
    long nextCookie = 100;
    unsigned long long created = 0;
    // What a client set through the application's properties.
    bool userControl = false;
    bool userControlBackground = false;
    bool commandInProgress = false;
    long frameState = 0;
    std::map<long, bool> documentVisible; // by document type; shown unless set

    // Connects the add-in of the class; the failure, or "" when it connected.
    std::wstring connect(const CLSID &clsid, Microsoft::WRL::ComPtr<ISwAddin> &addIn);

private:
    HostDocument *loaded(const std::wstring &path) const;
    HostDocument *adopt(std::unique_ptr<HostDocument> document);
};

std::wstring fullPath(const std::wstring &path);

} // namespace StrictHost
