#include "ui/main/SafeStart.h"

#include <windows.h>

#include <string>

#include "platform/win32/Win32System.h"

namespace tamrisk {
namespace {

// Libraries that the system's own load by bare name while the windows draw. Not every loader keeps
// to the search order set below: Wine's delayed imports, and Windows 7 without its update
// KB2533623, still look in the program's folder first. A library already loaded is never searched
// for again, so these are loaded now, from the system folder, and kept for the life of the process.
constexpr const wchar_t* kLoadedOnDemand[] = {L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll"};

void RestrictLibrarySearch() {
  // Looked up, so that the program still starts on a Windows 7 without KB2533623. kernel32 is loaded
  // already; naming it searches nothing.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Without the above this at least drops the current folder from the search.
  ::SetDllDirectoryW(L"");
}

}  // namespace

void HardenProcessStart() {
  ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  RestrictLibrarySearch();
  for (const wchar_t* name : kLoadedOnDemand) {
    const std::wstring path = win32::SystemFolderFile(name);
    if (!path.empty()) ::LoadLibraryExW(path.c_str(), nullptr, 0);  // a library this Windows lacks is no loss
  }
}

}  // namespace tamrisk
