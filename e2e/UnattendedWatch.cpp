// Watches a "-cleanonce" run as a user at the screen would see it, and plays that user:
//
//   UnattendedWatch TAMRISK_EXE
//
// starts "TAMRISK_EXE -cleanonce" and, every few milliseconds until it ends, lists every top-level
// window: none of that process may ever be visible, and none may be of the main window's class.
// While the run holds the repair lock it starts TAMRISK_EXE by hand, waits for its main window, and
// asks it to repair and to restore: each time a message box must say that an unattended run is
// repairing, while the run still works. Then it closes the window. Prints what it saw; exit code 0
// when all of it held, 1 otherwise.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "ui/main/CommandLine.h"
#include "ui/res/resource.h"

namespace {

using tamrisk::win32::UniqueHandle;
using tamrisk::win32::Utf8;
using tamrisk::win32::Wide;

constexpr wchar_t kMainWindowClass[] = L"Varkon Tamrisk Made by Varkon Software";
constexpr auto kTick = std::chrono::milliseconds(5);
constexpr auto kPatience = std::chrono::seconds(60);

struct Started {
  UniqueHandle process;
  DWORD id = 0;
};

Started Start(const std::wstring& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring line = commandLine;
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return {};
  }
  ::CloseHandle(info.hThread);
  return {UniqueHandle(info.hProcess), info.dwProcessId};
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return text;
}

// The top-level windows of a process.
std::vector<HWND> WindowsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND VisibleWindowOf(DWORD processId, const std::wstring& className) {
  for (HWND window : WindowsOf(processId)) {
    if (::IsWindowVisible(window) && ClassOf(window) == className) return window;
  }
  return nullptr;
}

bool Ended(const Started& process) { return ::WaitForSingleObject(process.process.get(), 0) == WAIT_OBJECT_0; }

class Watch {
 public:
  explicit Watch(std::wstring exe) : exe_(std::move(exe)) {}

  int Run() {
    run_ = Start(L"\"" + exe_ + L"\" -cleanonce");
    if (!run_.process) return Fail("the -cleanonce run could not be started");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    while (!Ended(run_)) {
      Look();
      if (!window_.process && tamrisk::win32::UnattendedRepairRunning()) PlayTheUser();
      if (std::chrono::steady_clock::now() > deadline) return Fail("the -cleanonce run did not end");
      std::this_thread::sleep_for(kTick);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(run_.process.get(), &code);
    std::printf("-cleanonce exit %lu, looked %ld times, window started by hand: %s\n", code, looks_,
                window_.process ? "yes" : "no");
    if (!window_.process) return Fail("the run ended before the window could be started by hand");
    CloseTheWindow();
    return failed_ ? 1 : 0;
  }

 private:
  int Fail(const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    failed_ = true;
    return 1;
  }

  // Every window of the unattended run, visible or of the main window's class, is a fault.
  void Look() {
    ++looks_;
    for (HWND window : WindowsOf(run_.id)) {
      const std::wstring className = ClassOf(window);
      if (::IsWindowVisible(window) || className == kMainWindowClass) {
        Fail("the unattended run has a window: class \"" + Utf8(className) + "\", caption \"" + Utf8(TextOf(window)) +
             "\"" + (::IsWindowVisible(window) ? ", visible" : ""));
      }
    }
  }

  // Waits for what, watching the run meanwhile; false after a minute.
  template <typename Condition>
  bool WaitFor(Condition what) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!what()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (!Ended(run_)) Look();
      std::this_thread::sleep_for(kTick);
    }
    return true;
  }

  void PlayTheUser() {
    window_ = Start(L"\"" + exe_ + L"\"");
    if (!window_.process) {
      Fail("the window could not be started by hand");
      return;
    }
    HWND main = nullptr;
    if (!WaitFor([&] { return (main = VisibleWindowOf(window_.id, kMainWindowClass)) != nullptr; })) {
      Fail("the window started by hand did not open");
      return;
    }
    std::printf("window opened: \"%s\"\n", Utf8(TextOf(main)).c_str());
    for (const int command : {IDC_REPAIRREGISTRY, IDC_RESTOREREGISTRY}) AskAndReadTheAnswer(main, command);
  }

  void AskAndReadTheAnswer(HWND main, int command) {
    ::PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(command), 0);
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = VisibleWindowOf(window_.id, L"#32770")) != nullptr; })) {
      Fail("the window said nothing when asked to " +
           std::string(command == IDC_REPAIRREGISTRY ? "repair" : "restore"));
      return;
    }
    const bool during = !Ended(run_) && tamrisk::win32::UnattendedRepairRunning();
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 1024);  // a message box's text
    const std::string said = Utf8(text);
    std::printf("asked to %s, it said: %s\n", command == IDC_REPAIRREGISTRY ? "repair" : "restore", said.c_str());
    if (said.rfind("An unattended run of Tamrisk (-cleanonce) is repairing the registry.", 0) != 0) {
      Fail("the message does not name the unattended run");
    }
    if (!during) Fail("the run had ended before the window answered: the test proves nothing (more rows)");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitFor([&] { return !::IsWindow(box); })) Fail("the message box did not close");
  }

  void CloseTheWindow() {
    HWND main = VisibleWindowOf(window_.id, kMainWindowClass);
    if (main) ::PostMessageW(main, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(window_.process.get(), 30000) != WAIT_OBJECT_0) {
      Fail("the window started by hand did not close");
      ::TerminateProcess(window_.process.get(), 1);
    }
  }

  std::wstring exe_;
  Started run_;
  Started window_;
  long looks_ = 0;
  bool failed_ = false;
};

}  // namespace

int main() {
  const std::vector<std::string> arguments = tamrisk::ProgramArguments();
  if (arguments.size() != 1) {
    std::fprintf(stderr, "usage: UnattendedWatch TAMRISK_EXE\n");
    return 2;
  }
  return Watch(Wide(arguments[0])).Run();
}
