#include "registration.h"

#include "quilletversion.h"

namespace {

const std::wstring classesKey = L"SOFTWARE\\Classes\\CLSID\\";
const std::wstring addInsKey = L"SOFTWARE\\SolidWorks\\AddIns\\";
const std::wstring startupKey = L"Software\\SolidWorks\\AddInsStartup\\";

std::wstring wide(const char *text)
{
    return std::wstring(text, text + strlen(text));
}

struct OwnedKey {
    HKEY root;
    std::wstring parent;
};

// The keys the add-in owns whole, each named by its parent and the CLSID; the parents are the
// system's or the host's.
std::vector<OwnedKey> ownedKeys()
{
    return { { HKEY_LOCAL_MACHINE, classesKey }, { HKEY_LOCAL_MACHINE, addInsKey },
        { HKEY_CURRENT_USER, startupKey } };
}

LONG write(const Registration::Entry &entry)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(entry.root, entry.key.c_str(), 0, nullptr, 0,
        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    const BYTE *data = entry.type == REG_DWORD ? reinterpret_cast<const BYTE *>(&entry.number)
                                               : reinterpret_cast<const BYTE *>(entry.text.c_str());
    const DWORD size = entry.type == REG_DWORD ? DWORD(sizeof entry.number)
                                               : DWORD((entry.text.size() + 1) * sizeof(wchar_t));
    result = RegSetValueExW(
        key, entry.name.empty() ? nullptr : entry.name.c_str(), 0, entry.type, data, size);
    RegCloseKey(key);
    return result;
}

LONG removeOwned(const OwnedKey &owned)
{
    HKEY parent = nullptr;
    LONG result = RegOpenKeyExW(owned.root, owned.parent.c_str(), 0,
        KEY_READ | KEY_WRITE | DELETE | KEY_WOW64_64KEY, &parent);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    result = RegDeleteTreeW(parent, Registration::classId().c_str());
    RegCloseKey(parent);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

} // namespace

std::wstring Registration::classId()
{
    return wide(QUILLET_CLSID);
}

std::vector<Registration::Entry> Registration::entries(const std::wstring &modulePath)
{
    const std::wstring product = wide(QUILLET_PRODUCT_NAME);
    const std::wstring classKey = classesKey + classId();
    const std::wstring addInKey = addInsKey + classId();
    return {
        { HKEY_LOCAL_MACHINE, classKey, L"", REG_SZ, product },
        { HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"", REG_SZ, modulePath },
        // Qt's windows live on the thread that made them: the host's user-interface thread.
        { HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"ThreadingModel", REG_SZ,
            L"Apartment" },
        // Listed in the host's add-ins, turned on.
        { HKEY_LOCAL_MACHINE, addInKey, L"", REG_DWORD, L"", 1 },
        { HKEY_LOCAL_MACHINE, addInKey, L"Title", REG_SZ, product },
        { HKEY_LOCAL_MACHINE, addInKey, L"Description", REG_SZ, wide(QUILLET_DESCRIPTION) },
        // Loaded when the host starts.
        { HKEY_CURRENT_USER, startupKey + classId(), L"", REG_DWORD, L"", 1 },
    };
}

LONG Registration::registerServer(const std::wstring &modulePath)
{
    for (const Entry &entry : entries(modulePath)) {
        const LONG result = write(entry);
        if (result != ERROR_SUCCESS) {
            unregisterServer();
            return result;
        }
    }
    return ERROR_SUCCESS;
}

LONG Registration::unregisterServer()
{
    LONG first = ERROR_SUCCESS;
    for (const OwnedKey &owned : ownedKeys()) {
        const LONG result = removeOwned(owned);
        if (first == ERROR_SUCCESS)
            first = result;
    }
    return first;
}
