// The parts of the end-to-end fixture that a shell script cannot make from Linux: it tells where
// the prefix keeps its shell folders, and it writes real shortcut files through IShellLink.
//
//   FixtureHelper folders                      prints "csidl<TAB>path" for the folders the fixture uses
//   FixtureHelper shortcut LINK TARGET [...]   one .lnk per pair; exit code 1 if any could not be made
//   FixtureHelper drivetype X:                 prints GetDriveTypeA of that drive (5: CD-ROM)
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/Handles.h"

namespace {

using tamrisk::win32::ComPtr;

// The folders the scanners of the start menu, shortcuts and fonts look at, and where the fixture
// puts its files.
constexpr int kFolders[] = {CSIDL_PROGRAMS,        CSIDL_RECENT,   CSIDL_STARTMENU,
                            CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,    CSIDL_COMMON_STARTMENU,
                            CSIDL_COMMON_PROGRAMS,  CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_APPDATA,
                            CSIDL_PERSONAL,         CSIDL_WINDOWS};

int PrintFolders() {
  int missing = 0;
  for (const int csidl : kFolders) {
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
      std::fprintf(stderr, "no path for shell folder %d\n", csidl);
      ++missing;
      continue;
    }
    std::printf("%d\t%s\n", csidl, path);
  }
  return missing == 0 ? 0 : 1;
}

bool MakeShortcut(const char* linkPath, const char* target) {
  ComPtr<IShellLinkA> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void()))) {
    return false;
  }
  if (FAILED(link->SetPath(target))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  wchar_t wide[MAX_PATH] = {};
  if (::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH) == 0) return false;
  return SUCCEEDED(file->Save(wide, TRUE));
}

// Balances CoInitialize on every way out.
struct ComApartment {
  const bool ready = SUCCEEDED(::CoInitialize(nullptr));
  ~ComApartment() {
    if (ready) ::CoUninitialize();
  }
};

int MakeShortcuts(int count, char** pairs) {
  if (count % 2 != 0) {
    std::fprintf(stderr, "shortcut wants pairs of LINK TARGET\n");
    return 2;
  }
  ComApartment com;
  if (!com.ready) return 1;
  int failed = 0;
  for (int i = 0; i < count; i += 2) {
    if (!MakeShortcut(pairs[i], pairs[i + 1])) {
      std::fprintf(stderr, "could not make %s\n", pairs[i]);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "folders") == 0) return PrintFolders();
  if (argc == 3 && std::strcmp(argv[1], "drivetype") == 0) {
    const std::string root = std::string(argv[2]) + "\\";
    std::printf("%u\n", ::GetDriveTypeA(root.c_str()));
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "shortcut") == 0) return MakeShortcuts(argc - 2, argv + 2);
  std::fprintf(stderr, "usage: FixtureHelper folders | shortcut LINK TARGET [LINK TARGET ...] | drivetype X:\n");
  return 2;
}
