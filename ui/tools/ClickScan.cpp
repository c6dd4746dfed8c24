// Drives a running Tamrisk for scripts/screenshot: waits for the main window, clicks
// "Scan registry issue" by posting the button's command, waits until the "Scanning" window has come
// and gone, selects the first row (so the line under the list shows its reason), then prints the main window's
// bounds as "left top width height". With "close" it then closes the window as a user would and waits
// until it is gone.
// Usage: ClickScan.exe [timeout-seconds] [close]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/res/resource.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"Varkon Tamrisk Made by Varkon Software";

template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(50);
  }
  return true;
}

HWND ScanningWindow() { return ::FindWindowW(reinterpret_cast<LPCWSTR>(32770), L"Scanning"); }

}  // namespace

int main(int argc, char** argv) {
  // The bounds it prints are the screen's pixels, whatever the DPI.
  ::SetProcessDPIAware();
  const DWORD timeoutMs = (argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 300) * 1000u;
  HWND main = nullptr;
  if (!WaitFor([&] { return (main = ::FindWindowW(kMainWindowClass, nullptr)) && ::IsWindowVisible(main); }, 60000)) {
    std::fprintf(stderr, "ClickScan: the main window did not appear\n");
    return 1;
  }
  ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_SCANREGISTRY, BN_CLICKED), 0);
  // The scan window may come and go before a look catches it; the main window is disabled meanwhile.
  WaitFor([&] { return ScanningWindow() != nullptr || !::IsWindowEnabled(main); }, 10000);
  if (!WaitFor([&] { return ScanningWindow() == nullptr && ::IsWindowEnabled(main); }, timeoutMs)) {
    std::fprintf(stderr, "ClickScan: the scan did not end in time\n");
    return 1;
  }
  // A scan leaves its first row selected; should none be, Down selects it as a user's key would.
  const HWND list = ::GetDlgItem(main, IDC_REGISTRYDATA);
  if (::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) < 0) {
    ::SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageW(list, WM_KEYUP, VK_DOWN, 0);
  }
  ::Sleep(500);  // let the list repaint with its final column widths
  RECT frame{};
  ::GetWindowRect(main, &frame);
  std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
  if (argc > 2 && std::strcmp(argv[2], "close") == 0) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    if (!WaitFor([&] { return !::IsWindow(main); }, 60000)) {
      std::fprintf(stderr, "ClickScan: the main window did not close\n");
      return 1;
    }
  }
  return 0;
}
