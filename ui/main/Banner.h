// The main window's banner, a blue band with the program's icon, title and hint, and the task list's
// buttons drawn as links, with the fonts both use.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/Handles.h"

namespace tamrisk {

// Designed at 96 DPI, scaled by the window's DPI.
inline constexpr int kBannerHeight = 50;

// The fonts of the main window: the system's message font, bold, the banner's title and the
// underlined links.
struct MainFonts {
  win32::UniqueGdiObject normal;
  win32::UniqueGdiObject bold;
  win32::UniqueGdiObject title;
  win32::UniqueGdiObject link;

  // The title's designed size is scaled to dpi, the message font from the system's DPI to dpi.
  void Create(int dpi);
  static HFONT Of(const win32::UniqueGdiObject& font) { return static_cast<HFONT>(font.get()); }
};

class Banner {
 public:
  // Registers the band's window class; a second window of the process finds it registered already.
  static void RegisterWindowClass(HINSTANCE instance);
  // Makes the band and its labels as children of parent.
  void Create(HWND parent, const MainFonts& fonts, int dpi);
  // Gives the labels these fonts and their places at dpi.
  void Layout(const MainFonts& fonts, int dpi);
  HWND Handle() const { return band_; }

 private:
  HWND band_ = nullptr;
  HWND title_ = nullptr;
  HWND titleHint_ = nullptr;
};

// An owner-drawn button that the main window draws as a link.
HWND MakeLinkButton(HWND parent, const std::string& caption, int id, const MainFonts& fonts);
// WM_DRAWITEM of a link button: its text underlined in the link colour, greyed when disabled.
void DrawLinkButton(const DRAWITEMSTRUCT& item, const MainFonts& fonts);

}  // namespace tamrisk
