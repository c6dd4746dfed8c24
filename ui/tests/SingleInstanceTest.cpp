// A second start of the program signals the running one, which comes forward, and ends without a
// window of its own. Both run as real processes, on a desktop of the test's own, so no other test's
// program can answer for them, and from a copy of the program, so their options.ini is their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "testkit/WinFixture.h"
#include "ui/main/RegMain.h"

namespace tamrisk::test {
namespace {

struct DesktopCloser {
  static HDESK Invalid() { return nullptr; }
  static void Close(HDESK desktop) { ::CloseDesktop(desktop); }
};
using UniqueDesktop = win32::UniqueResource<HDESK, DesktopCloser>;

struct Started {
  win32::UniqueHandle process;
  win32::UniqueHandle thread;
};

Started StartOnDesktop(const std::string& commandLine, const std::string& desktop) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string desktopName = desktop;
  startup.lpDesktop = desktopName.data();
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return {};
  }
  return {win32::UniqueHandle(info.hProcess), win32::UniqueHandle(info.hThread)};
}

std::vector<HWND> MainWindowsOn(HDESK desktop) {
  std::vector<HWND> found;
  ::EnumDesktopWindows(
      desktop,
      [](HWND window, LPARAM data) -> BOOL {
        char name[128] = {};
        ::GetClassNameA(window, name, sizeof name);
        if (std::string(name) == kMainWindowClass) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

template <typename Done>
bool WaitFor(Done done, std::chrono::seconds timeout = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

DWORD ExitCodeAfterEnd(HANDLE process, DWORD timeoutMs = 30000) {
  if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process, 99);
    return 99;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  return code;
}

TEST(SingleInstance, SecondStartRaisesTheFirstAndEnds) {
  const char* program = std::getenv("TAMRISK_EXE");
  ASSERT_NE(program, nullptr) << "TAMRISK_EXE names the program under test";
  const std::string folder = FreshFolder(UniqueName("single"));
  const std::string copy = folder + "\\Tamrisk.exe";
  ASSERT_TRUE(::CopyFileA(program, copy.c_str(), FALSE));

  const std::string desktopName = UniqueName("desk");
  UniqueDesktop desktop(::CreateDesktopA(desktopName.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
  ASSERT_TRUE(desktop);

  Started first = StartOnDesktop("\"" + copy + "\"", desktopName);
  ASSERT_TRUE(first.process);
  HWND running = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    const std::vector<HWND> windows = MainWindowsOn(desktop.get());
    running = windows.empty() ? nullptr : windows.front();
    return running && ::IsWindowVisible(running);
  }));
  ::ShowWindow(running, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return ::IsIconic(running) != FALSE; }));

  Started second = StartOnDesktop("\"" + copy + "\"", desktopName);
  ASSERT_TRUE(second.process);
  EXPECT_EQ(ExitCodeAfterEnd(second.process.get()), 0u);
  EXPECT_TRUE(WaitFor([&] { return !::IsIconic(running) && ::IsWindowVisible(running); }, std::chrono::seconds(10)))
      << "the running window was not restored";
  EXPECT_EQ(MainWindowsOn(desktop.get()).size(), 1u);
  EXPECT_EQ(::WaitForSingleObject(first.process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  ::PostMessageA(running, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCodeAfterEnd(first.process.get()), 0u);
  RemoveFolder(folder);
}

}  // namespace
}  // namespace tamrisk::test
