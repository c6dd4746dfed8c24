#include "ui/main/WindowPlacement.h"

namespace tamrisk {

void PlaceWindow(HWND window, const std::optional<WindowBounds>& bounds) {
  if (!bounds) {
    // Kept at the designed size, centred, and maximized once shown.
    RECT frame{};
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  WindowBounds placed = *bounds;
  const RECT wanted{placed.left, placed.top, placed.left + placed.width, placed.top + placed.height};
  if (!::MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL)) {
    // Bounds wholly off every monitor (one since removed, or a minimised window's) would open the
    // window where nobody can reach it: centre it on the primary monitor instead, at its size.
    MONITORINFO primary{};
    primary.cbSize = sizeof primary;
    ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    const RECT& area = primary.rcMonitor;
    placed.left = area.left + (area.right - area.left - placed.width) / 2;
    placed.top = area.top + (area.bottom - area.top - placed.height) / 2;
  }
  ::SetWindowPos(window, nullptr, placed.left, placed.top, placed.width, placed.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowSnapshot SnapshotOf(HWND window) {
  WindowSnapshot snapshot;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  const bool placed = ::GetWindowPlacement(window, &placement) != 0;
  if (placed) snapshot.showCommand = static_cast<int>(placement.showCmd);
  RECT frame{};
  if (placed && ::IsIconic(window)) {
    // A minimised window's rectangle is its icon, far off screen; keep the bounds it returns to.
    // Those are in work-area coordinates.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    frame = placement.rcNormalPosition;
    ::OffsetRect(&frame, work.left, work.top);
  } else {
    ::GetWindowRect(window, &frame);
  }
  snapshot.bounds = {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top};
  return snapshot;
}

WindowBounds ScaledBounds(const WindowBounds& bounds, int fromDpi, int toDpi) {
  const auto scaled = [&](int value) { return ::MulDiv(value, toDpi, fromDpi); };
  return WindowBounds{scaled(bounds.left), scaled(bounds.top), scaled(bounds.width), scaled(bounds.height)};
}

}  // namespace tamrisk
