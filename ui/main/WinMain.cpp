// Program entry: a "-report" or "-cleanonce" run works without any window; otherwise one instance
// per session, found by the main window's class name.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "unattended/CleanOnce.h"
#include "unattended/Report.h"
#include "unattended/SwitchArguments.h"
#include "settings/RegGlobal.h"
#include "settings/Schedule.h"
#include "ui/common/Language.h"
#include "ui/main/CommandLine.h"
#include "ui/main/ConsoleSwitches.h"
#include "ui/common/Prompt.h"
#include "ui/main/RegMain.h"
#include "ui/main/SafeStart.h"

namespace {

int RunMessageLoop(tamrisk::TfrmHivora& form) {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.Handle() && form.PreTranslateMessage(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

// "-report" and "-cleanonce" with arguments they cannot use: said on the console (as "/?" answers)
// and in the run log, before anything is scanned; exit code 1.
std::optional<int> RefuseWrongArguments(const std::vector<std::string>& arguments) {
  using namespace tamrisk;
  win32::Win32Platform system;
  const std::optional<std::string> error = UnattendedArgumentError(arguments, system.platform.files);
  if (!error) return std::nullopt;
  WriteToStartingConsole(*error + "\r\nTamrisk.exe /? lists the switches.\r\n");
  return RefuseUnattendedArguments(system.platform, arguments, *error);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  using namespace tamrisk;
  HardenProcessStart();  // before anything that may load a library
  const std::vector<std::string> arguments = ProgramArguments();
  {
    Win32Prompt prompt;
    if (const std::optional<int> exitCode = RunConsoleSwitch(arguments, prompt)) return *exitCode;
  }

  const bool scheduled = IsScheduledRun(arguments);
  if (const std::optional<int> refused = RefuseWrongArguments(arguments)) return *refused;
  if (!arguments.empty() && EqualsNoCase(arguments.front(), "-report")) {
    win32::Win32Platform system;
    // "-report -scheduled": the run names its file itself, in the backup folder.
    const bool named = arguments.size() > 1 && !EqualsNoCase(arguments[1], "-scheduled");
    return RunReport(system.platform, named ? arguments[1] : std::string(), scheduled);
  }

  const bool cleanOnce = !arguments.empty() && EqualsNoCase(arguments.front(), "-cleanonce");
  if (HWND running = ::FindWindowW(win32::Wide(kMainWindowClass).c_str(), nullptr)) {
    if (cleanOnce) {
      // An unattended run must not pass for done when it did nothing, nor raise a window.
      win32::Win32Platform system;
      return RefuseCleanOnce(system.platform, scheduled, "Tamrisk is already open; nothing was scanned or repaired.");
    }
    ::PostMessageW(running, WM_SHOWINSTANCE, 0, 0);
    ::SetForegroundWindow(running);
    return 0;
  }
  if (cleanOnce) {
    // Like -report, without any window: nothing of it can be seen, raised or clicked into.
    win32::ComApartment com;  // the shell's links and its recycle bin
    win32::Win32Platform system;
    return RunCleanOnce(system.platform, scheduled);
  }

  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  win32::ComApartment com;  // released on every way out of the run

  win32::Win32Platform system;
  SetUiLanguage(ChooseUiLanguage(StoredLanguage(system.platform), ::GetUserDefaultUILanguage()));
  Win32Prompt prompt;
  try {
    TfrmHivora form(system.platform, prompt);
    frmHivora = &form;
    form.Create(showCommand);
    const int exitCode = RunMessageLoop(form);
    frmHivora = nullptr;
    return exitCode;
  } catch (const std::exception&) {
    ShowCurrentError(prompt, nullptr);
    return 1;
  }
}
