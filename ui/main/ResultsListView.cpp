#include "ui/main/ResultsListView.h"

#include <algorithm>
#include <numeric>

#include "platform/win32/Wide.h"
#include "scan/ProblemNames.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/Dpi.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowBase.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

void SetRowState(HWND list, int index, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int NextRow(HWND list, int after, UINT flags) {
  return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), flags));
}

bool ControlKeyDown() { return ::GetKeyState(VK_CONTROL) < 0; }

// The room a column leaves its text: the control's margins on either side.
constexpr int kColumnTextMargin = 12;
// Beside a row's check box: the control's margin before it and the gap after it.
constexpr int kCheckBoxGaps = 8;
// The Value column's width when the Problem column is fitted to its names takes room from it.
constexpr int kLeastValueWidth = 100;

}  // namespace

std::string CompactKeyPath(const std::string& key, const std::function<bool(const std::string&)>& fits) {
  const std::size_t first = key.find('\\');
  const std::size_t last = key.rfind('\\');
  if (fits(key) || first == std::string::npos || first == last) return key;
  const std::string root = key.substr(0, first) + "\\...";
  std::string shown = root + key.substr(last);
  for (std::size_t cut = key.rfind('\\', last - 1); cut > first; cut = key.rfind('\\', cut - 1)) {
    std::string longer = root + key.substr(cut);
    if (!fits(longer)) break;
    shown = std::move(longer);
  }
  return shown;
}

void ResultsListView::Attach(HWND list, Prompt& prompt, std::function<void()> checksChanged) {
  list_ = list;
  prompt_ = &prompt;
  checksChanged_ = std::move(checksChanged);
  const std::string problem = UiText(IDS_COLUMN_PROBLEM), key = UiText(IDS_COLUMN_REGISTRY_KEY),
                    value = UiText(IDS_COLUMN_VALUE), program = UiText(IDS_COLUMN_PROGRAM);
  // The check boxes are state images of our own rather than the control's LVS_EX_CHECKBOXES: with
  // those, the control toggles a box itself on a press its hit test puts on it, and Wine's test puts
  // a press anywhere on a full-row-select row there (its LVHT_ABOVE is LVHT_ONITEMSTATEICON's bit).
  SetUpReportList(list_, {{problem.c_str(), 120}, {key.c_str(), 300}, {value.c_str(), 150}, {program.c_str(), 120}},
                  false);
  // The control destroys its image lists with itself.
  ::SendMessageW(
      list_, LVM_SETIMAGELIST, LVSIL_STATE,
      reinterpret_cast<LPARAM>(LoadCheckBoxImages(::GetModuleHandleW(nullptr), CheckImagesFor::list).release()));
  // Each row's reason shows as its tip.
  ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
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
  ShowingErrors(*self->prompt_, ::GetParent(list), [&] { handled = self->HandleListMessage(message, wParam, lParam); });
  return handled ? 0 : ::DefSubclassProc(list, message, wParam, lParam);
}

bool ResultsListView::HandleListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const int row = CheckBoxAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (row < 0) return false;
      ToggleLine(row);
      if (checksChanged_) checksChanged_();
      return true;
    }
    case WM_KEYDOWN: return HandleKey(wParam);
    case WM_CHAR:
      // The characters of the keys handled above (Ctrl+A gives 1), which would start a search.
      return wParam == ' ' || wParam == 1;
    default: return false;
  }
}

bool ResultsListView::HandleKey(WPARAM key) {
  switch (key) {
    case VK_SPACE:
      ToggleSelected();
      if (checksChanged_) checksChanged_();
      return true;
    case 'A':
      if (!ControlKeyDown()) return false;
      SelectAll();
      return true;
    case VK_RETURN: ::SendMessageW(::GetParent(list_), WM_COMMAND, MAKEWPARAM(IDM_OPENREGEDIT, 0), 0); return true;
    case VK_DELETE: return true;
    default: return false;
  }
}

int ResultsListView::CheckBoxAt(POINT point) const {
  LVHITTESTINFO hit{};
  hit.pt = point;
  const auto row = static_cast<int>(::SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || static_cast<std::size_t>(row) >= LineCount()) return -1;
  // LVHT_ONITEM holds the state icon's bit too: a press on a row's text or beside it answers that
  // (or, from Wine, LVHT_ONITEM | LVHT_ABOVE). Only the state icon's bit alone is the check box.
  return (hit.flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON ? row : -1;
}

bool ResultsListView::HandleNotify(NMHDR& header) {
  switch (header.code) {
    case LVN_GETDISPINFOW: FillDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header)); return true;
    case LVN_GETINFOTIPW: FillInfoTip(reinterpret_cast<NMLVGETINFOTIPW&>(header)); return true;
    case LVN_COLUMNCLICK: {
      const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
      if (column >= colProblem && column <= colProgram) SortBy(static_cast<Column>(column));
      return true;
    }
    default: return false;
  }
}

void ResultsListView::FillDisplayInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (const int group = GroupOfLine(item.iItem); group >= 0) {
    FillHeading(item, groups_[static_cast<std::size_t>(group)]);
    return;
  }
  const std::optional<std::size_t> index = RowOfLine(item.iItem);
  if (!index) return;
  const ProblemRow& row = rows_[*index];
  if (item.mask & LVIF_TEXT) {
    const std::string text = ColumnText(row, item.iSubItem, ShownWording());
    CopyToBuffer(item.iSubItem == colRegistryKey ? KeyAsShown(text) : text, item.pszText, item.cchTextMax);
  }
  if (item.mask & LVIF_STATE) {
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (row.checked ? kChecked : kUnchecked);
    item.stateMask |= LVIS_STATEIMAGEMASK;
  }
}

// The row's whole key, value and program, however its columns cut them, and why it is listed.
void ResultsListView::FillInfoTip(NMLVGETINFOTIPW& tip) const {
  const std::optional<std::size_t> index = RowOfLine(tip.iItem);
  if (!index || !tip.pszText) return;
  const ProblemRow& row = rows_[*index];
  std::string text = row.registryKey;
  for (const std::string& line : {row.value, ColumnText(row, colProgram, ShownWording()), ShownPhrase(row.reason)}) {
    if (!line.empty()) text.append("\r\n").append(line);
  }
  CopyToBuffer(text, tip.pszText, tip.cchTextMax);
}

void ResultsListView::SortBy(Column column) {
  sortDescending_ = sortColumn_ == column && !sortDescending_;
  sortColumn_ = column;
  // Problem names are shown in the window's language: sorted as the user reads them.
  const std::vector<std::size_t> order = SortedOrder(rows_, column, sortDescending_, ShownWording());
  ApplyOrder(byProgram_ ? GroupedOrder(order) : order);
  ShowSortArrow();
}

void ResultsListView::ApplyOrder(const std::vector<std::size_t>& order) {
  // Where each row moves to, so the selection can follow its rows.
  std::vector<std::size_t> movedTo(order.size());
  std::vector<ProblemRow> sorted;
  sorted.reserve(order.size());
  for (std::size_t place = 0; place < order.size(); ++place) {
    movedTo[order[place]] = place;
    sorted.push_back(std::move(rows_[order[place]]));
  }
  std::vector<std::size_t> selected = SelectedRows();
  const std::optional<std::size_t> focused = RowOfLine(NextRow(list_, -1, LVNI_FOCUSED));
  rows_ = std::move(sorted);
  BuildGroups();
  // Only a changed count: setting it clears the control's selection.
  if (static_cast<std::size_t>(ListItemCount(list_)) != LineCount())
    ::SendMessageW(list_, LVM_SETITEMCOUNT, LineCount(), LVSICF_NOSCROLL);
  for (std::size_t& index : selected) index = movedTo[index];
  Reselect(selected, focused && *focused < movedTo.size() ? static_cast<int>(movedTo[*focused]) : -1);
  ::InvalidateRect(list_, nullptr, FALSE);
}

std::vector<std::size_t> ResultsListView::GroupedOrder(std::vector<std::size_t> order) const {
  std::vector<std::string> programs;
  programs.reserve(order.size());
  for (const std::size_t index : order) programs.push_back(ColumnText(rows_[index], colProgram, ShownWording()));
  std::vector<std::size_t> grouped;
  grouped.reserve(order.size());
  for (const std::size_t place : SortedOrder(programs, false, true)) grouped.push_back(order[place]);
  return grouped;
}

void ResultsListView::BuildGroups() {
  groups_.clear();
  if (!byProgram_) return;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (i == 0 || rows_[i].program != rows_[i - 1].program) groups_.push_back(Group{i, 0});
    ++groups_.back().count;
  }
}

void ResultsListView::ShowByProgram(bool byProgram) {
  if (byProgram == byProgram_) return;
  byProgram_ = byProgram;
  ApplyOrder(byProgram_ ? GroupedOrder(IdentityOrder()) : IdentityOrder());
}

std::vector<std::size_t> ResultsListView::IdentityOrder() const {
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  return order;
}

int ResultsListView::LineOfRow(std::size_t row) const {
  const auto after = std::upper_bound(groups_.begin(), groups_.end(), row,
                                      [](std::size_t index, const Group& group) { return index < group.first; });
  return static_cast<int>(row + static_cast<std::size_t>(after - groups_.begin()));
}

std::optional<std::size_t> ResultsListView::RowOfLine(int line) const {
  if (line < 0 || static_cast<std::size_t>(line) >= LineCount()) return std::nullopt;
  const auto at = static_cast<std::size_t>(line);
  if (groups_.empty()) return at;
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    const std::size_t heading = groups_[g].first + g;
    if (at == heading) return std::nullopt;
    if (at <= heading + groups_[g].count) return groups_[g].first + (at - heading - 1);
  }
  return std::nullopt;
}

int ResultsListView::GroupOfLine(int line) const {
  for (std::size_t g = 0; g < groups_.size() && line >= 0; ++g) {
    if (static_cast<std::size_t>(line) == groups_[g].first + g) return static_cast<int>(g);
  }
  return -1;
}

bool ResultsListView::GroupChecked(const Group& group) const {
  for (std::size_t i = group.first; i < group.first + group.count; ++i) {
    if (!rows_[i].checked) return false;
  }
  return group.count > 0;
}

void ResultsListView::FillHeading(LVITEMW& item, const Group& group) const {
  if (item.mask & LVIF_TEXT) {
    const std::optional<ProgramRef>& program = rows_[group.first].program;
    const std::string count = std::to_string(group.count);
    const std::string text = item.iSubItem != colProblem ? std::string()
                             : program ? UiFormat(IDS_PROGRAM_HEADING, {ShownPhrase(ProgramPhrase(*program)), count})
                                       : UiFormat(IDS_NO_PROGRAM_HEADING, {count});
    CopyToBuffer(text, item.pszText, item.cchTextMax);
  }
  if (item.mask & LVIF_STATE) {
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (GroupChecked(group) ? kChecked : kUnchecked);
    item.stateMask |= LVIS_STATEIMAGEMASK;
  }
}

void ResultsListView::ToggleLine(int line) {
  const int group = GroupOfLine(line);
  if (group < 0) {
    if (const std::optional<std::size_t> row = RowOfLine(line)) Toggle(*row);
    return;
  }
  const Group& rows = groups_[static_cast<std::size_t>(group)];
  const bool checked = !GroupChecked(rows);
  for (std::size_t i = rows.first; i < rows.first + rows.count; ++i) rows_[i].checked = checked;
  ::InvalidateRect(list_, nullptr, FALSE);
}

void ResultsListView::Reselect(const std::vector<std::size_t>& selected, int focused) {
  // Every row selected stays so in one message, whatever the order.
  if (selected.size() != rows_.size() || rows_.empty() || !groups_.empty()) {
    SetRowState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const std::size_t index : selected) SetRowState(list_, LineOfRow(index), LVIS_SELECTED, LVIS_SELECTED);
  }
  if (focused < 0) return;
  const int line = LineOfRow(static_cast<std::size_t>(focused));
  SetRowState(list_, line, LVIS_FOCUSED, LVIS_FOCUSED);
  ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(line), FALSE);
}

void ResultsListView::ShowSortArrow() const {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETHEADER, 0, 0));
  for (int column = colProblem; column <= colProgram; ++column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (column == sortColumn_) item.fmt |= sortDescending_ ? HDF_SORTDOWN : HDF_SORTUP;
    ::SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
  }
}

void ResultsListView::RemoveRow(std::size_t index) {
  if (index >= rows_.size()) return;
  if (byProgram_) {
    std::vector<bool> drop(rows_.size());
    drop[index] = true;
    RemoveRows(drop);
    return;
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  // The control moves the selection of the rows below up by one.
  ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void ResultsListView::RemoveRows(const std::vector<bool>& drop) {
  constexpr std::size_t kGone = static_cast<std::size_t>(-1);
  const std::size_t span = std::min(drop.size(), rows_.size());
  if (std::find(drop.begin(), drop.begin() + static_cast<std::ptrdiff_t>(span), true) ==
      drop.begin() + static_cast<std::ptrdiff_t>(span)) {
    return;
  }
  std::vector<std::size_t> movedTo(rows_.size(), kGone);
  std::vector<ProblemRow> kept;
  kept.reserve(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (i < drop.size() && drop[i]) continue;
    movedTo[i] = kept.size();
    kept.push_back(std::move(rows_[i]));
  }
  std::vector<std::size_t> selected;
  for (const std::size_t index : SelectedRows()) {
    if (index < movedTo.size() && movedTo[index] != kGone) selected.push_back(movedTo[index]);
  }
  const std::optional<std::size_t> focusedBefore = RowOfLine(NextRow(list_, -1, LVNI_FOCUSED));
  const std::size_t focused = focusedBefore ? movedTo[*focusedBefore] : kGone;
  rows_ = std::move(kept);
  BuildGroups();
  SetRowState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ::SendMessageW(list_, LVM_SETITEMCOUNT, LineCount(), LVSICF_NOSCROLL);
  if (!selected.empty() && selected.size() == rows_.size() && groups_.empty()) {
    SelectAll();
  } else {
    for (const std::size_t index : selected) SetRowState(list_, LineOfRow(index), LVIS_SELECTED, LVIS_SELECTED);
  }
  if (focused != kGone) SetRowState(list_, LineOfRow(focused), LVIS_FOCUSED, LVIS_FOCUSED);
}

void ResultsListView::AppendRows(const std::vector<ProblemRow>& rows) {
  if (rows.empty()) return;
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  if (byProgram_) {
    ApplyOrder(GroupedOrder(IdentityOrder()));
    return;
  }
  // Only the new rows need drawing, if they are in view at all.
  ::SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void ResultsListView::Clear() {
  rows_.clear();
  groups_.clear();
  ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  sortColumn_ = -1;
  sortDescending_ = false;
  ShowSortArrow();
}

void ResultsListView::RedrawRow(std::size_t index) const {
  // A heading's check box follows its rows' ticks.
  if (!groups_.empty()) {
    ::InvalidateRect(list_, nullptr, FALSE);
    return;
  }
  ::SendMessageW(list_, LVM_REDRAWITEMS, index, index);
}

void ResultsListView::Toggle(std::size_t index) { SetChecked(index, !rows_.at(index).checked); }

void ResultsListView::ToggleSelected() {
  const int lead = SelectedIndex();
  if (lead < 0) {
    // A heading alone: its rows, as a press on its check box.
    const int focused = NextRow(list_, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (GroupOfLine(focused) >= 0) ToggleLine(focused);
    return;
  }
  const bool checked = !rows_.at(static_cast<std::size_t>(lead)).checked;
  for (const std::size_t index : SelectedRows()) rows_.at(index).checked = checked;
  ::InvalidateRect(list_, nullptr, FALSE);
}

void ResultsListView::SetChecked(std::size_t index, bool checked) {
  rows_.at(index).checked = checked;
  RedrawRow(index);
}

void ResultsListView::SetPrograms(std::vector<std::optional<ProgramRef>> programs) {
  for (std::size_t i = 0; i < rows_.size() && i < programs.size(); ++i) rows_[i].program = std::move(programs[i]);
  if (byProgram_) ApplyOrder(GroupedOrder(IdentityOrder()));
  ::InvalidateRect(list_, nullptr, TRUE);
}

void ResultsListView::SetAllChecked(bool checked) {
  for (ProblemRow& row : rows_) row.checked = checked;
  ::InvalidateRect(list_, nullptr, FALSE);
}

void ResultsListView::CheckOnly(const std::function<bool(const ProblemRow&)>& ticked) {
  for (ProblemRow& row : rows_) row.checked = ticked(row);
  ::InvalidateRect(list_, nullptr, FALSE);
}

std::size_t ResultsListView::CheckedCount() const {
  return static_cast<std::size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const ProblemRow& row) { return row.checked; }));
}

int ResultsListView::SelectedIndex() const {
  const int focused = NextRow(list_, -1, LVNI_FOCUSED | LVNI_SELECTED);
  const std::optional<std::size_t> row = RowOfLine(focused >= 0 ? focused : SelectedListItem(list_));
  return row ? static_cast<int>(*row) : -1;
}

std::vector<std::size_t> ResultsListView::SelectedRows() const {
  std::vector<std::size_t> selected;
  for (int line = NextRow(list_, -1, LVNI_SELECTED); line >= 0; line = NextRow(list_, line, LVNI_SELECTED)) {
    if (static_cast<std::size_t>(line) >= LineCount()) break;
    if (const std::optional<std::size_t> row = RowOfLine(line)) selected.push_back(*row);
  }
  return selected;
}

void ResultsListView::Select(int index) {
  SetRowState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (index < 0) return;
  const int line = LineOfRow(static_cast<std::size_t>(index));
  SetRowState(list_, line, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(line), FALSE);
}

void ResultsListView::SelectAll() { SetRowState(list_, -1, LVIS_SELECTED, LVIS_SELECTED); }

Phrase ResultsListView::SelectedReason() const {
  const int index = SelectedIndex();
  return index >= 0 ? rows_[static_cast<std::size_t>(index)].reason : Phrase{};
}

int ResultsListView::ColumnWidth(Column column) const {
  return static_cast<int>(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ResultsListView::SetColumnWidth(Column column, int width) {
  ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void ResultsListView::FitKeyColumn(int minimum) {
  RECT client{};
  ::GetClientRect(list_, &client);
  int room = client.right;
  if ((::GetWindowLongW(list_, GWL_STYLE) & WS_VSCROLL) == 0) room -= ::GetSystemMetrics(SM_CXVSCROLL);
  const int others = ColumnWidth(colProblem) + ColumnWidth(colValue);
  // The key is what a row is about: where the four columns do not fit, the Program column gives way
  // first, down to the minimum, before the key is cut below a readable width.
  const int readable = 3 * minimum;
  const int program = ColumnWidth(colProgram);
  if (room - others - program < readable && program > minimum) {
    SetColumnWidth(colProgram, std::max(minimum, room - others - readable));
  }
  const int width = std::max(minimum, room - others - ColumnWidth(colProgram));
  if (width == ColumnWidth(colRegistryKey)) return;
  SetColumnWidth(colRegistryKey, width);
  KeyColumnResized();
}

// The keys are shortened to the column's width: every row shows another text now, where the control
// would paint only the strip the column gained.
void ResultsListView::KeyColumnResized() const { ::InvalidateRect(list_, nullptr, TRUE); }

void ResultsListView::FitProblemColumn() {
  const WindowDc dc(list_);
  if (!dc.get()) return;
  const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list_, WM_GETFONT, 0, 0)));
  int widest = 0;
  for (std::size_t problem = 0; problem < kProblemNames.size(); ++problem) {
    const std::wstring text = win32::Wide(ShownProblem(static_cast<ProblemId>(problem)));
    SIZE size{};
    if (::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) {
      widest = std::max(widest, static_cast<int>(size.cx));
    }
  }
  int boxWidth = 16, boxHeight = 16;
  ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_STATE, 0)),
                          &boxWidth, &boxHeight);
  // The check box with the control's gaps beside it, then the text with its margins.
  const int dpi = DpiOf(list_);
  const int width = boxWidth + Scaled(kCheckBoxGaps, dpi) + widest + Scaled(kColumnTextMargin, dpi);
  // The Value column gives up what the names take beyond their designed width, so that the Registry
  // key column keeps its room; its texts are long paths, cut either way and whole in the row's tip.
  const int taken = width - ColumnWidth(colProblem);
  SetColumnWidth(colProblem, width);
  SetColumnWidth(colValue, std::max(Scaled(kLeastValueWidth, dpi), ColumnWidth(colValue) - taken));
}

std::string ResultsListView::KeyAsShown(const std::string& key) const {
  const int room = ColumnWidth(colRegistryKey) - Scaled(kColumnTextMargin, DpiOf(list_));
  const WindowDc dc(list_);
  if (!dc.get()) return key;
  const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list_, WM_GETFONT, 0, 0)));
  return CompactKeyPath(key, [&](const std::string& text) {
    const std::wstring wide = win32::Wide(text);
    SIZE size{};
    return ::GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size) && size.cx <= room;
  });
}

}  // namespace tamrisk
