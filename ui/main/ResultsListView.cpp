#include "ui/main/ResultsListView.h"

#include <commctrl.h>

namespace tamrisk {
namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

void AddColumn(HWND list, int index, const char* caption, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<char*>(caption);
  column.cx = width;
  column.iSubItem = index;
  ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetSubItemText(HWND list, int item, int subItem, const std::string& text) {
  LVITEMA cell{};
  cell.iSubItem = subItem;
  cell.pszText = const_cast<char*>(text.c_str());
  ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

}  // namespace

void ResultsListView::Attach(HWND list) {
  list_ = list;
  ::SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  AddColumn(list_, colProblem, "Problem", 120);
  AddColumn(list_, colRegistryKey, "Registry key", 300);
  AddColumn(list_, colValue, "Value", 150);
}

std::size_t ResultsListView::RowCount() const {
  return static_cast<std::size_t>(::SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::string ResultsListView::Text(std::size_t index, Column column) const {
  // The control copies at most the buffer's size; a full buffer may mean a longer text.
  std::string buffer(512, '\0');
  for (;;) {
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = buffer.data();
    cell.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<std::size_t>(
        ::SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell)));
    if (length + 1 < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(buffer.size() * 2, '\0');
  }
}

RowKind ResultsListView::KindOf(std::size_t index) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = static_cast<int>(index);
  ::SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<RowKind>(item.lParam);
}

ProblemRow ResultsListView::Row(std::size_t index) const {
  ProblemRow row;
  row.checked = IsChecked(index);
  row.problem = Text(index, colProblem);
  row.registryKey = Text(index, colRegistryKey);
  row.value = Text(index, colValue);
  row.kind = KindOf(index);
  return row;
}

void ResultsListView::RemoveRow(std::size_t index) {
  ::SendMessageA(list_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void ResultsListView::AppendRow(const ProblemRow& row) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
  item.iItem = static_cast<int>(RowCount());
  item.pszText = const_cast<char*>(row.problem.c_str());
  item.lParam = static_cast<LPARAM>(row.kind);
  item.state = row.checked ? kChecked : kUnchecked;
  item.stateMask = LVIS_STATEIMAGEMASK;
  const auto at = static_cast<int>(::SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (at < 0) return;
  SetSubItemText(list_, at, colRegistryKey, row.registryKey);
  SetSubItemText(list_, at, colValue, row.value);
}

void ResultsListView::AppendRows(const std::vector<ProblemRow>& rows) {
  if (rows.empty()) return;
  // One repaint for a batch instead of one per row.
  ::SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  for (const ProblemRow& row : rows) AppendRow(row);
  ::SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, FALSE);
}

void ResultsListView::Clear() { ::SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0); }

std::vector<ProblemRow> ResultsListView::Rows() const {
  std::vector<ProblemRow> rows;
  const std::size_t count = RowCount();
  rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) rows.push_back(Row(i));
  return rows;
}

bool ResultsListView::IsChecked(std::size_t index) const {
  const auto state = static_cast<UINT>(
      ::SendMessageA(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == kChecked;
}

void ResultsListView::SetChecked(std::size_t index, bool checked) {
  LVITEMA item{};
  item.state = checked ? kChecked : kUnchecked;
  item.stateMask = LVIS_STATEIMAGEMASK;
  ::SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void ResultsListView::SetAllChecked(bool checked) {
  LVITEMA item{};
  item.state = checked ? kChecked : kUnchecked;
  item.stateMask = LVIS_STATEIMAGEMASK;
  // Index -1 applies the state to every item.
  ::SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

std::size_t ResultsListView::CheckedCount() const {
  std::size_t checked = 0;
  const std::size_t count = RowCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (IsChecked(i)) ++checked;
  }
  return checked;
}

int ResultsListView::SelectedIndex() const {
  return static_cast<int>(::SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ResultsListView::Select(int index) {
  LVITEMA clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  if (index < 0) return;
  LVITEMA item{};
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int ResultsListView::ColumnWidth(Column column) const {
  return static_cast<int>(::SendMessageA(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ResultsListView::SetColumnWidth(Column column, int width) {
  ::SendMessageA(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void ResultsListView::FitColumnsToText() {
  for (Column column : {colProblem, colRegistryKey, colValue}) SetColumnWidth(column, LVSCW_AUTOSIZE);
}

}  // namespace tamrisk
