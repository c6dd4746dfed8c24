// The results list: a report-style list view with check boxes over the rows it shows, as the
// ResultsModel the ignore filter and the repair work on. The rows (texts, kind and check box) live
// here and the control asks for what it draws (an owner-data list), so appending, ticking and
// walking thousands of rows costs no per-item work in the control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "scan/ProblemRow.h"
#include "ui/common/Prompt.h"

namespace tamrisk {

class ResultsListView final : public ResultsModel {
 public:
  enum Column { colProblem = 0, colRegistryKey = 1, colValue = 2 };

  // Takes an owner-data report list view: check boxes, full-row selection and the three columns.
  // checkClicked runs after a mouse press has toggled a row's check box. An error raised while the
  // control's own messages are handled is shown through prompt.
  void Attach(HWND list, Prompt& prompt, std::function<void()> checkClicked);
  HWND Handle() const { return list_; }

  // The control's LVN_GETDISPINFOW, which its parent hands over. The parent is a Unicode window,
  // so the control asks in the wide form only.
  void FillDisplayInfo(NMLVDISPINFOW& info) const;

  std::size_t RowCount() const override { return rows_.size(); }
  ProblemRow Row(std::size_t index) const override { return rows_.at(index); }
  void RemoveRow(std::size_t index) override;
  void SetReason(std::size_t index, const std::string& reason) override { rows_.at(index).reason = reason; }

  // Rows keep the check state they come with; a scan's rows come unticked.
  void AppendRows(const std::vector<ProblemRow>& rows);
  void Clear();
  const std::vector<ProblemRow>& Rows() const { return rows_; }
  const std::string& ProblemText(std::size_t index) const { return rows_.at(index).problem; }
  RowKind KindOf(std::size_t index) const { return rows_.at(index).kind; }

  bool IsChecked(std::size_t index) const { return rows_.at(index).checked; }
  void SetChecked(std::size_t index, bool checked);
  void SetAllChecked(bool checked);
  std::size_t CheckedCount() const;

  // The selected (focused) row, or -1.
  int SelectedIndex() const;
  void Select(int index);

  int ColumnWidth(Column column) const;
  void SetColumnWidth(Column column, int width);
  // Every column as wide as its widest text.
  void FitColumnsToText();

 private:
  static LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  // The list's own mouse and key messages; true when handled here, and not by the control.
  bool HandleListMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The row whose check box is at a point of the control, or -1.
  int CheckBoxAt(POINT point) const;
  void Toggle(std::size_t index);
  void RedrawRow(std::size_t index) const;

  HWND list_ = nullptr;
  Prompt* prompt_ = nullptr;
  std::vector<ProblemRow> rows_;
  std::function<void()> checkClicked_;
};

}  // namespace tamrisk
