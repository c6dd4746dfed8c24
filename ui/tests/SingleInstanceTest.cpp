// A second start of the program signals the running one, which comes forward, and ends without a
// window of its own; a "-cleanonce" start meanwhile does nothing and says so in its log. Both run as real processes, on
// a desktop of the test's own, so no other test's program can answer for them, and from a copy of the program, so their
// options.ini is their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "testkit/WinFixture.h"
#include "ui/main/RegMain.h"

namespace tamrisk::test {
namespace {

struct DesktopCloser {
  static HDESK Invalid() { return nullptr; }
  static void Close(HDESK desktop) { ::CloseDesktop(desktop); }
};
using UniqueDesktop = win32::UniqueResource<HDESK, DesktopCloser>;

// A started program, ended on every way out of the test if it is still running.
struct Started {
  win32::UniqueHandle process;
  win32::UniqueHandle thread;
  Started() = default;
  Started(Started&&) = default;
  Started& operator=(Started&&) = default;
  ~Started() {
    if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 99);
  }
};

Started StartOnDesktop(const std::string& commandLine, const std::string& desktop) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string desktopName = desktop;
  startup.lpDesktop = desktopName.data();
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  Started started;
  if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
  }
  return started;
}

// The program's main windows on the calling thread's desktop.
std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  const std::wstring className = win32::Wide(kMainWindowClass);
  for (HWND window = ::FindWindowExW(nullptr, nullptr, className.c_str(), nullptr); window;
       window = ::FindWindowExW(nullptr, window, className.c_str(), nullptr)) {
    found.push_back(window);
  }
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

// What the test saw from a thread on the test's desktop: a window's state can only be read there.
struct Observed {
  bool firstShown = false;
  bool firstMinimised = false;
  DWORD secondExit = 99;
  DWORD cleanOnceExit = 99;
  bool firstRestored = false;
  std::size_t mainWindows = 0;
  bool firstStillRunning = false;
  DWORD firstExit = 99;
};

Observed StartTwice(const std::string& program, HDESK desktop, const std::string& desktopName) {
  Observed seen;
  if (!::SetThreadDesktop(desktop)) return seen;
  Started first = StartOnDesktop("\"" + program + "\"", desktopName);
  HWND running = nullptr;
  seen.firstShown = first.process && WaitFor([&] {
                      const std::vector<HWND> windows = MainWindows();
                      running = windows.empty() ? nullptr : windows.front();
                      return running && ::IsWindowVisible(running);
                    });
  if (!seen.firstShown) return seen;
  ::ShowWindow(running, SW_MINIMIZE);
  seen.firstMinimised = WaitFor([&] { return ::IsIconic(running) != FALSE; });

  Started second = StartOnDesktop("\"" + program + "\"", desktopName);
  if (second.process) seen.secondExit = ExitCodeAfterEnd(second.process.get());
  Started cleanOnce = StartOnDesktop("\"" + program + "\" -cleanonce", desktopName);
  if (cleanOnce.process) seen.cleanOnceExit = ExitCodeAfterEnd(cleanOnce.process.get());
  seen.firstRestored =
      WaitFor([&] { return !::IsIconic(running) && ::IsWindowVisible(running); }, std::chrono::seconds(10));
  seen.mainWindows = MainWindows().size();
  seen.firstStillRunning = ::WaitForSingleObject(first.process.get(), 0) == WAIT_TIMEOUT;

  ::PostMessageW(running, WM_CLOSE, 0, 0);
  seen.firstExit = ExitCodeAfterEnd(first.process.get());
  return seen;
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

  Observed seen;
  std::thread([&] { seen = StartTwice(copy, desktop.get(), desktopName); }).join();
  ASSERT_TRUE(seen.firstShown) << "the first start showed no window";
  EXPECT_TRUE(seen.firstMinimised);
  EXPECT_EQ(seen.secondExit, 0u) << "the second start did not end at once";
  EXPECT_EQ(seen.cleanOnceExit, 1u);
  EXPECT_NE(ReadTextFile(folder + "\\Tamrisk.log").find("exit 1  error: Tamrisk is already open; nothing was scanned"),
            std::string::npos);
  EXPECT_TRUE(seen.firstRestored) << "the running window was not restored";
  EXPECT_EQ(seen.mainWindows, 1u) << "the second start made a window of its own";
  EXPECT_TRUE(seen.firstStillRunning);
  EXPECT_EQ(seen.firstExit, 0u);
  RemoveFolder(folder);
}

}  // namespace
}  // namespace tamrisk::test
