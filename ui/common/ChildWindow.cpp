#include "ui/common/ChildWindow.h"

#include <stdexcept>

#include "platform/win32/Wide.h"
#include "ui/common/Dpi.h"
#include "ui/res/resource.h"

namespace tamrisk {

HWND MakeChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int id, HFONT font,
               DWORD exStyle) {
  HWND child = ::CreateWindowExW(exStyle, className, win32::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (!child) throw std::runtime_error("Cannot create the control " + win32::Utf8(className));
  if (font) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

// The whole control is painted again: the pixels the system would copy along were not all its own (a
// neighbour's scroll bar), and controls that fit their text to their width (an ellipsis, a shortened
// key) draw it anew only where they are told to.
void Place(HWND control, int left, int top, int width, int height) {
  ::SetWindowPos(control, nullptr, left, top, width > 0 ? width : 0, height > 0 ? height : 0,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

void PlaceScaled(HWND control, const DesignedPlace& place, int dpi) {
  Place(control, Scaled(place.left, dpi), Scaled(place.top, dpi), Scaled(place.width, dpi), Scaled(place.height, dpi));
}

UniqueImageList LoadCheckBoxImages(HINSTANCE resources, CheckImagesFor control) {
  UniqueImageList images(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 0));
  const win32::UniqueGdiObject bitmap(
      ::LoadImageW(resources, MAKEINTRESOURCEW(IDB_STATEIMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap) ::ImageList_AddMasked(images.get(), static_cast<HBITMAP>(bitmap.get()), RGB(255, 0, 255));
  if (control == CheckImagesFor::list) ::ImageList_Remove(images.get(), 0);
  return images;
}

}  // namespace tamrisk
