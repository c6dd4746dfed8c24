// The program's sizes and places are designed in pixels at 96 DPI; every window scales them by its
// DPI, so that at 96 DPI nothing changes and at 144 DPI everything is half as large again.
#pragma once

#include <windows.h>

namespace tamrisk {

inline constexpr int kDesignDpi = 96;

// The DPI the window is drawn at: GetDpiForWindow where the system has it, else the screen's
// LOGPIXELSY (the program is DPI-aware, so that is the system's DPI). A null window asks the screen.
int DpiOf(HWND window);

// The DPI the system's metrics (fonts, sizes) are given at; DpiOverride stands in for it too.
int SystemDpi();

// A designed size or place scaled to dpi.
inline int Scaled(int value, int dpi) { return ::MulDiv(value, dpi, kDesignDpi); }

// While it lives, DpiOf answers dpi for every window of the process. For in-process tests: the
// system's DPI is one setting per Wine prefix, shared by the tests that run beside them.
class DpiOverride {
 public:
  explicit DpiOverride(int dpi);
  ~DpiOverride();
  DpiOverride(const DpiOverride&) = delete;
  DpiOverride& operator=(const DpiOverride&) = delete;

 private:
  int previous_;
};

}  // namespace tamrisk
