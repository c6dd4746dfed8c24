#include "ui/main/Prompt.h"

#include <commdlg.h>

namespace tamrisk {

int Win32Prompt::Message(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
}

std::optional<std::string> Win32Prompt::SaveFileName(HWND owner, const std::string& title,
                                                     const std::string& filter) {
  // The dialog wants the filter's parts separated by NULs and ended by two.
  std::string filterList = filter;
  for (char& c : filterList) {
    if (c == '|') c = '\0';
  }
  filterList.append(2, '\0');
  char file[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filterList.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!::GetSaveFileNameA(&dialog)) return std::nullopt;
  return std::string(file);
}

void ShowStandardError(Prompt& prompt, HWND owner, const std::string& text) {
  prompt.Message(owner, text, kMessageCaption, MB_OK | MB_ICONERROR);
}

}  // namespace tamrisk
