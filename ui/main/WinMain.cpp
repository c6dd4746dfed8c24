// Program entry: a "-report" run writes its file without any window; otherwise one instance per
// session, found by the main window's class name.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "repair/Report.h"
#include "ui/main/CommandLine.h"
#include "ui/main/Prompt.h"
#include "ui/main/RegMain.h"

namespace {

// Releases COM on every way out of the program's run.
struct ComApartment {
  const bool ready = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~ComApartment() {
    if (ready) ::CoUninitialize();
  }
};

int RunMessageLoop() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  using namespace tamrisk;
  const std::vector<std::string> arguments = ProgramArguments();

  if (!arguments.empty() && EqualsNoCase(arguments.front(), "-report")) {
    win32::Win32Platform system;
    return RunReport(system.platform, arguments.size() > 1 ? arguments[1] : std::string());
  }

  if (HWND running = ::FindWindowW(win32::Wide(kMainWindowClass).c_str(), nullptr)) {
    ::PostMessageW(running, WM_SHOWINSTANCE, 0, 0);
    ::SetForegroundWindow(running);
    return 0;
  }

  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  ComApartment com;

  win32::Win32Platform system;
  Win32Prompt prompt;
  MainWindowStart start;
  start.arguments = arguments;
  try {
    TfrmHivora form(system.platform, prompt, start);
    frmHivora = &form;
    form.Create(showCommand);
    const int exitCode = RunMessageLoop();
    frmHivora = nullptr;
    return exitCode;
  } catch (const std::exception& error) {
    ShowStandardError(prompt, nullptr, error.what());
    return 1;
  }
}
