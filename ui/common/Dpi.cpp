#include "ui/common/Dpi.h"

namespace tamrisk {
namespace {

int& OverriddenDpi() {
  static int dpi = 0;
  return dpi;
}

using DpiForWindow = UINT(WINAPI*)(HWND);

// Windows 10 1607 and later, and recent Wine; looked up so the program still starts without it.
DpiForWindow DpiForWindowFunction() {
  static const DpiForWindow function = [] {
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    return reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(found));
  }();
  return function;
}

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int DpiOf(HWND window) {
  if (OverriddenDpi() > 0) return OverriddenDpi();
  if (window && DpiForWindowFunction()) {
    if (const UINT dpi = DpiForWindowFunction()(window); dpi > 0) return static_cast<int>(dpi);
  }
  return ScreenDpi();
}

int SystemDpi() { return OverriddenDpi() > 0 ? OverriddenDpi() : ScreenDpi(); }

DpiOverride::DpiOverride(int dpi) : previous_(OverriddenDpi()) { OverriddenDpi() = dpi; }

DpiOverride::~DpiOverride() { OverriddenDpi() = previous_; }

}  // namespace tamrisk
