#include "ui/main/ConsoleSwitches.h"

#include <windows.h>

#include "BuildInfo.h"
#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TaskScheduler.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "ui/dialogs/SchedulePage.h"
#include "unattended/InstallerSwitches.h"

namespace tamrisk {
namespace {

bool IsHelpSwitch(const std::string& argument) {
  return argument == "/?" || argument == "-?" || EqualsNoCase(argument, "-help") || EqualsNoCase(argument, "/help");
}

bool WriteAll(HANDLE out, const std::string& text) {
  DWORD written = 0;
  return ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

bool WriteToParentConsole(const std::string& text) {
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  bool written = false;
  {
    const win32::UniqueFileHandle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                        nullptr));
    // The shell has printed its prompt already, since it does not wait for a window program.
    const std::wstring wide = win32::Wide("\r\n" + text);
    DWORD count = 0;
    written = console && ::WriteConsoleW(console.get(), wide.data(), static_cast<DWORD>(wide.size()), &count, nullptr);
  }
  ::FreeConsole();
  return written;
}

struct LibraryTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE library) { ::FreeLibrary(library); }
};

// Whether a product other than the one being removed still uses the installer component: a newer
// package that has installed its files and now removes the older product. msi.dll is loaded here,
// from the system folder, rather than imported: an imported library is looked for beside the program
// before the start-up hardening runs.
bool AnotherProductUses(const std::string& component, const std::string& removedProduct) {
  if (component.empty()) return false;
  const std::wstring path = win32::SystemFolderFile(L"msi.dll");
  const win32::UniqueResource<HMODULE, LibraryTraits> msi(path.empty() ? nullptr
                                                                       : ::LoadLibraryExW(path.c_str(), nullptr, 0));
  using EnumClientsFunction = UINT(WINAPI*)(LPCWSTR, DWORD, LPWSTR);
  const auto enumClients = msi ? reinterpret_cast<EnumClientsFunction>(
                                     reinterpret_cast<void*>(::GetProcAddress(msi.get(), "MsiEnumClientsW")))
                               : nullptr;
  if (!enumClients) return false;
  wchar_t product[39] = {};
  for (DWORD index = 0; enumClients(win32::Wide(component).c_str(), index, product) == ERROR_SUCCESS; ++index) {
    if (!EqualsNoCase(win32::Utf8(product), removedProduct)) return true;
  }
  return false;
}

std::string ArgumentAt(const std::vector<std::string>& arguments, std::size_t index) {
  return index < arguments.size() ? arguments[index] : std::string();
}

int RunInstallerSwitch(const std::vector<std::string>& arguments) {
  const win32::ComApartment com;  // the Task Scheduler's objects
  win32::Win32Platform system;
  win32::Win32TaskScheduler scheduler;
  std::string error;
  int exitCode = 1;
  if (EqualsNoCase(arguments.front(), "-uninstall")) {
    // "-uninstall PRODUCTCODE COMPONENTCODE" from the package; without them it always cleans up.
    const bool anotherStays = AnotherProductUses(ArgumentAt(arguments, 2), ArgumentAt(arguments, 1));
    exitCode = RunUninstall(system.platform, scheduler, anotherStays, error);
  } else {
    const TaskTarget target = TaskTargetOf(system.platform, ThisProgramPath());
    exitCode = RunSetSchedule(scheduler, {arguments.begin() + 1, arguments.end()}, target, error);
  }
  // Nobody may be watching (the installer runs it): an error goes to a console if there is one.
  if (!error.empty()) WriteToStartingConsole(error + "\r\n");
  return exitCode;
}

}  // namespace

// Short lines without columns: the same text reads well on a console and in a message box, which
// wraps long lines in a proportional font.
std::string UsageText() {
  return std::string("Varkon Tamrisk ") + TAMRISK_VERSION_TEXT +
         "\r\n"
         "\r\n"
         "Tamrisk.exe\r\n"
         "  Opens the window; a second start brings it to the front.\r\n"
         "Tamrisk.exe -cleanonce\r\n"
         "  Scans the ticked categories and repairs what it finds,\r\n"
         "  with a backup, showing no window.\r\n"
         "Tamrisk.exe -report FILE\r\n"
         "  Scans the ticked categories and writes the problems\r\n"
         "  to FILE as CSV; repairs nothing.\r\n"
         "Tamrisk.exe -setschedule KIND [HH:MM] [1]\r\n"
         "  Sets the scheduled task as the Schedule page does:\r\n"
         "  KIND off, daily, weekly (Mondays) or logon, at HH:MM\r\n"
         "  (12:00 when left out); 1 only reports.\r\n"
         "Tamrisk.exe -uninstall\r\n"
         "  Deletes the scheduled task, and options.ini and\r\n"
         "  Tamrisk.log beside the program; backups are kept.\r\n"
         "  The installer runs it.\r\n"
         "Tamrisk.exe /?  (also -? and -help)\r\n"
         "  This text.\r\n"
         "\r\n"
         "Exit codes of -cleanonce and -report:\r\n"
         "  0  done\r\n"
         "  1  an error: nothing, or not all, was done\r\n"
         "  2  done, but a category's scan was incomplete\r\n"
         "  3  -cleanonce repaired, but kept the emptied\r\n"
         "     program keys: their backup was not written\r\n"
         "Tamrisk.log says why. -setschedule and -uninstall\r\n"
         "give 0 when done and 1 on an error.\r\n"
         "\r\n"
         "options.ini, Tamrisk.log and the Backup folder are\r\n"
         "beside Tamrisk.exe when that folder is writable,\r\n"
         "otherwise in %LOCALAPPDATA%\\Tamrisk.\r\n";
}

bool WriteToStartingConsole(const std::string& text) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const DWORD type = (out && out != INVALID_HANDLE_VALUE) ? ::GetFileType(out) : FILE_TYPE_UNKNOWN;
  if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return WriteAll(out, text);
  if (WriteToParentConsole(text)) return true;
  // A terminal handed over without a console (Wine started from a Unix shell).
  return type == FILE_TYPE_CHAR && WriteAll(out, text);
}

std::optional<int> RunConsoleSwitch(const std::vector<std::string>& arguments, Prompt& prompt) {
  if (arguments.empty()) return std::nullopt;
  const std::string& first = arguments.front();
  if (IsHelpSwitch(first)) {
    if (!WriteToStartingConsole(UsageText())) {
      prompt.Message(nullptr, UsageText(), kMessageCaption, MB_OK | MB_ICONINFORMATION);
    }
    return 0;
  }
  if (EqualsNoCase(first, "-setschedule") || EqualsNoCase(first, "-uninstall")) return RunInstallerSwitch(arguments);
  return std::nullopt;
}

}  // namespace tamrisk
