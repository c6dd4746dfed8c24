// What the main window shows after a splitter drag, a resize and a column's width changed by its
// header: the list's and the reason line's pixels as they are on the window, against the same
// controls painted afresh. A control that keeps pixels it did not paint again (a scroll bar's copy, a
// key shortened for an older width) shows a difference.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/Reasons.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// The control's client area as it is now on its window's surface.
std::vector<std::uint32_t> Capture(HWND control) {
  RECT client{};
  ::GetClientRect(control, &client);
  const int width = client.right, height = client.bottom;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (pixels.empty()) return pixels;
  HDC window = ::GetDC(control);
  HDC memory = ::CreateCompatibleDC(window);
  HBITMAP bitmap = ::CreateCompatibleBitmap(window, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(control, window);
  return pixels;
}

// Paints whatever the window left to paint, as its message loop would.
void LetItPaint(HWND window) {
  PumpMessages();
  ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::size_t Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return a.size() + b.size();
  std::size_t count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) count += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
  return count;
}

// The control's pixels equal a fresh paint of it.
void ExpectPaintedAfresh(HWND control, const char* what) {
  const std::vector<std::uint32_t> shown = Capture(control);
  ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(Differences(shown, Capture(control)), 0u) << what;
}

RECT PlaceOf(HWND child) {
  RECT box{};
  ::GetWindowRect(child, &box);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

void Drag(HWND window, POINT from, POINT to) {
  ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  for (int step = 1; step <= 4; ++step) {
    const POINT at{from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4};
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    LetItPaint(::GetAncestor(window, GA_ROOT));
  }
  ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

TEST(MainWindowPaint, EveryChildRepaintsWhatASplitterDragAResizeOrAColumnUncovers) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    MainWindowAtDpi at(dpi);
    auto& form = at.form;
    std::vector<ProblemRow> rows;
    for (int i = 0; i < 60; ++i) {
      const std::string n = std::to_string(i);
      rows.push_back(ProblemRow{true, ProblemId::MissingStartupPrograms,
                                "HKEY_LOCAL_MACHINE\\Software\\Vendor" + n + "\\Product\\Component\\Settings\\Run" + n,
                                "C:\\Program Files\\Vendor" + n + "\\app.exe", rkValueInColumn,
                                reason::FileNotFound("C:\\Program Files\\Vendor" + n + "\\app.exe")});
    }
    form->Results().AppendRows(rows);
    form->Results().Select(0);
    HWND list = form->Results().Handle();
    LetItPaint(form->Handle());
    ExpectPaintedAfresh(list, "as opened");

    const RECT tree = PlaceOf(form->Tree().Handle());
    const int y = (tree.top + tree.bottom) / 2;
    Drag(form->Handle(), POINT{tree.right + 2, y}, POINT{tree.right - Scaled(60, dpi), y});
    Drag(form->Handle(), POINT{tree.right + 2, y}, POINT{tree.right + Scaled(90, dpi), y});
    LetItPaint(form->Handle());
    ExpectPaintedAfresh(list, "after a splitter drag");
    ExpectPaintedAfresh(form->ReasonPane(), "the reason line after a splitter drag");

    RECT frame{};
    ::GetWindowRect(form->Handle(), &frame);
    ::MoveWindow(form->Handle(), frame.left, frame.top, frame.right - frame.left + Scaled(160, dpi),
                 frame.bottom - frame.top + Scaled(40, dpi), TRUE);
    LetItPaint(form->Handle());
    ExpectPaintedAfresh(list, "after the window grew");
    ::MoveWindow(form->Handle(), frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, TRUE);
    LetItPaint(form->Handle());
    ExpectPaintedAfresh(list, "after the window shrank");

    // The Problem column's divider dragged by its header: the key column gives up the width.
    HWND header = ListView_GetHeader(list);
    RECT problem{};
    ::SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&problem));
    const int middle = (problem.top + problem.bottom) / 2;
    Drag(header, POINT{problem.right - 1, middle}, POINT{problem.right + Scaled(50, dpi), middle});
    LetItPaint(form->Handle());
    ExpectPaintedAfresh(list, "after a column grew");
  }
}

}  // namespace
}  // namespace tamrisk::test
