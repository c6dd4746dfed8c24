// The results list view as a ResultsModel: one item per problem row, the row kind in the item's
// lParam, the check box in its state image. The ignore filter and the repair work through it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "scan/ProblemRow.h"

namespace tamrisk {

class ResultsListView final : public ResultsModel {
 public:
  enum Column { colProblem = 0, colRegistryKey = 1, colValue = 2 };

  // Takes a report-style list view and gives it check boxes, full-row selection and the columns.
  void Attach(HWND list);
  HWND Handle() const { return list_; }

  std::size_t RowCount() const override;
  ProblemRow Row(std::size_t index) const override;
  void RemoveRow(std::size_t index) override;

  void AppendRows(const std::vector<ProblemRow>& rows);
  void Clear();
  std::vector<ProblemRow> Rows() const;
  std::string ProblemText(std::size_t index) const { return Text(index, colProblem); }
  RowKind KindOf(std::size_t index) const;

  bool IsChecked(std::size_t index) const;
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
  std::string Text(std::size_t index, Column column) const;
  void AppendRow(const ProblemRow& row);

  HWND list_ = nullptr;
};

}  // namespace tamrisk
