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

}  // namespace tamrisk
