// The parts of the end-to-end fixture that a shell script cannot make from Linux: it tells where
// the prefix keeps its shell folders, and it writes real shortcut files through IShellLink.
//
//   FixtureHelper folders                      prints "csidl<TAB>path" for the folders the fixture uses
//   FixtureHelper shortcut LINK TARGET [...]   one .lnk per pair; exit code 1 if any could not be made
//   FixtureHelper drivetype X:                 prints GetDriveTypeW of that drive (5: CD-ROM)
//
// Paths arrive and leave as UTF-8.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "ui/main/CommandLine.h"

namespace {

using tamrisk::win32::ComPtr;
using tamrisk::win32::Utf8;
using tamrisk::win32::Wide;

// The folders the scanners of the start menu, shortcuts and fonts look at, and where the fixture
// puts its files.
constexpr int kFolders[] = {
    CSIDL_PROGRAMS, CSIDL_RECENT,           CSIDL_STARTMENU,       CSIDL_DESKTOPDIRECTORY,
    CSIDL_FONTS,    CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_APPDATA,  CSIDL_PERSONAL,         CSIDL_WINDOWS};

int PrintFolders() {
  int missing = 0;
  for (const int csidl : kFolders) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
      std::fprintf(stderr, "no path for shell folder %d\n", csidl);
      ++missing;
      continue;
    }
    std::printf("%d\t%s\n", csidl, Utf8(path).c_str());
  }
  return missing == 0 ? 0 : 1;
}

bool MakeShortcut(const std::string& linkPath, const std::string& target) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    return false;
  }
  if (FAILED(link->SetPath(Wide(target).c_str()))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  return SUCCEEDED(file->Save(Wide(linkPath).c_str(), TRUE));
}

// Balances CoInitialize on every way out.
struct ComApartment {
  const bool ready = SUCCEEDED(::CoInitialize(nullptr));
  ~ComApartment() {
    if (ready) ::CoUninitialize();
  }
};

int MakeShortcuts(const std::vector<std::string>& pairs) {
  if (pairs.size() % 2 != 0) {
    std::fprintf(stderr, "shortcut wants pairs of LINK TARGET\n");
    return 2;
  }
  ComApartment com;
  if (!com.ready) return 1;
  int failed = 0;
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    if (!MakeShortcut(pairs[i], pairs[i + 1])) {
      std::fprintf(stderr, "could not make %s\n", pairs[i].c_str());
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main() {
  const std::vector<std::string> arguments = tamrisk::ProgramArguments();
  const std::string command = arguments.empty() ? std::string() : arguments[0];
  if (command == "folders") return PrintFolders();
  if (command == "drivetype" && arguments.size() == 2) {
    std::printf("%u\n", ::GetDriveTypeW(Wide(arguments[1] + "\\").c_str()));
    return 0;
  }
  if (command == "shortcut") return MakeShortcuts({arguments.begin() + 1, arguments.end()});
  std::fprintf(stderr, "usage: FixtureHelper folders | shortcut LINK TARGET [LINK TARGET ...] | drivetype X:\n");
  return 2;
}
