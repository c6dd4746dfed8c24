// Move-only owners for the window layer's handles, in the style of platform/win32/Handles.h.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "platform/win32/Handles.h"

namespace tamrisk {

struct MenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Close(HMENU menu) { ::DestroyMenu(menu); }
};
// A menu loaded for one use (a pop-up), or one not yet handed to a window.
using UniqueMenu = win32::UniqueResource<HMENU, MenuTraits>;

struct ImageListTraits {
  static HIMAGELIST Invalid() { return nullptr; }
  static void Close(HIMAGELIST images) { ::ImageList_Destroy(images); }
};
using UniqueImageList = win32::UniqueResource<HIMAGELIST, ImageListTraits>;

// Memory the system allocated with LocalAlloc for the caller to free.
using win32::UniqueLocalMemory;

// A window's device context, released on every way out.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects a GDI object into a device context and puts the one it replaced back on every way out.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  SelectedObject(SelectedObject&& other) noexcept
      : dc_(other.dc_), previous_(std::exchange(other.previous_, nullptr)) {}
  SelectedObject& operator=(SelectedObject&&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace tamrisk
