// The main window's status bar: the counts, what the last repair or undo did, and what the last scan
// left out, in the window's language.
#include "ui/main/RegMain.h"

#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "scan/Categories.h"
#include "ui/common/Dpi.h"
#include "ui/common/Language.h"
#include "ui/common/UiHandles.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

// Beside the text of the first status panel: its borders and the gap before the second.
constexpr int kStatusPanelMargin = 20;

std::string ShownCategoryName(CategoryCode code) {
  return ShownEngineText(IDS_CATEGORY_FIRST + static_cast<UINT>(NumberOf(code)), CategoryName(code));
}

std::string ShownCategoryNames(const std::vector<CategoryCode>& codes) {
  const std::string separator = UiText(IDS_LIST_SEPARATOR);
  std::string names;
  for (const CategoryCode code : codes) names += (names.empty() ? "" : separator) + ShownCategoryName(code);
  return names;
}

void AppendNotice(std::string& text, const std::string& notice, const char* separator) {
  if (!notice.empty()) text.append(text.empty() ? "" : separator).append(notice);
}

}  // namespace

// The last scan's counts are gone with its rows; until the new ones are in, the bar says why.
void TfrmHivora::ShowScanRunning() {
  const std::string running = UiText(IDS_SCAN_RUNNING);
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(running).c_str()));
  FitFirstStatusPanel(running);
  statusCounts_.clear();
  ShowSelectedReason();
}

void TfrmHivora::UpdateCounts() {
  const std::string found = UiFormat(IDS_PROBLEMS_FOUND_STATUS, {std::to_string(results_.RowCount())});
  const std::string selected = UiFormat(IDS_PROBLEMS_SELECTED, {std::to_string(results_.CheckedCount())});
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(found).c_str()));
  FitFirstStatusPanel(found);
  // What the last repair or undo did comes first, where the designed width does not cut it; a scan
  // that could not finish every category must not pass for a complete one.
  statusCounts_ = actionNotice_.empty() ? selected : " " + actionNotice_ + "   " + selected;
  AppendNotice(statusCounts_, ScanNotice(), "    ");
  ShowSelectedReason();
  tree_.ShowCounts(results_.Rows());
  // Rows may have brought the list's vertical scroll bar.
  FitKeyColumn();
}

void TfrmHivora::lvRegistryDataClick() { UpdateCounts(); }

// The first panel as wide as its count, so the second has the room for what a repair, a restore or a
// stopped scan did.
void TfrmHivora::FitFirstStatusPanel(const std::string& text) {
  const WindowDc dc(statusBar_);
  if (!dc.get()) return;
  const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
  const std::wstring wide = win32::Wide(text);
  SIZE extent{};
  if (!::GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &extent)) return;
  const int edges[] = {extent.cx + Scaled(kStatusPanelMargin, dpi_), -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

// Short, for the status bar: where a stop came, not every category it left out.
std::string TfrmHivora::ScanNotice() const {
  std::string notice;
  if (const std::optional<ScanOutcome::Stop>& stop = outcome_.stop) {
    if (stop->stoppedIn) {
      notice = UiFormat(IDS_SCAN_STOPPED_IN, {ShownCategoryName(*stop->stoppedIn)});
    } else if (stop->notReached.empty()) {
      notice = UiText(IDS_SCAN_STOPPED);
    } else {
      notice = UiFormat(IDS_SCAN_STOPPED_BEFORE, {ShownCategoryName(stop->notReached.front())});
    }
  }
  if (!outcome_.incomplete.empty()) {
    AppendNotice(notice, UiFormat(IDS_SCAN_INCOMPLETE, {ShownCategoryNames(outcome_.incomplete)}), "    ");
  }
  return notice;
}

}  // namespace tamrisk
