#pragma once

#include "strictdispatch.h"
#include "stricthost.h"

#include <memory>
#include <string>
#include <vector>
#include <wrl/client.h>

namespace StrictHost {

inline constexpr long partType = 1;
inline constexpr long drawingType = 3;

struct HostDocument;

struct HostProperty {
    std::wstring configuration;
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
    std::wstring propertyView = L"Default";
    std::vector<HostView> views;
    StrictDispatch *object = nullptr;
    // The sheet as the first entry of its own view list.
    StrictDispatch *sheetView = nullptr;
};

inline constexpr long selectedView = 12;
inline constexpr long selectedSheet = 19;

struct HostSelection {
    long type;
    size_t sheet;
    size_t view; // of the sheet's views, when type is selectedView
};

// Open: listed and activatable. Referenced: loaded only because a drawing's view shows it.
enum class DocumentState { Open, Referenced, Closed };

struct HostDocument {
    std::wstring path;
    long type = partType;
    std::vector<std::wstring> configurations;
    std::vector<HostProperty> properties;
    std::vector<HostSheet> sheets;
    size_t activeSheet = 0;
    int activeView = -1; // of the active sheet's views; -1: the sheet itself
    std::vector<HostSelection> selection;
    DocumentState state = DocumentState::Open;
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

    void violation(const std::wstring &text) override;
    void logCall(const std::wstring &object, const std::wstring &member,
        std::vector<std::wstring> args) override;
    bool offers(const std::wstring &member, bool hasOlderName) const override;
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
    // Finds the open document of path or opens the file. expectedType 0 accepts any type.
    HostDocument *open(const std::wstring &path, long expectedType, long *errors, long *warnings);
    HostDocument *loadModel(const std::wstring &path);
    void activate(HostDocument *document);
    void close(HostDocument *document);
    bool save(
        HostDocument *document, const std::wstring &name, long version, long options, long *errors);

    Host &q;
    Options options;
    std::vector<Microsoft::WRL::ComPtr<StrictDispatch>> objects;
    std::vector<std::unique_ptr<HostDocument>> documents;
    HostDocument *active = nullptr;
    StrictDispatch *application = nullptr;
    StrictDispatch *frame = nullptr;
    HWND window = nullptr;
    int paints = 0;
    Microsoft::WRL::ComPtr<IDispatch> callback;
    long long callbackHandle = 0;
    long callbackCookie = 0;
    long nextCommandId = 1;

    struct LoadedAddIn {
        std::wstring clsid;
        Microsoft::WRL::ComPtr<ISwAddin> addIn;
    };
    std::vector<LoadedAddIn> addIns;
    long nextCookie = 100;

private:
    HostDocument *adopt(std::unique_ptr<HostDocument> document);
    void loadModels(HostDocument *document);
};

std::wstring fullPath(const std::wstring &path);

} // namespace StrictHost
