#pragma once

// What the test host's program, SLDWORKS.exe, and the programs that drive it share.
namespace HostServer {

// The application class of the test host: not the real host's, whose class changes with each
// version anyway; clients find it through the versioned ProgID.
inline constexpr wchar_t classId[] = L"{6E3C4A1B-8F2D-4C57-9B0E-2D7A51C3E944}";
inline constexpr wchar_t versionedProgId[] = L"SldWorks.Application.33";
inline constexpr wchar_t progId[] = L"SldWorks.Application";

// Milliseconds after start during which StartupProcessCompleted answers false.
inline constexpr wchar_t startupVariable[] = L"QUILLET_TESTHOST_STARTUP_MS";
// A folder for the host's record, and the record's name in it.
inline constexpr wchar_t logVariable[] = L"QUILLET_TESTHOST_LOG";
inline constexpr wchar_t nameVariable[] = L"QUILLET_TESTHOST_NAME";

} // namespace HostServer
