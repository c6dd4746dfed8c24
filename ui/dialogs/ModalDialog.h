// Base of the program's modal dialogs: the caller fills plain fields, calls ShowModal, reads the
// fields back. The dialog procedure keeps `this` with the window and runs every handler inside
// try/catch, so no exception unwinds through user32; an escaping error is shown in the standard
// error box and the dialog stays open.
#pragma once

#include <windows.h>

#include "ui/main/Prompt.h"

namespace tamrisk {

class ModalDialog {
 public:
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;
  virtual ~ModalDialog() = default;

  // Runs the dialog from its template until it ends; the modal result (-1 when it cannot open).
  INT_PTR ShowModal(HWND owner);
  HWND Handle() const { return window_; }

 protected:
  ModalDialog(Prompt& prompt, int templateId) : prompt_(prompt), templateId_(templateId) {}

  // Return true when the message was handled; result is then the dialog procedure's answer.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

  void EndModal(INT_PTR result);
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }
  // Sizes the client area in pixels, whatever the dialog units of the template give.
  void SetClientSize(int width, int height);
  void PlaceItem(int id, int left, int top, int width, int height);
  // Centres the dialog on owner, or on the screen when owner is null.
  void CentreOn(HWND owner);
  Prompt& Prompts() { return prompt_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  Prompt& prompt_;
  int templateId_;
  HWND window_ = nullptr;
};

}  // namespace tamrisk
