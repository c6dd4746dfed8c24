#include "ui/common/WindowBase.h"

namespace tamrisk {

LRESULT CALLBACK WindowBase::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  return Route(self, window, message, wParam, lParam, GWLP_USERDATA);
}

INT_PTR CALLBACK WindowBase::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<WindowBase*>(lParam);
    self->window_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
  }
  if (!self) return FALSE;
  return Route(self, window, message, wParam, lParam, DWLP_USER);
}

INT_PTR WindowBase::Route(WindowBase* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, int slot) {
  INT_PTR answer = 0;
  if (!ShowingErrors(self->prompt_, window, [&] { answer = self->HandleMessage(message, wParam, lParam); })) {
    answer = self->AnswerAfterError(message);
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, slot, 0);
    self->window_ = nullptr;
  }
  return answer;
}

}  // namespace tamrisk
