#include "ui/dialogs/ModalDialog.h"

#include <exception>

namespace tamrisk {

INT_PTR ModalDialog::ShowModal(HWND owner) {
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, Procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lParam);
    self->window_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
  }
  if (!self) return FALSE;
  const INT_PTR answer = self->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  return answer;
}

INT_PTR ModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    INT_PTR result = FALSE;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    return result;
  } catch (const std::exception& error) {
    ShowStandardError(prompt_, window_, error.what());
  } catch (...) {
    ShowStandardError(prompt_, window_, "Unexpected error.");
  }
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

void ModalDialog::EndModal(INT_PTR result) { ::EndDialog(window_, result); }

void ModalDialog::SetClientSize(int width, int height) {
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)));
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ModalDialog::PlaceItem(int id, int left, int top, int width, int height) {
  ::SetWindowPos(Item(id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ModalDialog::CentreOn(HWND owner) {
  RECT area{};
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT box{};
  ::GetWindowRect(window_, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tamrisk
