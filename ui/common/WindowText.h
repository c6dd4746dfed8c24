// Text in and out of windows and controls. The program's text is UTF-8; the windows are Unicode
// windows and get and give it through the wide messages and functions, converted here, so a name in
// any language shows and comes back exactly.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tamrisk {

// The window's text (a caption, or what an edit control holds).
std::string TextOf(HWND window);
void SetText(HWND window, std::string_view text);

// A string of the program's string table; empty when there is none.
std::string ResourceText(HINSTANCE instance, UINT id);

// Copies text into a buffer of capacity units that the system handed over for filling, cut to fit
// with a terminating NUL and never between the two halves of a character outside the BMP.
void CopyToBuffer(std::string_view text, wchar_t* buffer, int capacity);

// Check boxes and radio buttons.
bool IsButtonChecked(HWND button);
void SetButtonChecked(HWND button, bool checked);

// ---- List views (report style) and tab controls ----

void InsertListColumn(HWND list, int index, std::string_view caption, int width);
struct ListColumn {
  const char* caption;
  int width;
};
// Full-row selection, check boxes when asked, and the columns in order at their designed widths,
// scaled to the list's DPI.
void SetUpReportList(HWND list, std::initializer_list<ListColumn> columns, bool checkBoxes);
int ListItemCount(HWND list);
// The selected row of a single-selection list, or -1.
int SelectedListItem(HWND list);
// Inserts a row at index with its first column's text and the given state bits; the row's index,
// or -1.
int InsertListItem(HWND list, int index, std::string_view text, UINT state = 0, UINT stateMask = 0);
std::string ListItemText(HWND list, int index, int column = 0);
void SetListItemText(HWND list, int index, int column, std::string_view text);
void InsertTab(HWND tabs, int index, std::string_view caption);

}  // namespace tamrisk
