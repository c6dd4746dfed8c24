#include "ui/common/Prompt.h"

#include <commdlg.h>

#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "ui/common/Language.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

using win32::Utf8;
using win32::Wide;

int Win32Prompt::Message(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), style);
}

std::optional<std::string> Win32Prompt::SaveFileName(HWND owner, const std::string& title, const std::string& filter) {
  // The dialog wants the filter's parts separated by NULs and ended by two.
  std::wstring filterList = Wide(filter);
  for (wchar_t& c : filterList) {
    if (c == L'|') c = L'\0';
  }
  filterList.append(2, L'\0');
  const std::wstring caption = Wide(title);
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filterList.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = caption.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!::GetSaveFileNameW(&dialog)) return std::nullopt;
  return Utf8(file);
}

void ShowStandardError(Prompt& prompt, HWND owner, const std::string& text) {
  prompt.Message(owner, text, kMessageCaption, MB_OK | MB_ICONERROR);
}

void ShowCurrentError(Prompt& prompt, HWND owner) {
  try {
    throw;
  } catch (const WordedError& error) {
    ShowStandardError(prompt, owner, ShownPhrase(error.phrase()));
  } catch (const std::exception& error) {
    ShowStandardError(prompt, owner, error.what());
  }
}

void ShowCannotOpen(Prompt& prompt, HWND owner, const std::string& what, unsigned long errorCode) {
  std::string reason = errorCode != 0 ? win32::SystemMessage(errorCode) : std::string();
  if (reason.empty()) reason = UiText(IDS_NO_REASON);
  prompt.Message(owner, UiFormat(IDS_CANNOT_OPEN, {what, reason}), kMessageCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace tamrisk
