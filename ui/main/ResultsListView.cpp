#include "ui/main/ResultsListView.h"

#include <algorithm>

#include "ui/common/WindowBase.h"
#include "ui/common/WindowText.h"

namespace tamrisk {
namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

const std::string& CellText(const ProblemRow& row, int column) {
  switch (column) {
    case ResultsListView::colRegistryKey: return row.registryKey;
    case ResultsListView::colValue: return row.value;
    default: return row.problem;
  }
}

}  // namespace

void ResultsListView::Attach(HWND list, Prompt& prompt, std::function<void()> checkClicked) {
  list_ = list;
  prompt_ = &prompt;
  checkClicked_ = std::move(checkClicked);
  SetUpReportList(list_, {{"Problem", 120}, {"Registry key", 300}, {"Value", 150}}, true);
  // The control asks for the check box image of each row it draws.
  ::SendMessageW(list_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
  ::SetWindowSubclass(list_, ListProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

// The check boxes are toggled here, not by the control: an owner-data list leaves that to its
// owner, and implementations differ in what they do themselves.
// No exception may cross the procedure: an error is shown over the list's parent, and the message
// counts as handled.
LRESULT CALLBACK ResultsListView::ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR data) {
  auto* self = reinterpret_cast<ResultsListView*>(data);
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(list, ListProcedure, 0);
  bool handled = true;
  ShowingErrors(*self->prompt_, ::GetParent(list),
                [&] { handled = self->HandleListMessage(message, wParam, lParam); });
  return handled ? 0 : ::DefSubclassProc(list, message, wParam, lParam);
}

bool ResultsListView::HandleListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const int row = CheckBoxAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (row < 0) return false;
      Toggle(static_cast<std::size_t>(row));
      if (checkClicked_) checkClicked_();
      return true;
    }
    case WM_KEYDOWN:
      if (wParam != VK_SPACE) return false;
      // The space bar toggles the selected row's check box; the counts wait for the next click.
      if (const int row = SelectedIndex(); row >= 0) Toggle(static_cast<std::size_t>(row));
      return true;
    case WM_CHAR:
      return wParam == ' ';
    default:
      return false;
  }
}

int ResultsListView::CheckBoxAt(POINT point) const {
  LVHITTESTINFO hit{};
  hit.pt = point;
  const auto row = static_cast<int>(::SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return -1;
  return (hit.flags & LVHT_ONITEMSTATEICON) ? row : -1;
}

void ResultsListView::FillDisplayInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.size()) return;
  const ProblemRow& row = rows_[static_cast<std::size_t>(item.iItem)];
  if (item.mask & LVIF_TEXT) CopyToBuffer(CellText(row, item.iSubItem), item.pszText, item.cchTextMax);
  if (item.mask & LVIF_STATE) {
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (row.checked ? kChecked : kUnchecked);
    item.stateMask |= LVIS_STATEIMAGEMASK;
  }
}

void ResultsListView::RemoveRow(std::size_t index) {
  if (index >= rows_.size()) return;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  // The control moves the selection of the rows below up by one.
  ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void ResultsListView::AppendRows(const std::vector<ProblemRow>& rows) {
  if (rows.empty()) return;
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  // Only the new rows need drawing, if they are in view at all.
  ::SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void ResultsListView::Clear() {
  rows_.clear();
  ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
}

void ResultsListView::RedrawRow(std::size_t index) const {
  ::SendMessageW(list_, LVM_REDRAWITEMS, index, index);
}

void ResultsListView::Toggle(std::size_t index) { SetChecked(index, !rows_.at(index).checked); }

void ResultsListView::SetChecked(std::size_t index, bool checked) {
  rows_.at(index).checked = checked;
  RedrawRow(index);
}

void ResultsListView::SetAllChecked(bool checked) {
  for (ProblemRow& row : rows_) row.checked = checked;
  ::InvalidateRect(list_, nullptr, FALSE);
}

std::size_t ResultsListView::CheckedCount() const {
  return static_cast<std::size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const ProblemRow& row) { return row.checked; }));
}

int ResultsListView::SelectedIndex() const { return SelectedListItem(list_); }

void ResultsListView::Select(int index) {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  if (index < 0) return;
  LVITEMW item{};
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int ResultsListView::ColumnWidth(Column column) const {
  return static_cast<int>(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ResultsListView::SetColumnWidth(Column column, int width) {
  ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void ResultsListView::FitColumnsToText() {
  for (Column column : {colProblem, colRegistryKey, colValue}) SetColumnWidth(column, LVSCW_AUTOSIZE);
}

}  // namespace tamrisk
