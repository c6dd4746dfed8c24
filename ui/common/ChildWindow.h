// Child windows made and placed in code, for the windows that have no dialog template.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/common/UiHandles.h"

namespace tamrisk {

// A visible child control with its text and font. Throws when it cannot be made.
HWND MakeChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int id, HFONT font,
               DWORD exStyle = 0);

// Moves and sizes a child and has it paint itself whole; a negative size counts as 0.
void Place(HWND control, int left, int top, int width, int height);

// A designed place in pixels at 96 DPI.
struct DesignedPlace {
  int left, top, width, height;
};
// Places a child at a designed place scaled to dpi.
void PlaceScaled(HWND control, const DesignedPlace& place, int dpi);

// The check box images of the tree and the results list: unticked, then ticked. A tree counts its
// state images from 1 and a list view from 0, so the tree's set starts with an empty image.
enum class CheckImagesFor { tree, list };
UniqueImageList LoadCheckBoxImages(HINSTANCE resources, CheckImagesFor control);

}  // namespace tamrisk
