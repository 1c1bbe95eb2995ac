#pragma once

#include <string>
#include <vector>
#include <windows.h>

// What registering the add-in writes: its COM class, and the host's keys that list it as an
// add-in and load it at start-up. The installer writes the same entries; both write to the 64-bit
// registry, which a 64-bit host reads.
namespace Registration {

struct Entry {
    HKEY root;
    std::wstring key;
    // Empty for the key's default value.
    std::wstring name;
    DWORD type;
    std::wstring text;
    DWORD number = 0;
};

// The class's CLSID in braces.
std::wstring classId();
// Every value written, keys in the order they are made; the module path is the DLL's full path.
std::vector<Entry> entries(const std::wstring &modulePath);
// Writes every entry; on a failure, removes what it wrote. Answers the system's error code.
LONG registerServer(const std::wstring &modulePath);
// Removes the keys the add-in owns, and only those; keys already gone are no failure.
LONG unregisterServer();

} // namespace Registration
