// The main window's layout: the task links, the splitter between the tree and the list, the
// columns' stored widths, and everything sized again when the window's DPI changes.
#include "ui/main/RegMain.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "ui/common/ChildWindow.h"
#include "ui/common/Dpi.h"

namespace tamrisk {
namespace {

// The places of the controls whose left and top stay put (pixels at 96 DPI, scaled by the window's
// DPI).
constexpr int kTreeLeft = 6, kTreeTop = 192;
constexpr int kListTop = 48;
// The splitter between the tree and the list; the tree is never narrower than designed (the task
// links above it would be cut) and leaves the list at least its minimum.
constexpr int kSplitterWidth = 5;
constexpr int kMinListWidth = 300;
constexpr int kReasonPaneHeight = 20;
constexpr int kMinKeyColumnWidth = 60;
// Column widths from a hand-edited file are kept within these.
constexpr int kMinColumnWidth = 20, kMaxColumnWidth = 2000;

}  // namespace

void TfrmHivora::PlaceTaskControls() {
  PlaceScaled(tasksLabel_, {8, 58, 180, 16}, dpi_);
  PlaceScaled(scanButton_, {14, 80, 175, 20}, dpi_);
  PlaceScaled(repairButton_, {14, 102, 175, 20}, dpi_);
  PlaceScaled(restoreButton_, {14, 124, 175, 20}, dpi_);
  PlaceScaled(sectionsLabel_, {8, 172, 183, 16}, dpi_);
}

void TfrmHivora::ApplyPaneLayout(const PaneLayout& layout) {
  treeWidth_ = layout.treeWidth;
  const std::pair<ResultsListView::Column, int> widths[] = {{ResultsListView::colProblem, layout.problemWidth},
                                                            {ResultsListView::colValue, layout.valueWidth},
                                                            {ResultsListView::colProgram, layout.programWidth}};
  for (const auto& [column, width] : widths) {
    results_.SetColumnWidth(column, Scaled(std::clamp(width, kMinColumnWidth, kMaxColumnWidth), dpi_));
  }
  results_.ShowByProgram(layout.byProgram);
}

// Moved to a monitor of another scale, or the scale changed: everything designed is sized again for the
// new DPI, in the place the system suggests, with the splitter and columns as wide as they were.
void TfrmHivora::ChangeDpi(int dpi, const RECT& suggested) {
  const PaneLayout layout = CurrentLayout();
  dpi_ = dpi;
  MainFonts fonts;
  fonts.Create(dpi_);
  const HFONT normal = MainFonts::Of(fonts.normal), bold = MainFonts::Of(fonts.bold);
  for (HWND control : {tree_.Handle(), results_.Handle(), reasonPane_, statusBar_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(normal), TRUE);
  }
  for (HWND label : {tasksLabel_, sectionsLabel_})
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
  for (HWND link : {scanButton_, repairButton_, restoreButton_}) {
    ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(MainFonts::Of(fonts.link)), TRUE);
  }
  banner_.Layout(fonts, dpi_);
  fonts_ = std::move(fonts);  // the old fonts go once nothing draws with them
  PlaceTaskControls();
  ::SendMessageW(tree_.Handle(), TVM_SETINDENT, static_cast<WPARAM>(Scaled(12, dpi_)), 0);
  ApplyPaneLayout(layout);
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutControls();
  UpdateCounts();
}

void TfrmHivora::FormResize() { LayoutControls(); }

void TfrmHivora::LayoutControls() {
  if (!statusBar_) return;
  RECT client{};
  ::GetClientRect(Handle(), &client);
  RECT status{};
  ::GetWindowRect(statusBar_, &status);
  const int statusHeight = status.bottom - status.top;
  const auto scaled = [this](int value) { return Scaled(value, dpi_); };
  const int widest = ::MulDiv(client.right, kDesignDpi, dpi_) - kTreeLeft - kSplitterWidth - kMinListWidth;
  treeWidth_ = std::max(PaneLayout{}.treeWidth, std::min(treeWidth_, widest));
  const int treeRight = scaled(kTreeLeft + treeWidth_);
  const int listLeft = scaled(kTreeLeft + treeWidth_ + kSplitterWidth);
  const int listBottom = client.bottom - statusHeight - scaled(kReasonPaneHeight);
  splitter_ = RECT{treeRight, scaled(kListTop), listLeft, client.bottom - statusHeight};
  Place(banner_.Handle(), 0, 0, client.right, scaled(kBannerHeight));
  Place(tree_.Handle(), scaled(kTreeLeft), scaled(kTreeTop), treeRight - scaled(kTreeLeft),
        client.bottom - scaled(kTreeTop) - statusHeight);
  Place(results_.Handle(), listLeft, scaled(kListTop), client.right - listLeft, listBottom - scaled(kListTop));
  Place(reasonPane_, listLeft + scaled(2), listBottom, client.right - listLeft - scaled(2), scaled(kReasonPaneHeight));
  Place(statusBar_, 0, client.bottom - statusHeight, client.right, statusHeight);
  results_.FitKeyColumn(scaled(kMinKeyColumnWidth));
  // The status bar moves its size grip, but leaves the grip's old dots over its text.
  ::InvalidateRect(statusBar_, nullptr, TRUE);
}

bool TfrmHivora::OnSplitter(POINT point) const { return ::PtInRect(&splitter_, point) != FALSE; }

bool TfrmHivora::HandleSplitter(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_SETCURSOR: {
      if (reinterpret_cast<HWND>(wParam) != Handle() || LOWORD(lParam) != HTCLIENT) return false;
      POINT cursor{};
      ::GetCursorPos(&cursor);
      ::ScreenToClient(Handle(), &cursor);
      if (!dragging_ && !OnSplitter(cursor)) return false;
      ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
      return true;
    }
    case WM_LBUTTONDOWN:
      if (!OnSplitter(point)) return false;
      dragging_ = true;
      ::SetCapture(Handle());
      return true;
    case WM_MOUSEMOVE:
      if (!dragging_) return false;
      // The middle of the splitter follows the mouse.
      treeWidth_ = ::MulDiv(point.x, kDesignDpi, dpi_) - kTreeLeft - kSplitterWidth / 2;
      LayoutControls();
      return true;
    case WM_LBUTTONUP:
      if (!dragging_) return false;
      ::ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED: dragging_ = false; return false;
    default: return false;
  }
}

PaneLayout TfrmHivora::CurrentLayout() const {
  const auto designed = [this](int width) { return ::MulDiv(width, kDesignDpi, dpi_); };
  return PaneLayout{treeWidth_, designed(results_.ColumnWidth(ResultsListView::colProblem)),
                    designed(results_.ColumnWidth(ResultsListView::colValue)),
                    designed(results_.ColumnWidth(ResultsListView::colProgram)), results_.ByProgram()};
}

void TfrmHivora::FitKeyColumn() { results_.FitKeyColumn(Scaled(kMinKeyColumnWidth, dpi_)); }

}  // namespace tamrisk
