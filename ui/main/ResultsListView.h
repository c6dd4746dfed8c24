// The results list: a report-style list view with check boxes over the rows it shows, as the
// ResultsModel the ignore filter and the repair work on. The rows (texts, kind and check box) live
// here in the order shown and the control asks for what it draws (an owner-data list), so appending,
// ticking, sorting and walking thousands of rows costs no per-item work in the control.
// Keys: Space ticks or unticks the selected rows, Ctrl+A selects every row, Enter sends the parent
// "Open in RegEdit", and Delete does nothing (a repair is never one key press away).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/ProblemRow.h"
#include "scan/ResultOrder.h"
#include "ui/common/Prompt.h"

namespace tamrisk {

// A registry key shortened in its middle: "HKEY_LOCAL_MACHINE\...\Vendor\App" keeps the root and as many
// whole parts from the end as fits says fit; the last part always stays (the list ends it with "..."
// when even that is too wide). The key itself when it fits or has no middle to leave out.
std::string CompactKeyPath(const std::string& key, const std::function<bool(const std::string&)>& fits);

class ResultsListView final : public ResultsModel {
 public:
  using Column = ResultColumn;
  using enum ResultColumn;

  // Takes an owner-data report list view: check boxes, full-row selection and the four columns.
  // checksChanged runs after a mouse press or Space has toggled check boxes. An error raised while the
  // control's own messages are handled is shown through prompt.
  void Attach(HWND list, Prompt& prompt, std::function<void()> checksChanged);
  HWND Handle() const { return list_; }

  // The control's notifications that concern only the list, which its parent hands over: the texts
  // it draws (LVN_GETDISPINFOW), a row's tip (LVN_GETINFOTIPW) and a click on a column's header
  // (LVN_COLUMNCLICK). The parent is a Unicode window, so the control asks in the wide form only.
  // False for any other notification.
  bool HandleNotify(NMHDR& header);
  void FillDisplayInfo(NMLVDISPINFOW& info) const;
  void FillInfoTip(NMLVGETINFOTIPW& tip) const;

  // Sorts by a column: ascending, or the other way round when it is the column sorted by already.
  // Check boxes and the selection stay with their rows; the header shows the direction.
  void SortBy(Column column);
  // The sorted column, or -1 while the rows are in the order found.
  int SortColumn() const { return sortColumn_; }
  bool SortDescending() const { return sortDescending_; }

  std::size_t RowCount() const override { return rows_.size(); }
  ProblemRow Row(std::size_t index) const override { return rows_.at(index); }
  void RemoveRow(std::size_t index) override;
  // One pass and one change of the control's item count: deleting the items one by one took the
  // control some 20 ms each under Wine. The selection and the focus stay with their rows.
  void RemoveRows(const std::vector<bool>& drop) override;
  void SetReason(std::size_t index, const Phrase& reason) override { rows_.at(index).reason = reason; }

  // Rows keep the check state they come with; a scan's rows come unticked.
  void AppendRows(const std::vector<ProblemRow>& rows);
  // Empties the list; the next rows show in the order they come, unsorted.
  void Clear();
  const std::vector<ProblemRow>& Rows() const { return rows_; }
  ProblemId ProblemOf(std::size_t index) const { return rows_.at(index).problem; }
  RowKind KindOf(std::size_t index) const { return rows_.at(index).kind; }

  bool IsChecked(std::size_t index) const { return rows_.at(index).checked; }
  void SetChecked(std::size_t index, bool checked);
  void SetAllChecked(bool checked) override;
  // Ticks the rows ticked says, and unticks all others.
  void CheckOnly(const std::function<bool(const ProblemRow&)>& ticked);
  void SetPrograms(std::vector<std::optional<ProgramRef>> programs) override;
  std::size_t CheckedCount() const;

  // The row the single-row commands act on: the focused row when it is selected, else the first
  // selected row; -1 when none is.
  int SelectedIndex() const;
  std::vector<std::size_t> SelectedRows() const;
  // Selects and focuses only this row (none for -1) and scrolls it into view.
  void Select(int index);
  void SelectAll();
  // Why the row SelectedIndex names is listed; empty when no row is selected.
  Phrase SelectedReason() const;

  // The rows under one heading per program, in the Program column's order with the rows of no program
  // last, each heading with its count and a check box for its rows. The control's items are then
  // the headings and the rows; every index of this class and of ResultsModel stays a row's.
  void ShowByProgram(bool byProgram);
  bool ByProgram() const { return byProgram_; }
  // The control's item that shows a row.
  int LineOfRow(std::size_t row) const;

  int ColumnWidth(Column column) const;
  void SetColumnWidth(Column column, int width);
  // The Registry key column takes the width the other columns leave, so that all are in view (a
  // vertical scroll bar's width kept free, whether one shows yet or not); never narrower than minimum.
  void FitKeyColumn(int minimum);
  // The Problem column as wide as the longest problem name of the window's language needs, the
  // Value column narrower by as much (down to a least width).
  void FitProblemColumn();
  // Repaints the rows after the Registry key column changed its width.
  void KeyColumnResized() const;
  // A key as its column shows it: whole when it fits, else its root, "..." and as many of its last
  // parts as fit.
  std::string KeyAsShown(const std::string& key) const;

 private:
  static LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  // The list's own mouse and key messages; true when handled here, and not by the control.
  bool HandleListMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The row whose check box is at a point of the control, or -1.
  int CheckBoxAt(POINT point) const;
  bool HandleKey(WPARAM key);
  // Gives every selected row the opposite of the check state of the row SelectedIndex names.
  void ToggleSelected();
  void Toggle(std::size_t index);
  void RedrawRow(std::size_t index) const;
  // Selects the rows at these indexes, and focuses focused (when not -1).
  void Reselect(const std::vector<std::size_t>& selected, int focused);
  void ShowSortArrow() const;

  // The rows of one program (or of none) under their heading.
  struct Group {
    std::size_t first = 0;
    std::size_t count = 0;
  };
  std::size_t LineCount() const { return rows_.size() + groups_.size(); }
  std::optional<std::size_t> RowOfLine(int line) const;
  // The group whose heading a line is; -1 for a row's line.
  int GroupOfLine(int line) const;
  // Puts the rows in this order (indexes of the rows as they are), the selection and the focus
  // following them, and the headings over them again.
  void ApplyOrder(const std::vector<std::size_t>& order);
  // This order of rows, each program's rows together.
  std::vector<std::size_t> GroupedOrder(std::vector<std::size_t> order) const;
  void BuildGroups();
  std::vector<std::size_t> IdentityOrder() const;
  void FillHeading(LVITEMW& item, const Group& group) const;
  bool GroupChecked(const Group& group) const;
  // A press on a line's check box: a heading's ticks or unticks all its rows.
  void ToggleLine(int line);

  HWND list_ = nullptr;
  Prompt* prompt_ = nullptr;
  std::vector<ProblemRow> rows_;
  std::function<void()> checksChanged_;
  int sortColumn_ = -1;
  bool sortDescending_ = false;
  bool byProgram_ = false;
  std::vector<Group> groups_;  // empty unless byProgram_
};

}  // namespace tamrisk
