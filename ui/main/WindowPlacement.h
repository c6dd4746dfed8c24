// Where the main window opens and what of its place the settings keep.
#pragma once

#include <windows.h>

#include <optional>

#include "settings/RegGlobal.h"

namespace tamrisk {

// Puts a top-level window at the stored bounds, or centres it at its size when there are none. Bounds
// wholly off every monitor centre it on the primary monitor at their size.
void PlaceWindow(HWND window, const std::optional<WindowBounds>& bounds);

// The show command and the bounds a window returns to; a minimised window's are those it had.
WindowSnapshot SnapshotOf(HWND window);

// Bounds in pixels at one DPI as pixels at another. The settings keep the window's place and size at
// 96 DPI, as they keep the splitter and the columns, so a window saved at one scale opens at another
// as large on the screen, with room for all it holds.
WindowBounds ScaledBounds(const WindowBounds& bounds, int fromDpi, int toDpi);

}  // namespace tamrisk
