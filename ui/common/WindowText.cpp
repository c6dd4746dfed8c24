#include "ui/common/WindowText.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/Wide.h"
#include "ui/common/Dpi.h"

namespace tamrisk {

using win32::Utf8;
using win32::Wide;

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(std::max(::GetWindowTextLengthW(window), 0)) + 1, L'\0');
  const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return Utf8(text);
}

void SetText(HWND window, std::string_view text) { ::SetWindowTextW(window, Wide(text).c_str()); }

std::string ResourceText(HINSTANCE instance, UINT id) {
  // With no buffer the call hands out the resource's own text, which has no terminating NUL.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return {};
  return Utf8(std::wstring_view(text, static_cast<std::size_t>(length)));
}

void CopyToBuffer(std::string_view text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  const std::u16string units = Utf8ToUtf16(text);
  std::size_t length = std::min(units.size(), static_cast<std::size_t>(capacity - 1));
  // A high surrogate without its partner would show as a stray box.
  if (length > 0 && length < units.size() && units[length - 1] >= 0xD800 && units[length - 1] <= 0xDBFF) --length;
  std::memcpy(buffer, units.data(), length * sizeof(wchar_t));
  buffer[length] = L'\0';
}

bool IsButtonChecked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetButtonChecked(HWND button, bool checked) {
  ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void InsertListColumn(HWND list, int index, std::string_view caption, int width) {
  std::wstring text = Wide(caption);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  column.cx = width;
  column.iSubItem = index;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetUpReportList(HWND list, std::initializer_list<ListColumn> columns, bool checkBoxes) {
  const LPARAM style = LVS_EX_FULLROWSELECT | (checkBoxes ? LVS_EX_CHECKBOXES : 0);
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(style), style);
  int index = 0;
  const int dpi = DpiOf(list);
  for (const ListColumn& column : columns) InsertListColumn(list, index++, column.caption, Scaled(column.width, dpi));
}

int ListItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int SelectedListItem(HWND list) {
  return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int InsertListItem(HWND list, int index, std::string_view text, UINT state, UINT stateMask) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | (stateMask != 0 ? LVIF_STATE : 0u);
  item.iItem = index;
  item.pszText = wide.data();
  item.state = state;
  item.stateMask = stateMask;
  return static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::string ListItemText(HWND list, int index, int column) {
  // The control copies at most the buffer's size; a full buffer may mean a longer text. One unit
  // short of full counts as full too: a cut that keeps a character outside the BMP whole stops there.
  std::wstring buffer(512, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<std::size_t>(
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (length + 2 < buffer.size()) {
      buffer.resize(length);
      return Utf8(buffer);
    }
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

void SetListItemText(HWND list, int index, int column, std::string_view text) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void InsertTab(HWND tabs, int index, std::string_view caption) {
  std::wstring text = Wide(caption);
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = text.data();
  ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab));
}

}  // namespace tamrisk
